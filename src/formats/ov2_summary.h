#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qf {

// How many records of each type an OV2 file holds, walking it the way the reader does
// (skippers are entered, not jumped over). The walk stops at the first record that
// does not fit; `complete` tells whether it reached the end of the file.
struct Ov2Summary {
  std::array<std::uint64_t, 256> recordCounts{};
  bool complete = true;
};

Ov2Summary SummariseOv2(std::span<const std::uint8_t> bytes);

}  // namespace qf
