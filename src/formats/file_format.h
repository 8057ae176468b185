#pragma once

#include <filesystem>
#include <optional>
#include <string>
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

// A file name's extension without the dot, in lower case.
std::string LowerExtension(const std::filesystem::path& path);
// The extension of a format's files, e.g. "ov2"; empty for the device favourites.
std::string_view FormatExtension(FileFormat format);

// The dialog filter name of a format, e.g. "TomTom POI Files".
std::u16string_view FormatName(FileFormat format);

}  // namespace qf
