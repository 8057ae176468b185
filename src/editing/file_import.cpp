#include "editing/file_import.h"

#include "editing/poi_table.h"
#include "formats/file_pipeline.h"

namespace qf {

int ImportFile(PoiTable& table, FileFormat format, const std::filesystem::path& path, const AppSettings& settings,
               UserPort& port) {
  PoiDocument& document = table.document();
  const int first = document.rowCount();
  const bool modifiedBefore = document.modified;
  const int result = RunFileOperation(document, FileOperation::Import, format, path, settings, port);
  table.recordAppended(first, modifiedBefore);
  return result;
}

}  // namespace qf
