#pragma once

#include <filesystem>
#include <system_error>

#include "core/app_settings.h"
#include "core/poi_document.h"
#include "core/runtime_folder.h"
#include "core/user_port.h"

namespace qf {

// The POIs handed to a globe program: "Qfntmp.kml" in a folder of this run's own, made on the first
// write and removed with the object. The folder is open to the user alone, so that no other user can
// read the POIs or put a link where the file goes, and two editors never share one file.
class GlobeFile {
 public:
  explicit GlobeFile(std::filesystem::path parent = RuntimeFolder());
  ~GlobeFile();
  GlobeFile(const GlobeFile&) = delete;
  GlobeFile& operator=(const GlobeFile&) = delete;

  // Replaces the file with the placemarks of the selected rows, or with none selected of every row
  // but a pinned base point. A program still reading the previous file never sees half of the new
  // one. On failure shows the message through `port`, naming the document, and returns its id;
  // else returns 0.
  int write(PoiDocument& document, const AppSettings& settings, UserPort& port);

  // Empty until the first successful write.
  const std::filesystem::path& path() const { return path_; }

 private:
  bool makeFolder();
  // Returns 0 or the id of the message to show.
  int writeFile(PoiDocument& document, const AppSettings& settings, UserPort& port);

  std::filesystem::path parent_;
  std::filesystem::path folder_;
  std::filesystem::path path_;
  std::error_code reason_;
};

}  // namespace qf
