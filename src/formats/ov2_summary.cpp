#include "formats/ov2_summary.h"

namespace qf {

namespace {

std::uint64_t RecordLength(std::span<const std::uint8_t> record) {
  switch (record[0]) {
    case 1:
      return 21;  // a skipper's block is entered
    case 23:
      return record[1] + 8ULL;
    case 29:
      return record[1] + 11ULL;
    case 30:
      return 11;
    default:
      return record[1] | record[2] << 8 | record[3] << 16 | static_cast<std::uint64_t>(record[4]) << 24;
  }
}

}  // namespace

Ov2Summary SummariseOv2(std::span<const std::uint8_t> bytes) {
  Ov2Summary summary;
  std::size_t position = 0;
  while (position < bytes.size()) {
    const auto rest = bytes.subspan(position);
    if (rest.size() < 5) break;
    const std::uint64_t length = RecordLength(rest);
    if (length < 5 || length > rest.size()) break;
    ++summary.recordCounts[rest[0]];
    position += length;
  }
  summary.complete = position == bytes.size();
  return summary;
}

}  // namespace qf
