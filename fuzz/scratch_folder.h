// A folder of its own for a fuzz process that works on files: in memory where the system has
// such a place, and removed when the process ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace fuzz {

class ScratchFolder {
 public:
  ScratchFolder() {
    namespace fs = std::filesystem;
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "quillfern-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) __builtin_trap();
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace fuzz
