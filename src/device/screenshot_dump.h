#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/user_port.h"
#include "device/device_client.h"
#include "device/dump_settings.h"
#include "device/dump_size.h"

namespace qf {

// A screenshot on the device: its name without extension and the date its listing shows.
struct Screenshot {
  std::u16string name;
  std::u16string date;
};

// The screenshots of a listing, in the listing's order, with their dates.
std::vector<Screenshot> ScreenshotsOf(const DeviceListing& listing);

// The size of the device's screenshots, measured on the first one (downloaded and removed again);
// the usual screen size when there is none or it cannot be read.
ImageSize MeasureScreenshots(DeviceClient& client, ScreenshotKind kind, const std::vector<Screenshot>& screenshots);

struct DumpRequest {
  std::filesystem::path destination;
  ScreenshotKind kind = ScreenshotKind::ScreenDump;
  bool appendTimestamp = false;  // honoured by the PNG interface only, whose dates carry the time
  std::optional<ImageSize> target;  // scaled to this size when set
  int quarterTurns = 0;             // clockwise
  ImageFormat format = ImageFormat::Jpeg;
  std::vector<Screenshot> screenshots;
};

struct DumpResult {
  int written = 0;
  bool complete = false;  // every screenshot was handled: no Esc, no Cancel, no failure
  int message = 0;  // what ended the dump: a device message, or kCannotSave with `path`
  std::u16string path;
};

// Copies the screenshots into the destination folder, in order, each into a file of its own that
// is replaced whole or not at all. Screenshots whose format and size stay are copied byte for byte;
// the others are decoded, scaled, turned and encoded on a second thread while the next one
// downloads. An existing file is replaced only as the "Same File Names" question allows; Esc stops
// before the next screenshot and keeps what was written. `status` gets a line for each file.
DumpResult DumpScreenshots(DeviceClient& client, const DumpRequest& request, UserPort& port,
                           const StatusLine& status = {});

}  // namespace qf
