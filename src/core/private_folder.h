#pragma once

#include <filesystem>
#include <system_error>

#include "core/runtime_folder.h"

namespace qf {

// A folder of this run's own for files handed to other programs, made on first use and removed with
// the object. It is open to the user alone, so that no other user can read what it holds or put a
// link where a file goes, and two editors never share one.
class PrivateFolder {
 public:
  explicit PrivateFolder(std::filesystem::path parent = RuntimeFolder()) : parent_(std::move(parent)) {}
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // The folder, made anew when it is not there (a cleaner of old temporary files may take it away);
  // empty on failure, with the system's reason in `error`.
  std::filesystem::path get(std::error_code& error);

 private:
  std::filesystem::path parent_;
  std::filesystem::path folder_;
};

}  // namespace qf
