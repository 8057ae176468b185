#include "shell/file_commands.h"

#include <algorithm>
#include <array>

#include "core/unicode.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

std::u16string PatternOf(FileFormat format) {
  const std::string_view extension = FormatExtension(format);
  return u"*." + std::u16string(extension.begin(), extension.end());
}

std::vector<FileFormat> DialogFormats(FileDialogKind kind) {
  std::vector<FileFormat> formats;
  const int last = kind == FileDialogKind::Open ? 9 : 21;
  for (int value = 1; value <= last; ++value) {
    if (kind == FileDialogKind::Save && value >= 5 && value <= 9) continue;
    formats.push_back(static_cast<FileFormat>(value));
  }
  return formats;
}

bool IsTextFormat(FileFormat format) { return static_cast<int>(format) >= static_cast<int>(FileFormat::CsvAnsi); }

bool SameIgnoringCase(const fs::path& a, const fs::path& b) {
  return FoldCase(a.u16string()) == FoldCase(b.u16string());
}

}  // namespace

std::vector<FileFilter> FileFilters(FileDialogKind kind) {
  std::vector<FileFilter> filters;
  for (const FileFormat format : DialogFormats(kind)) {
    const std::u16string pattern = PatternOf(format);
    filters.push_back({format, std::u16string(FormatName(format)) + u" (" + pattern + u")", pattern});
  }
  return filters;
}

int PreselectedFilter(FileDialogKind kind, FileFormat documentFormat) {
  int value = static_cast<int>(documentFormat);
  if (kind == FileDialogKind::Open) {
    if (value > 9) value = (value - 10) / 3 + 6;
    return std::clamp(value, 1, 9) - 1;
  }
  // The dialog counts filters from 1: 1 to 4 are the formats 1 to 4, 5 on are the formats 10 on.
  if (value == static_cast<int>(FileFormat::Gpi)) return 0;
  if (value > 5) return std::clamp(value - 5, 1, 16) - 1;
  return std::clamp(value, 1, 4) - 1;
}

FileFormat OpenFormatFor(const fs::path& path, FileFormat filterFormat) {
  return filterFormat == FileFormat::Phonebook ? FileFormat::Phonebook : ReadFormatForPath(path);
}

FileFormat SaveFormatFor(fs::path& path, FileFormat filterFormat) {
  if (!path.has_extension()) path += "." + std::string(FormatExtension(filterFormat));
  if (filterFormat == FileFormat::Phonebook) return FileFormat::Phonebook;
  const auto encoding = IsTextFormat(filterFormat)
                            ? static_cast<TextEncoding>((static_cast<int>(filterFormat) - 10) % 3)
                            : TextEncoding::Ansi;
  return WriteFormatForPath(path, encoding);
}

DiscardPrompt DiscardPromptFor(const PoiDocument& document) {
  const bool nothingToSave = document.rowCount() == 0 || (document.rowCount() == 1 && document.basePointPinned);
  return nothingToSave ? DiscardPrompt::CancelFile : DiscardPrompt::SaveFile;
}

std::u16string DiscardPromptText(DiscardPrompt prompt, const PoiDocument& document) {
  const std::u16string name = document.path.empty() ? document.title : DisplayName(document.path);
  return (prompt == DiscardPrompt::CancelFile ? u"Cancel the current POI file?\n\n" : u"Save the current file?\n\n") +
         name;
}

void AddRecentFile(std::vector<fs::path>& recentFiles, const fs::path& path, int fileCount) {
  std::erase_if(recentFiles, [&](const fs::path& entry) { return SameIgnoringCase(entry, path); });
  recentFiles.insert(recentFiles.begin(), path);
  if (recentFiles.size() > static_cast<std::size_t>(std::max(fileCount, 1))) {
    recentFiles.resize(static_cast<std::size_t>(std::max(fileCount, 1)));
  }
}

std::u16string RecentFileMenuText(int index, const fs::path& path) {
  std::u16string text = u"&";
  text += static_cast<char16_t>(u'1' + index);
  text += u' ';
  return text + DisplayName(path);
}

DropDecision DecideDrop(const std::vector<fs::path>& files) {
  if (files.size() > 1) return {kOnlyOneFile, {}};
  if (files.empty()) return {kUnsupportedExtension, {}};
  static constexpr std::array<std::string_view, 8> kAccepted = {"ov2", "kml", "gpx", "gpi",
                                                                "csv", "asc", "poi", "txt"};
  const fs::path& file = files.front();
  std::error_code error;
  const bool accepted = std::find(kAccepted.begin(), kAccepted.end(), LowerExtension(file)) != kAccepted.end();
  if (!accepted || fs::is_directory(file, error)) return {kUnsupportedExtension, file};
  return {0, file};
}

}  // namespace qf
