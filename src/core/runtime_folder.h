#pragma once

#include <filesystem>

namespace qf {

// The folder for files that live only as long as the program (sockets, files handed to other
// programs): the user's runtime folder, which no one else may enter, or else the temporary folder.
std::filesystem::path RuntimeFolder();

}  // namespace qf
