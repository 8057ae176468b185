#include "formats/folder_listing.h"

#include <algorithm>
#include <system_error>

namespace qf {

bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    entries.push_back({it->path().filename().native(), it->symlink_status(error).type()});
  }
  std::ranges::sort(entries, {}, &FolderEntry::name);
  return !error;
}

}  // namespace qf
