#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/http_client.h"
#include "core/message_id.h"
#include "device/device_listing.h"

namespace qf {

// Result of a device operation: 0 or the message to show.
using DeviceResult = int;

// The navigation device's web server, reached over USB at `address` (a host, or host:port).
// One client per thread: it holds connections of the web library.
class DeviceClient {
 public:
  explicit DeviceClient(std::string address);

  // Told the bytes of a download received so far, as they arrive.
  using Progress = std::function<void(std::uint64_t received)>;
  void setProgress(Progress progress) { progress_ = std::move(progress); }

  // Whether a GET of the POI listing opens, whatever its status.
  bool probe();
  // Whether the device offers the screenshot interface `kind`: its listing answers with at least five
  // bytes that do not begin with "Error", and not with an error status.
  bool probeScreenshots(ScreenshotKind kind);

  // 0, kCannotConnectDevice or kCannotReadDeviceList (an error status, an empty page, the device's
  // "Error" page, or a page too large to be a listing); `listing` is set on 0.
  DeviceResult readPoiListing(DeviceListing& listing);
  DeviceResult readScreenshotListing(ScreenshotKind kind, DeviceListing& listing);

  // Downloads `name`.`extension` of the POI folder, or a screenshot of `kind`, to `local`: 0,
  // kCannotConnectDevice, kCannotReadDeviceFiles (fewer than five bytes, the device's "Error" page,
  // an error status, a broken transfer or a failed write) or kDeviceFileSystemError; the file is
  // written beside `local` and renamed over it when complete, so a failure leaves no file and an
  // older file at `local` as it was.
  DeviceResult downloadPoiFile(std::u16string_view name, DeviceFileKind kind, const std::filesystem::path& local);
  DeviceResult downloadScreenshot(std::u16string_view name, ScreenshotKind kind, const std::filesystem::path& local);

  // Deletes every file of `name` the listing holds, kind by kind, and stops at the first that fails:
  // 0, or kCannotDeleteDeviceFiles when a request cannot be sent or the device refuses it.
  DeviceResult deletePoiFiles(std::u16string_view name, const DeviceListing& listing);
  // Deletes every screenshot of the "/dumps" interface, then gives the device a second to list the
  // result: 0, kCannotConnectDevice, or kCannotDeleteDeviceFiles when the device refuses.
  DeviceResult deleteAllScreenshots();
  // Sends the files beside `local` (its extension replaced by each kind's of `mask`) under the
  // device name `name`, in one request: 0, kCannotSaveDeviceFiles (not sent, or an error status),
  // kDeviceFileSystemError (a file not read whole), kDeviceNoMemory or kDeviceUnknownError.
  DeviceResult uploadPoiFiles(std::u16string_view name, const std::filesystem::path& local, DeviceFileMask mask);

 private:
  std::string url(std::string_view path) const;
  DeviceResult readListing(ListingPage page, std::string_view path, DeviceListing& listing);
  DeviceResult download(std::string_view path, const std::filesystem::path& local);

  std::string address_;
  HttpClient http_;       // listings, probes and deletes: small answers, quick timeouts
  HttpClient transfer_;   // downloads and uploads, which may take minutes for a large file
  Progress progress_;
};

}  // namespace qf
