#pragma once

#include <QImage>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/private_folder.h"
#include "device/device_client.h"

namespace qf {

class MainWindow;

// Open GPS Device and Save GPS Device: a whole POI file between the document and the device.
class DeviceCommands {
 public:
  using Announce = std::function<void(bool present)>;
  // `announce` tells the other editors whether the device may be used.
  DeviceCommands(MainWindow& window, std::string address, Announce announce);

  void openFromDevice();
  void saveToDevice();

 private:
  // The list of the device's files, read with the wait cursor.
  DeviceResult readListing(DeviceClient& client, DeviceListing& listing);
  // Opens the device file `name` as the document; then its bmp, if the device has one, is the
  // document's picture.
  DeviceResult openFile(DeviceClient& client, const DeviceListing& listing, const std::u16string& name);
  // The device's bmp of a name, loaded once the header is mended if it must be; null without one.
  QImage deviceBitmap(DeviceClient& client, std::u16string_view name);
  // Runs a long device operation on a thread of its own with a connection of its own, while the
  // window goes on painting; the other editors leave the device alone meanwhile.
  DeviceResult runLong(int statusId, const std::function<DeviceResult(DeviceClient&)>& work);
  // Where a file of the device passes through: the private folder, under a name of our own (never
  // the device's, which could point anywhere); empty when the folder cannot be made.
  std::filesystem::path transferFile(std::string_view extension);
  // The ov2 file to send for the document: the document's own, saved first (as an ov2 file beside
  // it when it is in another format), or a copy in the private folder for a document without a
  // path. 0, kCancelled when a save failed (and said so) or kDeviceFileSystemError.
  DeviceResult documentToSend(bool fromDisk, std::filesystem::path& file);
  void report(DeviceResult result);

  MainWindow& window_;
  std::string address_;
  Announce announce_;
  PrivateFolder folder_;
};

}  // namespace qf
