#pragma once

#include <filesystem>
#include <system_error>

#include "core/app_settings.h"
#include "core/poi_document.h"
#include "core/private_folder.h"
#include "core/user_port.h"

namespace qf {

// The POIs handed to a globe program: "Qfntmp.kml" in a private folder of this run's own.
class GlobeFile {
 public:
  explicit GlobeFile(std::filesystem::path parent = RuntimeFolder()) : folder_(std::move(parent)) {}

  // Replaces the file with the placemarks of the selected rows, or with none selected of every row
  // but a pinned base point. A program still reading the previous file never sees half of the new
  // one. On failure shows the message through `port`, naming the document, and returns its id;
  // else returns 0.
  int write(PoiDocument& document, const AppSettings& settings, UserPort& port);

  // Empty until the first successful write.
  const std::filesystem::path& path() const { return path_; }

 private:
  // Returns 0 or the id of the message to show.
  int writeFile(PoiDocument& document, const AppSettings& settings, UserPort& port);

  PrivateFolder folder_;
  std::filesystem::path path_;
  std::error_code reason_;
};

}  // namespace qf
