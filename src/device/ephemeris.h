#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/mounted_volumes.h"

namespace qf {

// The GPS chips of the navigation devices; each keeps its ephemeris in a file of its own, whose
// name is also how the chip is told.
enum class EphemerisChip { GlobalLocate = 0, SirfStar = 1 };

// "lto.dat" or "packedephemeris.ee".
std::string ChipDataFile(EphemerisChip chip);
// The folder of the ephemeris on a device's drive.
std::filesystem::path EphemerisFolder(const std::filesystem::path& root);

// The chip whose data file the drive's ephemeris folder holds, Global Locate's first; a folder of
// that name does not count.
std::optional<EphemerisChip> ChipOn(const std::filesystem::path& root);
struct FoundChip {
  EphemerisChip chip;
  std::filesystem::path root;
};
// The first removable volume, from the last to the first, whose chip is known.
std::optional<FoundChip> RecogniseChip(const std::vector<MountedVolume>& volumes);

// The chip's cabinet on the ephemeris service at `host` ("http://host", or a bare host name);
// empty when no host is known.
std::string EphemerisUrl(std::string_view host, EphemerisChip chip);

// Downloads the cabinet at `url` to `cabinet`, which appears only once it is complete: 0,
// kCannotConnectHome, kCannotSaveEphemeris (no file can be made), kCannotWrite (a write failed),
// or kCannotDownloadEphemeris (no bytes, a refusal, a broken or stopped transfer). `received`
// hears the count of bytes so far; `stopRequested` is asked as the bytes come and while the
// service is silent.
int DownloadEphemeris(const std::string& url, const std::filesystem::path& cabinet,
                      const std::function<void(std::uint64_t)>& received, std::function<bool()> stopRequested);

// "Downloading the ephemeris file... 1234 bytes".
std::u16string DownloadingText(std::uint64_t bytes);

// Expands the cabinet into `folder` (made when missing): 0, kCannotSaveEphemeris when the folder
// cannot be made, kCannotUpdateEphemeris when the cabinet is damaged or lacks the chip's data file
// or the metadata file. The old data file stays until the new one is complete.
int ExpandEphemeris(const std::filesystem::path& cabinet, const std::filesystem::path& folder, EphemerisChip chip);

// Dates the chip's data file and the metadata file in `folder` now: 0, or kCannotUpdateEphemeris
// when either is not there or cannot be changed.
int StampEphemeris(const std::filesystem::path& folder, EphemerisChip chip);

}  // namespace qf
