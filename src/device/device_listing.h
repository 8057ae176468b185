#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qf {

// The files that may share a POI file's name on the device, in the order of upload masks (bit 0 is
// ov2) and of a listing's lists.
enum class DeviceFileKind { Ov2, Bmp, Ogg, Rpf, Vif };
inline constexpr std::size_t kDeviceFileKinds = 5;
inline constexpr std::array<std::string_view, kDeviceFileKinds> kDeviceExtensions{"ov2", "bmp", "ogg", "rpf", "vif"};
using DeviceFileMask = unsigned;  // bit k: the file of kind k
inline constexpr DeviceFileMask MaskOf(DeviceFileKind kind) { return 1u << static_cast<unsigned>(kind); }

// Which screenshot interface the device offers: none, BMP files under "/dumps", PNG files under
// "/personal/screendump".
enum class ScreenshotKind { None = 0, Dumps = 1, ScreenDump = 2 };

struct DeviceListingEntry {
  std::u16string name;    // without its extension, trimmed of spaces
  std::size_t after = 0;  // position in the listing's text just after the entry's "</a>"
};

// A listing page of the device, parsed: its text, and one list of entries per file kind, each in
// the reverse of the page order (a screenshot listing uses only the first list).
struct DeviceListing {
  std::u16string text;
  std::array<std::vector<DeviceListingEntry>, kDeviceFileKinds> lists;
  // Each list's names case-folded and sorted, so that `holds` stays quick on a device with
  // thousands of files; filled by ParseDeviceListing.
  std::array<std::vector<std::u16string>, kDeviceFileKinds> foldedNames;
  // Whether the list of `kind` holds `name`, compared without regard to case.
  bool holds(DeviceFileKind kind, std::u16string_view name) const;
};

// Which page a listing is: the POI folder's, or one of the screenshot interfaces'.
enum class ListingPage { Pois, Dumps, ScreenDump };

// The folder path of a listing page, without a trailing slash: "/personal/pois", "/dumps" or
// "/personal/screendump".
std::string_view ListingPath(ListingPage page);

// Parses a listing page read as UTF-8: every link into the page's folder whose text names a file of
// the page's kinds becomes an entry.
DeviceListing ParseDeviceListing(std::string_view utf8, ListingPage page);

// The date and size cells of a listing entry: the first two "<td>" cells after `after` whose content
// does not begin with '<', decoded and trimmed; a date of 64 characters or more, or a size of more
// than 31, is left empty.
struct DeviceEntryCells {
  std::u16string date;
  std::u16string size;
};
DeviceEntryCells CellsAfter(const DeviceListing& listing, std::size_t after);

}  // namespace qf
