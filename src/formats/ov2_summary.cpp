#include "formats/ov2_summary.h"

#include "formats/ov2_record.h"

namespace qf {

Ov2Summary SummariseOv2(std::span<const std::uint8_t> bytes) {
  Ov2Summary summary;
  ov2::RecordWalker walk(bytes, 0);
  while (walk.position() < bytes.size()) {
    const std::span<const std::uint8_t> record = walk.record();
    if (record.empty()) break;
    ++summary.recordCounts[record[0]];
    walk.next(record);
  }
  summary.complete = walk.position() == bytes.size();
  return summary;
}

}  // namespace qf
