#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/poi_document.h"

namespace qf {

enum class TextEncoding : int { Ansi = 0, Unicode = 1, Utf8 = 2 };

// The format a file is read as, from its extension: ov2, kml, gpx, gpi, csv, asc,
// poi, and tab text for anything else.
FileFormat ReadFormatForPath(const std::filesystem::path& path);
// The format a file is written as, from its extension; text layouts take the
// given encoding. A ".gpi" name is changed to ".ov2", since that format is read only.
FileFormat WriteFormatForPath(std::filesystem::path& path, TextEncoding encoding);

// The dialog filter name of a format, e.g. "TomTom POI Files".
std::u16string_view FormatName(FileFormat format);

}  // namespace qf
