#include "formats/folder_display.h"

#include <optional>
#include <string>
#include <string_view>

#include "core/string_table.h"
#include "core/unicode.h"

namespace qf {

namespace {

namespace fs = std::filesystem;

// What follows `folder` in `path`, starting with its separator; nothing when the path lies
// outside the folder.
std::optional<std::string> RestAfter(const std::string& path, const fs::path& folder) {
  std::string prefix = folder.lexically_normal().string();
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  if (prefix.empty() || prefix == "/") return std::nullopt;
  if (path == prefix) return std::string();
  if (path.starts_with(prefix) && path[prefix.size()] == '/') return path.substr(prefix.size());
  return std::nullopt;
}

}  // namespace

std::u16string FolderDisplayForm(const fs::path& path, const UserFolders& folders) {
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  const fs::path home = folders.home.lexically_normal();
  for (const auto& [folder, name] : {std::pair{folders.desktop, kDesktopName}, {folders.documents, kMyDocumentsName}}) {
    if (folder.empty() || RestAfter(home.string(), folder)) continue;  // the home folder or above it
    if (const std::optional<std::string> rest = RestAfter(text, folder)) return LoadString(name) + Utf8ToUtf16(*rest);
  }
  if (const std::optional<std::string> rest = RestAfter(text, home)) return u"~" + Utf8ToUtf16(*rest);
  return Utf8ToUtf16(text);
}

}  // namespace qf
