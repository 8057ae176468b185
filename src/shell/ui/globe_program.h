#pragma once

#include <optional>

#include "core/app_settings.h"
#include "core/poi_document.h"
#include "core/user_port.h"
#include "shell/globe_file.h"

namespace qf {

// The desktop's program for KML files, a globe program: it is offered the POIs when the desktop
// has one, as a file of this run's own that goes when the window goes.
class GlobeProgram {
 public:
  // Whether the desktop has a program for KML files; asked once.
  bool available() const;
  // Writes the POIs and opens the file with that program. A program that fails to start says
  // nothing, as the desktop's own launcher would; a file that cannot be written shows its message
  // and returns false.
  bool show(PoiDocument& document, const AppSettings& settings, UserPort& port);

 private:
  mutable std::optional<bool> available_;
  GlobeFile file_;
};

}  // namespace qf
