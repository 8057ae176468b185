#include "core/string_table.h"

#include <string>
#include <unordered_map>

#include "core/unicode.h"

namespace qf {

namespace {

std::u16string Unescape(std::string_view raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      const char next = raw[++i];
      text += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    } else {
      text += raw[i];
    }
  }
  return Utf8ToUtf16(text);
}

const std::unordered_map<int, std::u16string>& Table() {
  static const auto table = [] {
    std::unordered_map<int, std::u16string> map;
    for (const auto& entry : RawStringTable()) map.emplace(entry.id, Unescape(entry.text));
    return map;
  }();
  return table;
}

// Replaces the first printf-style conversion with the argument and "%%" with "%".
std::u16string Fill(std::u16string_view format, std::u16string_view argument) {
  std::u16string out;
  bool filled = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size()) {
      const char16_t next = format[i + 1];
      if (next == u'%') {
        out += u'%';
        ++i;
        continue;
      }
      if (!filled && (next == u's' || next == u'd')) {
        out += argument;
        filled = true;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

std::u16string DecimalText(long long number) {
  const std::string digits = std::to_string(number);
  return {digits.begin(), digits.end()};
}

}  // namespace

std::u16string LoadString(int id) {
  const auto found = Table().find(id);
  return found == Table().end() ? std::u16string() : found->second;
}

std::u16string FormatMessage(int id, std::u16string_view argument) { return Fill(LoadString(id), argument); }

std::u16string FormatMessage(int id, long long number) { return Fill(LoadString(id), DecimalText(number)); }

std::u16string FormatMessage(int id, long long number, std::u16string_view argument) {
  return Fill(Fill(LoadString(id), DecimalText(number)), argument);
}

std::u16string FormatMessage(int id, long long first, long long second) {
  return Fill(Fill(LoadString(id), DecimalText(first)), DecimalText(second));
}

}  // namespace qf
