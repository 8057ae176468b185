#pragma once

#include <filesystem>
#include <vector>

namespace qf {

// A file system mounted from a block device, and whether that device can be taken away (a card,
// a stick, a navigation device on USB).
struct MountedVolume {
  std::filesystem::path root;
  bool removable = false;
};

// Where the system tells about its mounts and block devices; tests give folders of their own.
struct VolumeSources {
  std::filesystem::path mountTable = "/proc/self/mountinfo";
  std::filesystem::path sysfs = "/sys";
};

// The volumes in the order they were mounted, so a device plugged in last comes last. Pseudo file
// systems (proc, tmpfs, …) and loop devices are left out: they hold no user's files.
std::vector<MountedVolume> MountedVolumes(const VolumeSources& sources = {});

}  // namespace qf
