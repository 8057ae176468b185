#pragma once

#include <filesystem>
#include <string_view>

#include "core/private_folder.h"
#include "core/user_port.h"

namespace qf {

// The map's page: "Qfn.htm" in a private folder of this run's own, replaced whole on every load, so
// that the web engine never reads half a page, and removed with the object.
class MapPageFile {
 public:
  explicit MapPageFile(std::filesystem::path parent = RuntimeFolder()) : folder_(std::move(parent)) {}

  // Writes the page. On failure shows the message naming the file, with the system's reason, through
  // `port` and returns false.
  bool write(std::string_view page, UserPort& port);
  // Empty until the first successful write.
  const std::filesystem::path& path() const { return path_; }

 private:
  PrivateFolder folder_;
  std::filesystem::path path_;
};

}  // namespace qf
