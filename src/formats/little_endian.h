#pragma once

#include <cstdint>

namespace qf {

// Little-endian integers read from file bytes; the caller makes sure they lie inside the file.
inline std::uint32_t Uint16At(const std::uint8_t* p) { return p[0] | p[1] << 8; }
inline std::uint32_t Uint24At(const std::uint8_t* p) { return Uint16At(p) | static_cast<std::uint32_t>(p[2]) << 16; }
inline std::uint32_t Uint32At(const std::uint8_t* p) { return Uint24At(p) | static_cast<std::uint32_t>(p[3]) << 24; }
inline std::int32_t Int32At(const std::uint8_t* p) { return static_cast<std::int32_t>(Uint32At(p)); }

// The same written into file bytes: the low 16, 24 or 32 bits of `value`.
inline void PutUint16(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void PutUint24(std::uint8_t* p, std::uint32_t value) {
  PutUint16(p, value);
  p[2] = static_cast<std::uint8_t>(value >> 16);
}
inline void PutUint32(std::uint8_t* p, std::uint32_t value) {
  PutUint24(p, value);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}
inline void PutInt32(std::uint8_t* p, std::int32_t value) { PutUint32(p, static_cast<std::uint32_t>(value)); }

}  // namespace qf
