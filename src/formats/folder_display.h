#pragma once

#include <filesystem>
#include <string>

namespace qf {

// The user's folders that the folder dialogs name instead of spelling out their paths.
struct UserFolders {
  std::filesystem::path home;
  std::filesystem::path desktop;    // the XDG Desktop folder
  std::filesystem::path documents;  // the XDG Documents folder
};

// A path as the status lines of the folder dialogs show it: inside the Desktop or the Documents
// folder from their display names ("Desktop/maps"), elsewhere inside the home folder from "~"
// ("~/maps"), anywhere else whole. A Desktop or Documents folder that is the home folder itself
// is no folder of its own.
std::u16string FolderDisplayForm(const std::filesystem::path& path, const UserFolders& folders);

}  // namespace qf
