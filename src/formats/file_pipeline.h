#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "core/app_settings.h"
#include "core/atomic_file.h"
#include "core/message_id.h"
#include "core/poi_document.h"
#include "core/user_port.h"
#include "formats/format_table.h"

namespace qf {

class ByteSink;
class FileSession;

// The user declined a question; nothing more is shown.
inline constexpr int kCancelled = -1;

// What a save or export wrote: the rows written and the rows the format could not carry.
struct WriteCounts {
  int written = 0;
  int leftOut = 0;  // rows without a position (KML, GPX) or without a telephone number (phonebook)
};

// Runs one file operation on `path` and updates the document as the operation
// requires. Returns 0, kCancelled or the id of the message that was shown. After a
// successful Save or Export, `counts` (when given) tells what the writer wrote.
int RunFileOperation(PoiDocument& document, FileOperation operation, FileFormat format,
                     const std::filesystem::path& path, const AppSettings& settings, UserPort& port,
                     WriteCounts* counts = nullptr);

// Open Favorites: reads a Nav2 device's "MapSettings.cfg" as the document, with includeHome its
// home and recent destinations too. The document is titled "Favorites" and has no path, so that
// it is never saved over the device's file. Returns what RunFileOperation returns.
int OpenFavourites(PoiDocument& document, const std::filesystem::path& path, bool includeHome,
                   const AppSettings& settings, UserPort& port);

// Writes the session's document in its format to `path` through a temporary file, so that a
// failure leaves an existing file as it was; the writer's counts are then in the session.
// Returns 0 or the writer's, kCannotSave or kCannotWrite; the session's reason tells what the system
// said about a failure.
int WriteWholeFile(FileSession& session, const std::filesystem::path& path,
                   AtomicFile::Links links = AtomicFile::Links::Follow);

// Makes a file writable again; false when that fails.
bool ClearReadOnly(const std::filesystem::path& path);

// The text of a file message about `name`, with what the system said about the failure, if
// anything, on a line of its own, e.g. "No space left on device".
std::u16string FileMessageText(int messageId, std::u16string_view name, std::error_code reason);

// The name of a file as the user should see it: device char codes shown as characters.
std::u16string DisplayName(const std::filesystem::path& path);

}  // namespace qf
