#include "formats/ov2_summary.h"

#include "formats/ov2_record.h"

namespace qf {

Ov2Summary SummariseOv2(std::span<const std::uint8_t> bytes) {
  Ov2Summary summary;
  std::size_t position = 0;
  while (position < bytes.size()) {
    const auto rest = bytes.subspan(position);
    if (rest.size() < ov2::kHeaderBytes) break;
    const std::uint64_t length = ov2::RecordLength(rest);
    if (length < ov2::kHeaderBytes || length > rest.size()) break;
    ++summary.recordCounts[rest[0]];
    position += ov2::Advance(rest[0], length);
  }
  summary.complete = position == bytes.size();
  return summary;
}

}  // namespace qf
