#include "formats/batch_conversion.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "formats/file_format.h"
#include "formats/file_buffer.h"
#include "formats/file_pipeline.h"
#include "formats/folder_listing.h"
#include "formats/format_table.h"
#include "formats/file_session.h"
#include "core/regular_file.h"
#include "core/string_table.h"

namespace qf {

namespace {

namespace fs = std::filesystem;


// The format a source is read as; none for an entry the run does not convert. "Convert to ov2"
// reads every other format named by its extension, the text formats detecting their encoding.
// Symbolic links are never taken: what they point to may lie outside the folder.
std::optional<FileFormat> SourceFormat(const FolderEntry& entry, FileFormat target) {
  if (entry.type != fs::file_type::regular || entry.name.front() == '.') return std::nullopt;
  const std::optional<FileFormat> format = FormatOfExtension(LowerExtension(entry.name));
  if (target != FileFormat::Ov2) return format == FileFormat::Ov2 ? format : std::nullopt;
  return format == FileFormat::Ov2 ? std::nullopt : format;
}

// Reads a source into the emptied scratch document as an Open would; 0 or a message id, with what
// the system said about a failure in `reason`.
int ReadSource(PoiDocument& scratch, const fs::path& source, FileFormat format, const AppSettings& settings,
               UserPort& port, std::error_code& reason) {
  ResetToNew(scratch);
  FileBuffer buffer;
  if (const int result = ReadWholeFile(source, format, buffer, reason); result != 0) return result;
  const Reader reader = ReaderFor(format);
  if (reader == nullptr) return kUnknownContent;
  FileSession session(scratch, FileOperation::Open, format, settings, port);
  session.quiet = true;
  const int result = reader(session, buffer.bytes());
  return result == 0 && buffer.shrank() ? kCannotRead : result;
}

// Writes the scratch document to the output all at once, so that a failure leaves an existing
// output as it was; 0 or a message id, with what the system said about a failure in `reason`.
// `counts` tells what was written.
int WriteOutput(PoiDocument& scratch, const fs::path& output, FileFormat target, const AppSettings& settings,
                UserPort& port, WriteCounts& counts, std::error_code& reason) {
  struct stat existing {};
  const bool exists = ::lstat(output.c_str(), &existing) == 0;
  // Only a plain file is replaced: writing through a link could end outside the folder. A link
  // made after this look is replaced itself, never followed.
  if (exists && (reason = IrregularFileError(existing.st_mode))) return kCannotSave;
  FileSession session(scratch, FileOperation::Save, target, settings, port);
  session.quiet = true;
  const int result = WriteWholeFile(session, output, AtomicFile::Links::Replace);
  reason = session.reason;
  if (result != 0) return result;
  counts = session.counts;
  // The new file takes over the old one's permissions, all but read-only.
  if (exists) ClearReadOnly(output);
  return 0;
}

}  // namespace

std::u16string SameFileNameQuestion(std::u16string_view path) {
  return u"The file name already exists\n\n" + std::u16string(path) + u"\n\nOverwrite it with the new file?";
}

std::span<const FileFormat> ConversionTargets() {
  static const std::vector<FileFormat> targets = [] {
    std::vector<FileFormat> formats;
    for (const FormatRow& row : FormatRows()) {
      if (row.writer != nullptr && row.format != FileFormat::Ov2 && row.format != FileFormat::Phonebook) {
        formats.push_back(row.format);
      }
    }
    return formats;
  }();
  return targets;
}

std::string_view ConversionExtension(FileFormat target) {
  const std::span<const FileFormat> targets = ConversionTargets();
  const bool converts = target == FileFormat::Ov2 || std::ranges::find(targets, target) != targets.end();
  return converts ? FormatExtension(target) : std::string_view();
}

ConvertFolderResult ConvertFolder(const fs::path& folder, FileFormat target, const AppSettings& settings,
                                  UserPort& port, const StatusLine& status) {
  const std::string_view extension = ConversionExtension(target);
  if (extension.empty()) throw std::invalid_argument("ConvertFolder target");
  auto show = [&](std::u16string_view text) {
    if (status) status(text);
  };
  show(LoadString(kConvertingFiles));
  ConvertFolderResult result;
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) {
    result.messageId = kDiskStructureWrong;
    return result;
  }
  // Coordinates pass through as decimal text.
  AppSettings readSettings = settings;
  readSettings.set(Switch::DmsFormat, false);
  PoiDocument scratch;
  scratch.display = readSettings.displayOptions();
  std::optional<OverwriteAnswer> forAll;
  for (const FolderEntry& entry : entries) {
    if (port.cancelRequested()) break;
    const std::optional<FileFormat> format = SourceFormat(entry, target);
    if (!format) continue;
    const fs::path source = folder / entry.name;
    const fs::path output = folder / (entry.name.substr(0, entry.name.size() - 3) + std::string(extension));
    if (output == source) continue;  // a source is never replaced
    if (std::error_code error; fs::exists(fs::symlink_status(output, error))) {
      const OverwriteAnswer answer = forAll ? *forAll : port.askOverwrite(DisplayName(output));
      if (answer == OverwriteAnswer::YesToAll || answer == OverwriteAnswer::NoToAll) forAll = answer;
      if (answer == OverwriteAnswer::Cancel) break;
      if (answer == OverwriteAnswer::No || answer == OverwriteAnswer::NoToAll) continue;
    }
    const std::u16string name = DisplayName(entry.name);
    show(FormatMessage(kConvertingFile, result.count, name));
    if (const int read = ReadSource(scratch, source, *format, readSettings, port, result.reason); read != 0) {
      result.messageId = read;
      result.name = name;
      return result;
    }
    if (scratch.rows.empty()) continue;
    WriteCounts counts;
    if (const int written = WriteOutput(scratch, output, target, readSettings, port, counts, result.reason);
        written != 0) {
      result.messageId = written;
      result.name = DisplayName(output);
      return result;
    }
    ++result.count;
    result.leftOut += counts.leftOut;
  }
  return result;
}

}  // namespace qf
