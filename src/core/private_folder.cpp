#include "core/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <string>

namespace fs = std::filesystem;

namespace qf {

PrivateFolder::~PrivateFolder() {
  if (folder_.empty()) return;
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

// mkdtemp makes the folder with a name no one else holds, open to the user alone.
fs::path PrivateFolder::get(std::error_code& error) {
  error.clear();
  std::error_code ignored;
  if (!folder_.empty() && fs::is_directory(fs::symlink_status(folder_, ignored))) return folder_;
  std::string name = (parent_ / "quillfern-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) {
    error.assign(errno, std::system_category());
    return {};
  }
  folder_ = name;
  return folder_;
}

}  // namespace qf
