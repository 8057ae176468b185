#include "device/ui/dump_flow.h"

#include <QAction>

#include <atomic>
#include <thread>

#include "core/string_table.h"
#include "device/dump_settings.h"
#include "device/screenshot_dump.h"
#include "device/ui/dump_dialog.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/dialog_fading.h"
#include "shell/ui/gui_user_port.h"
#include "shell/ui/main_window.h"

namespace qf {
namespace {

ScreenshotKind OfferedKind(DeviceClient& client) {
  for (const ScreenshotKind kind : {ScreenshotKind::Dumps, ScreenshotKind::ScreenDump}) {
    if (client.probeScreenshots(kind)) return kind;
  }
  return ScreenshotKind::None;
}

void ShowResult(MainWindow& window, int id, std::u16string_view argument) {
  window.port().showMessage(static_cast<MessageId>(id), Severity::Warning, FormatMessage(id, argument));
}

// On a thread of its own, as the device takes a while; the window keeps painting meanwhile.
DeviceResult DeleteAll(MainWindow& window, const std::string& address, const PresenceAnnouncer& announce) {
  if (announce) announce(false);
  std::atomic<bool> done = false;
  DeviceResult result = 0;
  std::thread worker([&] {
    DeviceClient client(address);
    result = client.deleteAllScreenshots();
    done = true;
  });
  window.port().busy(LoadString(kDeletingDeviceFiles));
  window.port().waitUntil([&] { return done.load(); });
  worker.join();
  window.port().finishProgress();
  if (announce) announce(true);
  return result;
}

DumpSettings ReadDumpSettings(const MainWindow& window) {
  ProfileFile profile;
  profile.load(window.settingsPath());
  return LoadDumpSettings(profile);
}

void Dump(MainWindow& window, DeviceClient& client, const DumpRequest& request) {
  DumpResult result;
  window.runFolderOperation(
      [&](const StatusLine& status) { result = DumpScreenshots(client, request, window.port(), status); });
  if (result.message != 0) {
    ShowResult(window, result.message, result.path);
  } else if (result.complete) {
    window.port().showMessage(kConvertedCount, Severity::Information, FormatMessage(kConvertedCount, result.written));
  }
}

}  // namespace

void RunDumpDevice(MainWindow& window, ScreenshotKind kind, const PresenceAnnouncer& announce) {
  const std::string address = window.settings().services.deviceAddress;
  DeviceClient client(address);
  if (kind == ScreenshotKind::None) kind = OfferedKind(client);
  if (kind == ScreenshotKind::None) {
    ShowResult(window, kCannotReadDeviceList, u"");
    return;
  }
  for (;;) {
    window.showStatus(UiText(kReadingDeviceList), true);
    DeviceListing listing;
    if (const DeviceResult failed = client.readScreenshotListing(kind, listing); failed != 0) {
      ShowResult(window, failed, u"");
      return;
    }
    std::vector<Screenshot> screenshots = ScreenshotsOf(listing);
    const ImageSize source = MeasureScreenshots(client, kind, screenshots);
    Fading<DumpDialog> dialog(window.settings().on(Switch::FadeWindow), kind, std::move(screenshots), source,
                              ReadDumpSettings(window), &window);
    dialog.setWindowIcon(window.action(CommandId::DumpDevice)->icon());
    switch (dialog.exec()) {
      case DumpDialog::Refresh:
        continue;
      case DumpDialog::DeleteAll:
        if (const DeviceResult failed = DeleteAll(window, address, announce); failed != 0) {
          ShowResult(window, failed, u"");
          return;
        }
        continue;
      case QDialog::Accepted:
        window.updateSettingsFile([&](ProfileFile& profile) { SaveDumpSettings(dialog.settings(), profile); });
        Dump(window, client, dialog.request());
        return;
      default:
        return;
    }
  }
}

}  // namespace qf
