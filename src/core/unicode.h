#pragma once

#include <string>
#include <string_view>

namespace qf {

// UTF conversions at the program's boundaries; invalid input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// The same into `out`, whose room is reused.
void Utf8ToUtf16(std::string_view utf8, std::u16string& out);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Full Unicode case folding, for comparing texts without regard to case.
std::u16string FoldCase(std::u16string_view text);

}  // namespace qf
