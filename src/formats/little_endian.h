#pragma once

#include <cstdint>

namespace qf {

// Little-endian integers read from file bytes; the caller makes sure they lie inside the file.
inline std::uint32_t Uint16At(const std::uint8_t* p) { return p[0] | p[1] << 8; }
inline std::uint32_t Uint24At(const std::uint8_t* p) { return Uint16At(p) | static_cast<std::uint32_t>(p[2]) << 16; }
inline std::uint32_t Uint32At(const std::uint8_t* p) { return Uint24At(p) | static_cast<std::uint32_t>(p[3]) << 24; }
inline std::int32_t Int32At(const std::uint8_t* p) { return static_cast<std::int32_t>(Uint32At(p)); }

}  // namespace qf
