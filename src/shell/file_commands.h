#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/message_id.h"
#include "core/poi_document.h"

namespace qf {

// The rules around the file dialogs, the save prompt, the recent-file list and dropped files;
// the window shows the dialogs and runs the file operations.

enum class FileDialogKind { Open, Save };

struct FileFilter {
  FileFormat format;
  std::u16string name;     // e.g. "TomTom POI Files (*.ov2)"
  std::u16string pattern;  // e.g. "*.ov2"
};
// Open: formats 1 to 9. Save: 1 to 4, then 10 to 21 (GPI and the detecting text formats are read only).
std::vector<FileFilter> FileFilters(FileDialogKind kind);
// The filter a dialog starts on for the document's format (an index into FileFilters).
int PreselectedFilter(FileDialogKind kind, FileFormat documentFormat);

// The format a chosen file is read as: its extension decides, except that the phonebook filter
// stays a phonebook.
FileFormat OpenFormatFor(const std::filesystem::path& path, FileFormat filterFormat);
// The format a chosen file is written as: its extension decides, a text extension takes the chosen
// filter's encoding (ANSI when a non-text filter was chosen); a ".gpi" name becomes ".ov2", and a
// name without an extension takes the filter's.
FileFormat SaveFormatFor(std::filesystem::path& path, FileFormat filterFormat);

// The save prompt before the document is replaced or closed.
enum class DiscardPrompt {
  CancelFile,  // OK/Cancel: nothing worth saving (no rows, or only My Base Point)
  SaveFile     // Yes/No/Cancel
};
DiscardPrompt DiscardPromptFor(const PoiDocument& document);
std::u16string DiscardPromptText(DiscardPrompt prompt, const PoiDocument& document);

// Puts a path first in the recent list (an entry equal but for case moves up), keeping at most
// `fileCount` entries.
void AddRecentFile(std::vector<std::filesystem::path>& recentFiles, const std::filesystem::path& path, int fileCount);
// How wide a text is shown, in pixels.
using TextWidth = std::function<int(std::u16string_view)>;
// A path shortened with "..." to at most `maxWidth`: the folders nearest the root and the file name
// stay while the folders between give way ("/home/ann/.../cafes.ov2"); a file name too wide on its
// own is cut at its end.
std::u16string CompactPath(std::u16string_view path, int maxWidth, const TextWidth& width);
inline constexpr int kRecentFileWidth = 300;
// The recent-file menu text of entry `index`, e.g. "&1 /home/ann/poi/cafes.ov2", the path compacted
// to kRecentFileWidth and an '&' in it doubled, so that it shows rather than marking a key.
std::u16string RecentFileMenuText(int index, const std::filesystem::path& path, const TextWidth& width);

// What a drop of files on the window does: open one file, or show a message.
struct DropDecision {
  int messageId = 0;  // 0: open `path`
  std::filesystem::path path;
};
DropDecision DecideDrop(const std::vector<std::filesystem::path>& files);

}  // namespace qf
