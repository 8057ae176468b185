#include "shell/file_commands.h"

#include <algorithm>

#include "core/unicode.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "formats/format_table.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

std::u16string PatternOf(const FormatRow& row) {
  return u"*." + std::u16string(row.extension.begin(), row.extension.end());
}

// Open offers every format read from files, the text layouts still to be detected; Save every
// format written.
bool Offered(FileDialogKind kind, const FormatRow& row) {
  if (kind == FileDialogKind::Save) return row.writer != nullptr;
  return row.reader != nullptr && !row.extension.empty() && !row.encoding;
}

bool SameIgnoringCase(const fs::path& a, const fs::path& b) {
  return FoldCase(a.u16string()) == FoldCase(b.u16string());
}

}  // namespace

std::vector<FileFilter> FileFilters(FileDialogKind kind) {
  std::vector<FileFilter> filters;
  for (const FormatRow& row : FormatRows()) {
    if (!Offered(kind, row)) continue;
    const std::u16string pattern = PatternOf(row);
    filters.push_back({row.format, std::u16string(row.name) + u" (" + pattern + u")", pattern});
  }
  return filters;
}

int PreselectedFilter(FileDialogKind kind, FileFormat documentFormat) {
  const std::vector<FileFilter> filters = FileFilters(kind);
  // Open has one filter a layout, whatever the encoding; Save one a format. Anything else: OV2.
  const FormatLayout layout = FormatRowOf(documentFormat).layout;
  const auto chosen = std::ranges::find_if(filters, [&](const FileFilter& filter) {
    return kind == FileDialogKind::Open ? FormatRowOf(filter.format).layout == layout
                                        : filter.format == documentFormat;
  });
  return chosen == filters.end() ? 0 : static_cast<int>(chosen - filters.begin());
}

FileFormat OpenFormatFor(const fs::path& path, FileFormat filterFormat) {
  return filterFormat == FileFormat::Phonebook ? FileFormat::Phonebook : ReadFormatForPath(path);
}

FileFormat SaveFormatFor(fs::path& path, FileFormat filterFormat) {
  if (!path.has_extension()) path += "." + std::string(FormatExtension(filterFormat));
  if (filterFormat == FileFormat::Phonebook) return FileFormat::Phonebook;
  return WriteFormatForPath(path, FormatRowOf(filterFormat).encoding.value_or(TextEncoding::Ansi));
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

std::u16string CompactPath(std::u16string_view path, int maxWidth, const TextWidth& width) {
  const auto fits = [&](std::u16string_view text) { return width(text) <= maxWidth; };
  if (fits(path)) return std::u16string(path);
  constexpr auto npos = std::u16string_view::npos;
  const std::size_t slash = path.rfind(u'/');
  const std::u16string_view name = slash == npos ? path : path.substr(slash + 1);
  if (slash != npos && slash > 0) {
    const std::u16string tail = u".../" + std::u16string(name);
    for (std::size_t cut = path.rfind(u'/', slash - 1); cut != npos; cut = cut == 0 ? npos : path.rfind(u'/', cut - 1)) {
      std::u16string text = std::u16string(path.substr(0, cut + 1)) + tail;
      if (fits(text)) return text;
    }
    if (fits(tail)) return tail;
  }
  for (std::size_t keep = name.size(); keep-- > 0;) {
    const bool splitsPair = name[keep] >= 0xDC00 && name[keep] <= 0xDFFF;
    std::u16string text = std::u16string(name.substr(0, keep)) + u"...";
    if (!splitsPair && fits(text)) return text;
  }
  return u"...";
}

std::u16string RecentFileMenuText(int index, const fs::path& path, const TextWidth& width) {
  std::u16string text = u"&";
  text += static_cast<char16_t>(u'1' + index);
  text += u' ';
  for (const char16_t c : CompactPath(DisplayName(path), kRecentFileWidth, width)) {
    if (c == u'&') text += u'&';
    text += c;
  }
  return text;
}

DropDecision DecideDrop(const std::vector<fs::path>& files) {
  if (files.size() > 1) return {kOnlyOneFile, {}};
  if (files.empty()) return {kUnsupportedExtension, {}};
  const fs::path& file = files.front();
  std::error_code error;
  const bool accepted = FormatOfExtension(LowerExtension(file)).has_value();
  if (!accepted || fs::is_directory(file, error)) return {kUnsupportedExtension, file};
  return {0, file};
}

}  // namespace qf
