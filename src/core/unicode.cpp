#include "core/unicode.h"

#include <unicode/unistr.h>

namespace qf {

std::u16string Utf8ToUtf16(std::string_view utf8) {
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  return {text.getBuffer(), static_cast<std::size_t>(text.length())};
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  icu::UnicodeString(false, utf16.data(), static_cast<int32_t>(utf16.size())).toUTF8String(out);
  return out;
}

}  // namespace qf
