#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/message_id.h"

namespace qf {

struct StringEntry {
  int id;
  const char* text;  // UTF-8, with \n, \r and \t escapes as written in resources/strings.tsv
};
const std::vector<StringEntry>& RawStringTable();

// The text of a string-table entry, named by its MessageId or, for command texts, reached through
// the command's id; empty when the id is unknown.
std::u16string LoadString(int id);
// The text with its one "%s" or "%d" filled in and "%%" turned into "%".
std::u16string FormatMessage(int id, std::u16string_view argument);
std::u16string FormatMessage(int id, long long number);
// The text with its "%d" and then its "%s" filled in, for status lines with a count and a name.
std::u16string FormatMessage(int id, long long number, std::u16string_view argument);
// The text with its two "%d" filled in, in order, for counts such as "%d / %d".
std::u16string FormatMessage(int id, long long first, long long second);

}  // namespace qf
