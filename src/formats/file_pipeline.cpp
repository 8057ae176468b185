#include "formats/file_pipeline.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "core/atomic_file.h"
#include "core/distances.h"
#include "core/regular_file.h"
#include "core/unicode.h"
#include "formats/charcode.h"
#include "formats/file_buffer.h"
#include "formats/file_session.h"
#include "core/string_table.h"

namespace fs = std::filesystem;

namespace qf {

namespace {

// `result` is a failed operation's: the id of its message.
void ShowFileError(UserPort& port, int result, const fs::path& path, std::error_code reason) {
  port.showMessage(static_cast<MessageId>(result), Severity::Warning, FileMessageText(result, DisplayName(path), reason));
}

bool IsReadOnly(const fs::path& path) {
  std::error_code error;
  const auto status = fs::status(path, error);
  if (error || !fs::exists(status)) return false;
  constexpr auto kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (status.permissions() & kWrite) == fs::perms::none;
}

// The device's char code form of a file name, used when "Translate Name" is on.
fs::path TranslatedPath(const fs::path& path) {
  const std::u16string name = Utf8ToUtf16(path.filename().string());
  return path.parent_path() / Utf16ToUtf8(ToTomTomCharCode(name));
}

int Save(FileSession& session, const fs::path& requested) {
  fs::path target = requested;
  fs::path replaced;
  if (session.format == FileFormat::Ov2 && session.settings.on(Switch::TranslateName)) {
    const fs::path translated = TranslatedPath(requested);
    if (translated != requested) {
      replaced = requested;
      target = translated;
    }
  }
  // No question about a read-only file for a format that cannot be written anyway.
  if (!CanWrite(session.format)) return kCannotSave;
  const bool readOnly = IsReadOnly(target);
  if (readOnly && !session.port.confirm(kReadOnlyRetry, FormatMessage(kReadOnlyRetry, DisplayName(target)))) {
    return kCancelled;
  }
  if (const int result = WriteWholeFile(session, target); result != 0) return result;
  // Only with the new file: a failed save leaves the old one exactly as it was.
  if (readOnly) ClearReadOnly(target);
  session.progress(1, 1);
  if (!replaced.empty()) {
    std::error_code ignored;
    if (fs::is_regular_file(replaced, ignored)) {
      ClearReadOnly(replaced);
      fs::remove(replaced, ignored);
    }
  }
  // A phonebook document stays the file it came from: saving it elsewhere is an export in effect.
  if (session.operation == FileOperation::Save && session.document.kind != DocumentKind::Phonebook) {
    session.document.path = target;
    session.document.title = Utf8ToUtf16(target.stem().string());
  }
  return 0;
}

int Read(FileSession& session, const fs::path& path) {
  PoiDocument& document = session.document;
  FileBuffer buffer;
  if (const int result = ReadWholeFile(path, session.format, buffer, session.reason); result != 0) return result;
  if (session.operation == FileOperation::Open) {
    ResetToNew(document);
  } else {
    for (PoiRecord& row : document.rows) row.selected = row.focused = false;
  }
  const Reader reader = ReaderFor(session.format);
  if (reader == nullptr) return kUnknownContent;
  const int result = reader(session, buffer.bytes());
  if (result != 0) return result;
  if (buffer.shrank()) return kCannotRead;
  session.progress(1, 1);
  if (session.operation == FileOperation::Open) {
    document.basePointPinned = false;
    if (document.rowCount() > 0) SetBasePoint(document, 0);
  } else {
    SetBasePoint(document, document.baseRow);
  }
  if (session.eliminatedCount() > 0) {
    session.port.showMessage(kEliminatedDuplicates, Severity::Information, FormatMessage(kEliminatedDuplicates, session.eliminatedCount()));
  }
  return 0;
}

void FinishOpen(FileSession& session, const fs::path& path, int result) {
  PoiDocument& document = session.document;
  if (result != 0) {
    ResetToNew(document);
    return;
  }
  if (document.kind == DocumentKind::Phonebook) document.display.showDistance = false;
  if (!document.rows.empty()) document.rows.front().selected = document.rows.front().focused = true;
  document.modified = session.eliminatedCount() > 0;
  document.path = path;
  document.title = Utf8ToUtf16(path.stem().string());
  document.format = session.format == FileFormat::Favourites ? FileFormat::Ov2 : session.format;
}

}  // namespace

bool ClearReadOnly(const fs::path& path) {
  std::error_code error;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
  return !error;
}

int WriteWholeFile(FileSession& session, const fs::path& path, AtomicFile::Links links) {
  const Writer writer = WriterFor(session.format);
  if (writer == nullptr) return kCannotSave;
  AtomicFile file;
  int result = file.open(path, links) ? writer(session, file) : kCannotSave;
  if (result == 0 && !file.commit()) result = kCannotWrite;
  session.reason = file.error();
  return result;
}

std::u16string FileMessageText(int messageId, std::u16string_view name, std::error_code reason) {
  std::u16string text = FormatMessage(messageId, name);
  if (reason) text += u"\n\n" + Utf8ToUtf16(reason.message());
  return text;
}

std::u16string DisplayName(const fs::path& path) { return FromTomTomCharCode(Utf8ToUtf16(path.string())); }

namespace {

int Run(FileSession& session, const fs::path& path, WriteCounts* counts) {
  PoiDocument& document = session.document;
  const FileOperation operation = session.operation;
  UserPort& port = session.port;
  const int rowsBefore = document.rowCount();
  const bool writing = operation == FileOperation::Save || operation == FileOperation::Export;
  const int result = writing ? Save(session, path) : Read(session, path);
  if (result > 0) ShowFileError(port, result, path, session.reason);
  if (writing && result == 0 && counts != nullptr) *counts = session.counts;
  switch (operation) {
    case FileOperation::Save:
      // A file that holds less than the document is not all of it: the rest is still to be saved.
      if (result == 0 && session.counts.leftOut == 0) document.modified = false;
      break;
    case FileOperation::Import:
      if (document.rowCount() != rowsBefore) document.modified = true;
      break;
    case FileOperation::Open:
      FinishOpen(session, path, result);
      break;
    case FileOperation::Export:
      break;
  }
  return result;
}

}  // namespace

int RunFileOperation(PoiDocument& document, FileOperation operation, FileFormat format, const fs::path& path,
                     const AppSettings& settings, UserPort& port, WriteCounts* counts) {
  FileSession session(document, operation, format, settings, port);
  return Run(session, path, counts);
}

int OpenFavourites(PoiDocument& document, const fs::path& path, bool includeHome, const AppSettings& settings,
                   UserPort& port) {
  FileSession session(document, FileOperation::Open, FileFormat::Favourites, settings, port);
  session.includeHome = includeHome;
  const int result = Run(session, path, nullptr);
  if (result == 0) {
    document.path.clear();
    document.title = LoadString(kFavoritesTitle);
  }
  return result;
}

}  // namespace qf
