#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/http_client.h"
#include "core/message_id.h"

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
  std::u16string name;   // without its extension, trimmed of spaces
  std::size_t after = 0;  // position in the listing's text just after the entry's "</a>"
};

// A listing page of the device, parsed: its text, and one list of entries per file kind, each in
// the reverse of the page order (a screenshot listing uses only the first list).
struct DeviceListing {
  std::u16string text;
  std::array<std::vector<DeviceListingEntry>, kDeviceFileKinds> lists;
  // Whether the list of `kind` holds `name`, compared without regard to case.
  bool holds(DeviceFileKind kind, std::u16string_view name) const;
};

// The date and size cells of a listing entry: the first two "<td>" cells after `after` whose content
// does not begin with '<', decoded and trimmed; a date of 64 characters or more, or a size of more
// than 31, is left empty.
struct DeviceEntryCells {
  std::u16string date;
  std::u16string size;
};
DeviceEntryCells CellsAfter(const DeviceListing& listing, std::size_t after);

// Result of a device operation: 0 or the message to show.
using DeviceResult = int;

// The navigation device's web server, reached over USB at `address` (a host, or host:port).
// One client per thread: it holds one connection of the web library.
class DeviceClient {
 public:
  explicit DeviceClient(std::string address);

  // Whether a GET of the POI listing opens, whatever its status.
  bool probe();
  // Whether the device offers the screenshot interface `kind` (at least five bytes, not "Error").
  bool probeScreenshots(ScreenshotKind kind);

  // 0, kCannotConnectDevice or kCannotReadDeviceList; `listing` is set on 0.
  DeviceResult readPoiListing(DeviceListing& listing);
  DeviceResult readScreenshotListing(ScreenshotKind kind, DeviceListing& listing);

  // Downloads `name`.`extension` of the POI folder, or a screenshot of `kind`, to `local`: 0,
  // kCannotConnectDevice, kCannotReadDeviceFiles or kDeviceFileSystemError; a failure leaves no file.
  DeviceResult downloadPoiFile(std::u16string_view name, DeviceFileKind kind, const std::filesystem::path& local);
  DeviceResult downloadScreenshot(std::u16string_view name, ScreenshotKind kind, const std::filesystem::path& local);

  // Deletes every file of `name` the listing holds, kind by kind: 0, kCannotConnectDevice or
  // kCannotDeleteDeviceFiles.
  DeviceResult deletePoiFiles(std::u16string_view name, const DeviceListing& listing);
  // Deletes every screenshot of the "/dumps" interface: 0 or kCannotConnectDevice.
  DeviceResult deleteAllScreenshots();
  // Sends the files beside `local` (its extension replaced by each kind's of `mask`) under the
  // device name `name`, in one request: 0, kCannotConnectDevice, kCannotSaveDeviceFiles,
  // kDeviceFileSystemError, kDeviceNoMemory or kDeviceUnknownError.
  DeviceResult uploadPoiFiles(std::u16string_view name, const std::filesystem::path& local, DeviceFileMask mask);

 private:
  std::string address_;
  HttpClient http_;
};

}  // namespace qf
