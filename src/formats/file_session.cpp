#include "formats/file_session.h"

#include <algorithm>
#include <iterator>

#include "core/string_table.h"

namespace qf {

namespace {
}  // namespace

FileSession::FileSession(PoiDocument& document, FileOperation operation, FileFormat format,
                         const AppSettings& settings, UserPort& port)
    : document(document),
      operation(operation),
      format(format),
      settings(settings),
      port(port),
      duplicates_(document, settings.on(Switch::CheckName), port) {}

int FileSession::appendNamed(std::u16string& name, std::size_t moreCharacters) {
  if (NormaliseName(name) == 0 || eliminateDuplicate(name)) return -1;
  return AppendPoi(document, name, operation == FileOperation::Import, moreCharacters);
}

void FileSession::setMemo(int row, std::u16string_view memo) {
  if (!document.richPoiFile) SetMemo(document, row, memo);
}

void FileSession::progress(std::uint64_t total, std::uint64_t current) {
  if (quiet || total == 0) return;
  current = static_cast<std::uint64_t>(static_cast<std::int64_t>(current) + progressShift);
  const int percent = static_cast<int>(std::min<std::uint64_t>(current * 100 / total, 100));
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  // Reading, writing, importing and exporting follow one another in the string table, as the operations do.
  const int id = format == FileFormat::Favourites ? kReadingFavourites
                                                   : kReadingFile + static_cast<int>(operation);
  port.progress(FormatMessage(id, percent), percent);
}

std::vector<int> FileSession::rowsToWrite() const {
  std::vector<int> rows;
  rows.reserve(document.rows.size());
  const bool exporting = operation == FileOperation::Export;
  const int first = !exporting && document.basePointPinned ? 1 : 0;
  for (int row = first; row < document.rowCount(); ++row) {
    if (!exporting || document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
  }
  return rows;
}

void AppendReadOn(PoiDocument& document, PoiDocument&& second, bool importing) {
  if (importing && !second.rows.empty() && !document.rows.empty()) document.rows.back().focused = false;
  document.rows.reserve(document.rows.size() + second.rows.size());
  std::move(second.rows.begin(), second.rows.end(), std::back_inserter(document.rows));
  // Its room goes back at once, so that joining does not hold both (assigning {} would keep it).
  std::vector<PoiRecord>().swap(second.rows);
  document.kind = second.kind;
  document.richPoiFile = second.richPoiFile;
  if (second.hasSignalMark()) document.signalMark = second.signalMark;
  document.nextRowId = second.nextRowId;
}

}  // namespace qf
