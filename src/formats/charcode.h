#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qf {

// The device's 16-bit character code. Code units from U+A001 to U+F000 have no code
// of their own: they encode to codes that decode to other characters.
std::uint16_t EncodeCharCode(char16_t character);
char16_t DecodeCharCode(std::uint16_t code);

// File names in "TomTom char code": every character from U+0100 up becomes a right
// brace and three digits of a 41-character alphabet. The folder part, up to the last
// '/' or '\', is left as it is.
std::u16string ToTomTomCharCode(std::u16string_view path);
std::u16string FromTomTomCharCode(std::u16string_view path);

}  // namespace qf
