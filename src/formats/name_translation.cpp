#include "formats/name_translation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "core/unicode.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "formats/folder_listing.h"
#include "core/string_table.h"

namespace qf {

namespace {

namespace fs = std::filesystem;


bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  UErrorCode error = U_ZERO_ERROR;
  return u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size()),
                          U_FOLD_CASE_DEFAULT, &error) == 0 &&
         U_SUCCESS(error);
}

bool EndsWithIgnoringCase(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() && EqualIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool IsDeviceFile(std::u16string_view name) {
  static constexpr std::array<std::u16string_view, 5> kExtensions = {u".ov2", u".bmp", u".ogg", u".rpf", u".vif"};
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return false;
  for (std::u16string_view extension : kExtensions) {
    if (EqualIgnoringCase(name.substr(dot), extension)) return true;
  }
  return false;
}

bool IsImagesFolder(std::u16string_view name) { return name.size() > 7 && EndsWithIgnoringCase(name, u"_Images"); }

// Symbolic links are never taken: renaming one would act on a name that may point out of the folder.
bool IsTaken(const FolderEntry& entry, std::u16string_view name) {
  if (name.empty() || name.front() == u'.') return false;
  if (entry.type == fs::file_type::regular) return IsDeviceFile(name);
  if (entry.type == fs::file_type::directory) return IsImagesFolder(name);
  return false;
}

enum class Renamed { Yes, TargetExists, Failed };

// Never replaces an existing entry: the kernel refuses atomically where the file system allows it,
// otherwise the target is checked just before the rename.
Renamed RenameWithoutReplacing(const fs::path& from, const fs::path& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Renamed::Yes;
  if (errno == EEXIST) return Renamed::TargetExists;
  if (errno != EINVAL && errno != ENOSYS) return Renamed::Failed;
  struct stat target;
  if (lstat(to.c_str(), &target) == 0 || errno != ENOENT) return Renamed::TargetExists;
  return std::rename(from.c_str(), to.c_str()) == 0 ? Renamed::Yes : Renamed::Failed;
}

// A read-only entry is made writable for the move and gets its permissions back afterwards.
Renamed MoveEntry(const fs::path& from, const fs::path& to) {
  constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  std::error_code error;
  const fs::perms original = fs::symlink_status(from, error).permissions();
  if (error) return Renamed::Failed;
  const bool readOnly = (original & kWrite) == fs::perms::none;
  if (readOnly) {
    fs::permissions(from, original | fs::perms::owner_write, fs::perm_options::replace, error);
    if (error) return Renamed::Failed;
  }
  const Renamed renamed = RenameWithoutReplacing(from, to);
  if (readOnly) fs::permissions(renamed == Renamed::Yes ? to : from, original, fs::perm_options::replace, error);
  return renamed;
}


std::u16string Translate(std::u16string_view name, NameDirection direction) {
  return direction == NameDirection::ToTomTom ? ToTomTomCharCode(name) : FromTomTomCharCode(name);
}

}  // namespace

TranslateNamesResult TranslateNames(const fs::path& folder, NameDirection direction, UserPort& port,
                                    const StatusLine& status) {
  auto show = [&](std::u16string_view text) {
    if (status) status(text);
  };
  show(LoadString(kTranslating));
  TranslateNamesResult result;
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) {
    result.messageId = kDiskStructureWrong;
    return result;
  }
  for (const FolderEntry& entry : entries) {
    if (port.cancelRequested()) break;
    const std::u16string name = Utf8ToUtf16(entry.name);
    // A name that is not UTF-8 would lose its bytes in the round trip.
    if (Utf16ToUtf8(name) != entry.name || !IsTaken(entry, name)) continue;
    const std::u16string newName = Translate(name, direction);
    if (EqualIgnoringCase(newName, name)) continue;
    show(FormatMessage(kTranslatingName, result.count, name));
    // The translation never yields a separator; checked again because the name becomes a path.
    if (newName.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string::npos) {
      result.messageId = kCannotRename;
      result.name = name;
      return result;
    }
    switch (MoveEntry(folder / entry.name, folder / Utf16ToUtf8(newName))) {
      case Renamed::Yes:
        ++result.count;
        break;
      case Renamed::TargetExists:
        result.messageId = kNameExists;
        result.name = newName;
        return result;
      case Renamed::Failed:
        result.messageId = kCannotRename;
        result.name = name;
        return result;
    }
  }
  return result;
}

std::u16string QueryWindowsName(std::u16string_view tomtomName) { return ToTomTomCharCode(tomtomName); }

std::u16string QueryTomTomName(std::u16string_view windowsName) { return FromTomTomCharCode(windowsName); }

}  // namespace qf
