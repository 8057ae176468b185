#pragma once

#include <filesystem>
#include <string>

#include "core/poi_document.h"
#include "formats/format_table.h"

namespace qf {

// The format a file is read as, from its extension: ov2, kml, gpx, gpi, csv, asc,
// poi, and tab text for anything else.
FileFormat ReadFormatForPath(const std::filesystem::path& path);
// The format a file is written as, from its extension; text layouts take the
// given encoding. A ".gpi" name is changed to ".ov2", since that format is read only.
FileFormat WriteFormatForPath(std::filesystem::path& path, TextEncoding encoding);

// A file name's extension without the dot, in lower case.
std::string LowerExtension(const std::filesystem::path& path);

}  // namespace qf
