#include "device/mounted_volumes.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

namespace qf {

namespace fs = std::filesystem;

namespace {

// The mount table writes space, tab, newline and backslash in a path as octal escapes ("\040").
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto octal = [&](std::size_t k) { return text[k] >= '0' && text[k] <= '7'; };
    if (text[i] == '\\' && i + 3 < text.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The disk of a block device (a partition's parent) says whether it is removable; a disk on USB is
// taken as removable too, since many sticks and devices on USB report a fixed disk.
bool IsRemovable(const fs::path& sysfs, const std::string& device) {
  std::error_code error;
  fs::path node = fs::canonical(sysfs / "dev" / "block" / device, error);
  if (error) return false;
  if (fs::exists(node / "partition", error)) node = node.parent_path();
  return FirstLine(node / "removable") == "1" || node.string().find("/usb") != std::string::npos;
}

}  // namespace

std::vector<MountedVolume> MountedVolumes(const VolumeSources& sources) {
  std::vector<MountedVolume> volumes;
  std::ifstream table(sources.mountTable);
  std::string line;
  // "36 35 8:17 / /media/stick rw,nosuid shared:1 - vfat /dev/sdb1 rw": the device's numbers, the
  // mount point, and after the lone "-" the file system type and the source.
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, within, mountPoint, field;
    if (!(fields >> id >> parent >> device >> within >> mountPoint)) continue;
    while (fields >> field && field != "-") {
    }
    std::string type, source;
    if (!(fields >> type >> source) || !source.starts_with("/dev/") || source.starts_with("/dev/loop")) continue;
    const fs::path root = Unescape(mountPoint);
    // A later mount on the same point hides the earlier one.
    std::erase_if(volumes, [&root](const MountedVolume& volume) { return volume.root == root; });
    volumes.push_back({root, IsRemovable(sources.sysfs, device)});
  }
  return volumes;
}

}  // namespace qf
