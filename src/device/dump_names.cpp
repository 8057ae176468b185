#include "device/dump_names.h"

#include <array>

namespace qf {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsUnsafe(char16_t c) { return c < 0x20 || c == 0x7F || c == u'/' || c == u'\\'; }

}  // namespace

std::u16string TimestampSuffix(std::u16string_view date) {
  std::array<std::u16string_view, 5> groups;
  std::size_t count = 0;
  for (std::size_t at = 0; at < date.size() && count < groups.size();) {
    if (!IsDigit(date[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < date.size() && IsDigit(date[end])) ++end;
    groups[count++] = date.substr(at, end - at);
    at = end;
  }
  std::u16string suffix;
  if (count >= 3) suffix.append(u"-").append(groups[2]).append(groups[1]).append(groups[0]);
  if (count == 5) suffix.append(u"-").append(groups[3]).append(groups[4]);
  return suffix;
}

std::u16string SafeFileName(std::u16string_view name) {
  std::u16string safe(name);
  for (char16_t& c : safe) {
    if (IsUnsafe(c)) c = u'_';
  }
  for (std::size_t at = 0; at < safe.size() && safe[at] == u'.'; ++at) safe[at] = u'_';
  return safe.empty() ? u"_" : safe;
}

std::u16string DumpFileName(std::u16string_view name, std::u16string_view date, bool withTimestamp,
                            ImageFormat format) {
  std::u16string file = SafeFileName(name);
  if (withTimestamp) file += TimestampSuffix(date);
  file += u'.';
  for (char c : InfoOf(format).extension) file += static_cast<char16_t>(c);
  return file;
}

}  // namespace qf
