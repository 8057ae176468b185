#pragma once

#include <string>
#include <string_view>

#include "device/dump_settings.h"

namespace qf {

// What a screenshot's date adds to its name: the date split into digit groups g1 to g5 at every
// other character, then "-" g3 g2 g1 when there is a third group and "-" g4 g5 when there is a fifth,
// so that "17/05/2010 14:23:05" gives "-20100517-1423". Empty with fewer than three groups.
std::u16string TimestampSuffix(std::u16string_view date);

// A screenshot name as a file name of the destination folder: the device's names are not trusted,
// so a separator, a control character or a leading dot becomes '_' and an empty name "_"; such a
// name can neither leave the folder nor hide in it.
std::u16string SafeFileName(std::u16string_view name);

// The file a screenshot is written to: its safe name, the time stamp when asked for, and the
// format's extension.
std::u16string DumpFileName(std::u16string_view name, std::u16string_view date, bool withTimestamp,
                            ImageFormat format);

}  // namespace qf
