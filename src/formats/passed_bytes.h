#pragma once

#include <cstdint>
#include <span>

namespace qf {

// Gives the memory of the whole pages inside `bytes` back to the system. A reader that walks a
// large file front to back and never looks back calls it for what it has passed, so that the
// file is not held whole while its rows are made. The bytes read as zero afterwards.
void ReleasePassedBytes(std::span<const std::uint8_t> bytes);

// Readers release in steps of this size rather than record by record.
inline constexpr std::size_t kReleaseStepBytes = std::size_t{256} << 10;

}  // namespace qf
