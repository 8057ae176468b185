#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/user_port.h"

namespace qf {

enum class NameDirection { ToTomTom, ToWindows };

struct TranslateNamesResult {
  int count = 0;      // entries renamed, also when stopped early
  int messageId = 0;  // 0 (done or Esc), kDiskStructureWrong, kNameExists or kCannotRename
  std::u16string name;  // the %s of the message
};

// Renames the device files of a folder (POI, image, sound, voice and route files, and
// "*_Images" folders) into the other char code. Symbolic links are left alone, no existing
// entry is ever replaced, and Esc stops between two entries.
TranslateNamesResult TranslateNames(const std::filesystem::path& folder, NameDirection direction, UserPort& port,
                                    const StatusLine& status = {});

// The Query Names calculator: the device name in TomTom char code is the file name
// on the disk, and that file name translated back is the name the device shows.
std::u16string QueryWindowsName(std::u16string_view tomtomName);
std::u16string QueryTomTomName(std::u16string_view windowsName);

}  // namespace qf
