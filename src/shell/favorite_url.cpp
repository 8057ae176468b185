#include "shell/favorite_url.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "core/coordinates.h"
#include "core/string_table.h"
#include "core/unicode.h"

namespace qf {

namespace {

constexpr std::size_t kMaxNameLength = 255;

std::string PlainDecimal(const PoiDocument& document, int row, int column) {
  std::u16string text(document.text(row, column));
  ToPlainDecimal(text, document.display);
  return Utf16ToUtf8(text);
}

// The URL pattern with its "%s" filled in order.
std::string FillIn(std::string pattern, std::initializer_list<std::string_view> values) {
  std::size_t from = 0;
  for (const std::string_view value : values) {
    const std::size_t at = pattern.find("%s", from);
    if (at == std::string::npos) break;
    pattern.replace(at, 2, value);
    from = at + value.size();
  }
  return pattern;
}

}  // namespace

std::string EncodeUrlName(std::u16string_view name) {
  std::string encoded;
  for (const char c : Utf16ToUtf8(name)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ' || byte >= 0x80) {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      encoded += escape;
    } else {
      encoded += c;
    }
  }
  return encoded;
}

std::string AddFavoriteUrl(const PoiDocument& document, int row) {
  std::u16string name(document.text(row, kName).substr(0, kMaxNameLength));
  for (char16_t& c : name) {
    if (c == u'%' || c == u'&') c = u' ';
  }
  return FillIn(Utf16ToUtf8(LoadString(kAddFavoriteUrl)),
                {PlainDecimal(document, row, kLat), PlainDecimal(document, row, kLng), EncodeUrlName(name)});
}

}  // namespace qf
