#pragma once

#include <string>
#include <string_view>

namespace qf {

// A device file name as it travels in a URL path: UTF-8 (at most 767 bytes), a space and every byte
// of a character outside ASCII written as '%' and two upper-case hexadecimal digits. '#', '?' and
// '%' are escaped as well, since unescaped they would end the path or be read as an escape, and
// the device would be asked for another file.
std::string EncodeDeviceName(std::u16string_view name);

}  // namespace qf
