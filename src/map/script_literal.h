#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qf {

// Texts written into the map page's script as quoted string literals. Besides the quote and the
// backslash, "<" (so that no "</script>" or "<!--" ends or bends the script element), line breaks,
// the line and paragraph separators and every other control character are escaped: whatever a
// text holds, it stays inside its string.

// Appends the text, escaped for a literal in `quote`, in UTF-8; the escaped text is cut to at most
// `limit` UTF-16 units, never inside an escape or a surrogate pair. Returns the units written.
std::size_t AppendScriptText(std::string& out, std::u16string_view text, char16_t quote,
                             std::size_t limit = std::u16string_view::npos);

// A UTF-8 text as a double-quoted script literal, quotes included.
std::string ScriptString(std::string_view utf8);

}  // namespace qf
