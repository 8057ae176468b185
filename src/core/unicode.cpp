#include "core/unicode.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace qf {

void Utf8ToUtf16(std::string_view utf8, std::u16string& out) {
  // UTF-8 never needs more UTF-16 units than bytes, also with replacement characters.
  out.resize(utf8.size());
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  u_strFromUTF8WithSub(out.data(), static_cast<std::int32_t>(out.size()), &length, utf8.data(),
                       static_cast<std::int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  out.resize(U_FAILURE(status) ? 0 : static_cast<std::size_t>(length));
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  Utf8ToUtf16(utf8, out);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  icu::UnicodeString(false, utf16.data(), static_cast<int32_t>(utf16.size())).toUTF8String(out);
  return out;
}

std::u16string FoldCase(std::u16string_view text) {
  // Folding can lengthen a text, at most threefold.
  std::u16string folded(text.size() * 3 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), text.data(),
                                       static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
  folded.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
  return folded;
}

}  // namespace qf
