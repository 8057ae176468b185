#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/app_settings.h"
#include "core/duplicate_names.h"
#include "core/field_rules.h"
#include "core/poi_document.h"
#include "core/user_port.h"
#include "formats/file_pipeline.h"

namespace qf {

// The transient state of one file operation that readers and writers share:
// the document, what is being done, the duplicate-name answer and the progress line.
class FileSession {
 public:
  FileSession(PoiDocument& document, FileOperation operation, FileFormat format, const AppSettings& settings,
              UserPort& port);

  PoiDocument& document;
  const FileOperation operation;
  FileFormat format;  // readers store the exact format they detect
  const AppSettings& settings;
  UserPort& port;
  bool quiet = false;  // no progress line (automatic saving, batch conversion)
  // Added to the positions a reader reports: a file read in pieces by turns reports how much of
  // the whole is done, not where in the file the piece in hand stands.
  std::int64_t progressShift = 0;
  bool includeHome = false;  // favourites: the home and recent destinations too
  WriteCounts counts;  // what a writer wrote, for the caller to report
  std::error_code reason;  // what the system said when reading or writing the file failed

  // The duplicate-name check for a normalised name about to be appended; true means
  // skip the POI. Always false while "Check Name" is off.
  bool eliminateDuplicate(std::u16string_view name) { return duplicates_.eliminate(name); }
  int eliminatedCount() const { return duplicates_.eliminatedCount(); }

  // Appends a row for a name read from a file: normalised, checked for duplicates, and
  // selected when importing. Returns the row, or -1 when the POI is dropped.
  int appendNamed(std::u16string& name, std::size_t moreCharacters = kCoordinatesRoom);
  // The memo of a POI read from a file; a rich POI document keeps its memos in the rich records.
  void setMemo(int row, std::u16string_view memo);

  // The progress status line; repeated equal percentages are not shown again.
  void progress(std::uint64_t total, std::uint64_t current);

  // Rows a writer writes: every row (without a pinned base-point row) for Save,
  // the selected rows for Export, in table order.
  std::vector<int> rowsToWrite() const;

 private:
  DuplicateNames duplicates_;
  int lastPercent_ = -1;
};

// Appends the rows of a document that a second reader filled from a later part of the same file,
// as if one reader had read on.
void AppendReadOn(PoiDocument& document, PoiDocument&& second, bool importing);

}  // namespace qf
