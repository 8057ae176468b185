#pragma once

#include <filesystem>

#include "core/app_settings.h"
#include "core/poi_document.h"
#include "core/user_port.h"

namespace qf {

class PoiTable;

// Import: reads a file's rows after the table's, as one undo step. A failed import keeps the rows
// read before the failure, and they too are undone in one step. Returns 0, or the id of the
// message that was shown.
int ImportFile(PoiTable& table, FileFormat format, const std::filesystem::path& path, const AppSettings& settings,
               UserPort& port);

}  // namespace qf
