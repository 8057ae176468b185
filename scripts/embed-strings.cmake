# Turns resources/strings.tsv (id TAB name TAB text, with \n, \r and \t escapes) into a C++ table and the
# MessageId enum of the named entries. Included when the build is configured, with STRINGS_SOURCE,
# STRINGS_TABLE and MESSAGE_IDS set; each file is written only when it changes, so that a new text
# does not rebuild everything that names a message.
file(STRINGS ${STRINGS_SOURCE} lines ENCODING UTF-8)
set(table "")
set(ids "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([0-9]+)\t([A-Za-z0-9]*)\t(.*)$")
    string(APPEND table "    {${CMAKE_MATCH_1}, R\"qf(${CMAKE_MATCH_3})qf\"},\n")
    if(CMAKE_MATCH_2)
      string(APPEND ids "  ${CMAKE_MATCH_2} = ${CMAKE_MATCH_1},\n")
    endif()
  elseif(NOT line MATCHES "^#")
    message(FATAL_ERROR "resources/strings.tsv: not an entry: ${line}")
  endif()
endforeach()
file(CONFIGURE OUTPUT ${STRINGS_TABLE} @ONLY CONTENT "// Generated from resources/strings.tsv; do not edit.
#include \"core/string_table.h\"
namespace qf {
const std::vector<StringEntry>& RawStringTable() {
  static const std::vector<StringEntry> table = {
${table}  };
  return table;
}
}  // namespace qf
")
file(CONFIGURE OUTPUT ${MESSAGE_IDS} @ONLY CONTENT "// Generated from resources/strings.tsv; do not edit.
#pragma once
namespace qf {
// The entries of the string table that the code names: messages, status texts, titles and words.
enum MessageId : int {
${ids}};
}  // namespace qf
")
