#pragma once

#include <filesystem>

#include "core/app_settings.h"
#include "core/poi_document.h"
#include "core/user_port.h"

namespace qf {

// Message ids of file operations.
enum FileMessage : int {
  kEliminatedDuplicates = 14214,
  kCannotRead = 14216,
  kCannotOpen = 14217,
  kNoMemory = 14218,
  kUnknownContent = 14219,
  kCannotSave = 14220,
  kCannotWrite = 14221,
  kWrongContent = 14224,
  kReadOnlyRetry = 14258,
  kIncompatibleStructures = 14330,
};
// The user declined a question; nothing more is shown.
inline constexpr int kCancelled = -1;

// Runs one file operation on `path` and updates the document as the operation
// requires. Returns 0, kCancelled or the id of the message that was shown.
int RunFileOperation(PoiDocument& document, FileOperation operation, FileFormat format,
                     const std::filesystem::path& path, const AppSettings& settings, UserPort& port);

// Whether a reader or writer for the format is built in.
bool CanRead(FileFormat format);
bool CanWrite(FileFormat format);

// The name of a file as the user should see it: device char codes shown as characters.
std::u16string DisplayName(const std::filesystem::path& path);

}  // namespace qf
