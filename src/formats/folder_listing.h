#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qf {

struct FolderEntry {
  std::string name;  // the bytes on the disk
  std::filesystem::file_type type;  // of the entry itself: a symbolic link is not followed
};

// The entries of a folder in name order, taken whole before a folder operation changes anything:
// an entry it adds or renames is never met again, and the order does not depend on the file system.
// False when the folder cannot be read to the end.
bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries);

}  // namespace qf
