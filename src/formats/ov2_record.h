#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/little_endian.h"

namespace qf::ov2 {

inline constexpr std::size_t kHeaderBytes = 5;
inline constexpr std::size_t kSkipperBytes = 21;
inline constexpr std::size_t kCameraBytes = 11;

// Total bytes the record at the start of `rest` claims (`rest` holds at least kHeaderBytes);
// for a skipper, the whole block it opens.
inline std::uint64_t RecordLength(std::span<const std::uint8_t> rest) {
  switch (rest[0]) {
    case 23:
      return rest[1] + 8u;
    case 29:
      return rest[1] + 11u;
    case 30:
      return kCameraBytes;
    default:
      return Uint32At(&rest[1]);
  }
}

// How far the next record is: a skipper's block is entered, not jumped over.
inline std::size_t Advance(std::uint8_t type, std::uint64_t length) {
  return type == 1 ? kSkipperBytes : static_cast<std::size_t>(length);
}

}  // namespace qf::ov2
