#include "device/ui/device_commands.h"

#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QStatusBar>

#include <atomic>
#include <thread>

#include "core/profile_file.h"
#include "core/string_table.h"
#include "core/unicode.h"
#include "device/bitmap_repair.h"
#include "device/device_save_rules.h"
#include "device/ui/open_device_dialog.h"
#include "device/ui/save_device_dialog.h"
#include "editing/poi_table.h"
#include "editing/ui/qt_text.h"
#include "formats/file_pipeline.h"
#include "formats/file_session.h"
#include "shell/ui/dialog_fading.h"
#include "shell/ui/gui_user_port.h"
#include "shell/ui/main_window.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

QString NativePath(const fs::path& path) { return ToQString(path.u16string()); }

void Remove(const fs::path& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

bool IsFavorites(std::u16string_view name) { return FoldCase(name) == FoldCase(LoadString(kFavoritesTitle)); }

}  // namespace

DeviceCommands::DeviceCommands(MainWindow& window, std::string address, Announce announce)
    : window_(window), address_(std::move(address)), announce_(std::move(announce)) {}

// ------------------------------------------------------------------------------------ open

void DeviceCommands::openFromDevice() {
  if (window_.table().document().modified && !window_.confirmDiscard()) return;
  DeviceClient client(address_);
  DeviceResult result = 0;
  for (;;) {
    DeviceListing listing;
    result = readListing(client, listing);
    if (result != 0) break;
    AppSettings& settings = window_.settings();
    Fading<OpenDeviceDialog> dialog(
        settings.on(Switch::FadeWindow), listing,
        [this, &client](const std::u16string& name) { return deviceBitmap(client, name); }, settings.openDevice,
        &window_);
    dialog.setWindowIcon(window_.action(CommandId::OpenDevice)->icon());
    const int outcome = dialog.exec();
    settings.openDevice = dialog.chosenSize();
    window_.updateSettingsFile([&settings](ProfileFile& profile) { SaveOpenDeviceSize(settings, profile); });
    const std::u16string name = dialog.chosenName();
    if (outcome == QDialog::Accepted) {
      result = openFile(client, listing, name);
      break;
    }
    if (outcome == OpenDeviceDialog::Delete) {
      announce_(false);
      result = runLong(kDeletingDeviceFiles, [&](DeviceClient& worker) { return worker.deletePoiFiles(name, listing); });
      announce_(true);
      if (result != 0) break;
      continue;
    }
    if (outcome != OpenDeviceDialog::Refresh) break;
  }
  report(result);
}

DeviceResult DeviceCommands::readListing(DeviceClient& client, DeviceListing& listing) {
  window_.showStatus(UiText(kReadingDeviceList), true);
  window_.statusBar()->repaint();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const DeviceResult result = client.readPoiListing(listing);
  QApplication::restoreOverrideCursor();
  return result;
}

DeviceResult DeviceCommands::openFile(DeviceClient& client, const DeviceListing& listing, const std::u16string& name) {
  window_.showStatus(UiText(kReadingDeviceFiles), true);
  window_.statusBar()->repaint();
  const fs::path file = transferFile("ov2");
  if (file.empty()) return kDeviceFileSystemError;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const DeviceResult result = client.downloadPoiFile(name, DeviceFileKind::Ov2, file);
  QApplication::restoreOverrideCursor();
  if (result != 0) return result;
  const bool opened = window_.openStandIn(file, name);
  Remove(file);
  if (opened && window_.table().document().kind == DocumentKind::Poi && !IsFavorites(name) &&
      listing.holds(DeviceFileKind::Bmp, name)) {
    const QImage picture = deviceBitmap(client, name);
    if (!picture.isNull()) window_.showDocumentPicture(QPixmap::fromImage(picture));
  }
  return 0;
}

QImage DeviceCommands::deviceBitmap(DeviceClient& client, std::u16string_view name) {
  const fs::path file = transferFile("bmp");
  if (file.empty() || client.downloadPoiFile(name, DeviceFileKind::Bmp, file) != 0) return {};
  QImage image;
  if (!image.load(NativePath(file), "BMP") && RepairBitmap(file)) image.load(NativePath(file), "BMP");
  Remove(file);
  return image;
}

// ------------------------------------------------------------------------------------ save

void DeviceCommands::saveToDevice() {
  PoiTable& table = window_.table();
  PoiDocument& document = table.document();
  GuiUserPort& port = window_.port();
  // A device takes no POI without a position: those rows are shown selected.
  table.clearSelection();
  const std::vector<int> unplaced = RowsWithoutPosition(document);
  for (const int row : unplaced) document.rows[static_cast<std::size_t>(row)].selected = true;
  table.notifyReset();
  if (!unplaced.empty()) table.makeVisible(unplaced.front());
  window_.afterEdit();
  if (!unplaced.empty()) {
    report(kDeviceEmptyCoordinate);
    return;
  }

  if (document.path.empty() && document.modified && document.title == LoadString(kUntitled)) {
    window_.run(CommandId::SaveAs);
    if (document.modified) return;
  }
  const bool fromDisk = !document.path.empty();
  if (OverFavoritesLimit(document) &&
      !port.confirm(kFavoritesLimit, FormatMessage(kFavoritesLimit, kDeviceFavoritesLimit))) {
    return;
  }
  DeviceFileMask mask = MaskOf(DeviceFileKind::Ov2);
  if (fromDisk) {
    Fading<SaveDeviceDialog> dialog(window_.settings().on(Switch::FadeWindow), document.path, &window_);
    dialog.setWindowIcon(window_.action(CommandId::SaveDevice)->icon());
    if (dialog.exec() != QDialog::Accepted) return;
    mask = dialog.mask();
  }

  DeviceClient client(address_);
  DeviceListing listing;
  DeviceResult result = readListing(client, listing);
  if (result != 0) {
    report(result);
    return;
  }
  const std::u16string name = document.title;
  const std::u16string replaced = FilesOnDevice(listing, name, mask);
  if (!replaced.empty() && !port.confirm(kOverwriteDeviceFiles, FormatMessage(kOverwriteDeviceFiles, replaced))) {
    return;
  }

  announce_(false);
  fs::path file;
  result = documentToSend(fromDisk, file);
  if (result == 0) {
    result = runLong(kSavingDeviceFiles,
                     [&name, &file, mask](DeviceClient& worker) { return worker.uploadPoiFiles(name, file, mask); });
  }
  if (!fromDisk) Remove(file);
  announce_(true);
  report(result);
}

DeviceResult DeviceCommands::documentToSend(bool fromDisk, fs::path& file) {
  PoiDocument& document = window_.table().document();
  if (!fromDisk) {
    // The document lives only on the device: a copy of it goes, and it counts as saved.
    file = transferFile("ov2");
    if (file.empty()) return kDeviceFileSystemError;
    FileSession session(document, FileOperation::Save, FileFormat::Ov2, window_.settings(), window_.port());
    const int written = WriteWholeFile(session, file);
    window_.port().finishProgress();
    if (written != 0) return kDeviceFileSystemError;
    document.modified = false;
    return 0;
  }
  if (document.modified && document.format != FileFormat::Gpi) {
    window_.run(CommandId::Save);
    // The save said why it failed.
    if (document.modified) return kCancelled;
  }
  if (document.format != FileFormat::Ov2) {
    // The device takes ov2 files: the document becomes the ov2 file beside the one it was read from,
    // unless that save fails, when it stays the file it was.
    const fs::path readFrom = document.path;
    const FileFormat readAs = document.format;
    const bool wasModified = document.modified;
    document.path.replace_extension(".ov2");
    document.format = FileFormat::Ov2;
    document.modified = true;
    window_.run(CommandId::Save);
    if (document.modified) {
      document.path = readFrom;
      document.format = readAs;
      document.modified = wasModified;
      return kCancelled;
    }
  }
  file = document.path;
  return 0;
}

// ------------------------------------------------------------------------------------ shared

DeviceResult DeviceCommands::runLong(int statusId, const std::function<DeviceResult(DeviceClient&)>& work) {
  GuiUserPort& port = window_.port();
  port.busy(LoadString(statusId));
  std::atomic<bool> done{false};
  DeviceResult result = 0;
  {
    std::jthread worker([this, &work, &result, &done] {
      DeviceClient client(address_);
      result = work(client);
      done = true;
    });
    port.waitUntil([&done] { return done.load(); });
  }
  port.finishProgress();
  window_.showStatus(UiText(kReady), false);
  return result;
}

fs::path DeviceCommands::transferFile(std::string_view extension) {
  std::error_code error;
  const fs::path folder = folder_.get(error);
  if (folder.empty()) return {};
  return folder / ("device." + std::string(extension));
}

void DeviceCommands::report(DeviceResult result) {
  if (result > 0) window_.port().showMessage(static_cast<MessageId>(result), Severity::Information, LoadString(result));
}

}  // namespace qf
