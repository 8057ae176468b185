#include "map/script_literal.h"

#include "core/unicode.h"

namespace qf {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) { return (c & 0xFC00) == 0xD800; }
bool IsLowSurrogate(char16_t c) { return (c & 0xFC00) == 0xDC00; }

// The escape of a unit that may not stand for itself; its length is 0 when it may.
struct Escape {
  char text[7] = {};
  std::size_t length = 0;
};

Escape EscapeOf(char16_t c, char16_t quote) {
  Escape escape;
  const auto set = [&](std::string_view text) {
    text.copy(escape.text, text.size());
    escape.length = text.size();
  };
  if (c == quote || c == u'\\') {
    escape.text[0] = '\\';
    escape.text[1] = static_cast<char>(c);
    escape.length = 2;
  } else if (c == u'\r') {
    set("\\r");
  } else if (c == u'\n') {
    set("\\n");
  } else if (c == 0x2028) {
    set("\\u2028");
  } else if (c == 0x2029) {
    set("\\u2029");
  } else if (c < 0x20 || c == u'<' || c == 0x7F) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    escape.text[0] = '\\';
    escape.text[1] = 'x';
    escape.text[2] = kDigits[c >> 4 & 0xF];
    escape.text[3] = kDigits[c & 0xF];
    escape.length = 4;
  }
  return escape;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::size_t AppendScriptText(std::string& out, std::u16string_view text, char16_t quote, std::size_t limit) {
  std::size_t written = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      if (written + 2 > limit) break;
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      written += 2;
      ++i;
      continue;
    }
    const Escape escape = EscapeOf(c, quote);
    const std::size_t length = escape.length == 0 ? 1 : escape.length;
    if (written + length > limit) break;
    if (escape.length != 0) {
      out.append(escape.text, escape.length);
    } else {
      AppendUtf8(out, IsHighSurrogate(c) || IsLowSurrogate(c) ? kReplacement : c);
    }
    written += length;
  }
  return written;
}

std::string ScriptString(std::string_view utf8) {
  std::string out(1, '"');
  AppendScriptText(out, Utf8ToUtf16(utf8), u'"');
  out += '"';
  return out;
}

}  // namespace qf
