#pragma once

#include <sys/types.h>

#include <system_error>

namespace qf {

// Only regular files are read or replaced: a read from a pipe could wait for ever, and a save
// renamed over a device or a pipe would destroy it. Returns why a file of this st_mode is refused
// ("Is a directory", "Not a regular file"), or nothing for a regular file.
std::error_code IrregularFileError(mode_t mode);

}  // namespace qf
