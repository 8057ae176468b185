#pragma once

#include <string>
#include <string_view>

namespace qf {

// A text as the status bar's message part shows it: one closing full stop (or ideographic full
// stop) dropped, unless the text starts with a blank or ends in an ellipsis, and at most 254
// characters.
std::u16string StatusText(std::u16string_view text);

}  // namespace qf
