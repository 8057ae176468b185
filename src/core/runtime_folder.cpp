#include "core/runtime_folder.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace qf {

fs::path RuntimeFolder() {
  std::error_code error;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    if (fs::is_directory(runtime, error)) return runtime;
  }
  const fs::path temporary = fs::temp_directory_path(error);
  return error ? fs::path("/tmp") : temporary;
}

}  // namespace qf
