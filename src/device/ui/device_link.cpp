#include "device/ui/device_link.h"

#include "device/ui/quick_gps_fix_dialog.h"
#include "device/ui/dump_flow.h"
#include "shell/ui/main_window.h"

namespace qf {

DeviceLink::DeviceLink(MainWindow& window) : window_(window) {}

bool DeviceLink::devicePresent() const { return false; }

bool DeviceLink::offersScreenshots() const { return false; }

void DeviceLink::run(CommandId command) {
  switch (command) {
    case CommandId::QuickGpsFix:
      return RunQuickGpsFix(window_);
    case CommandId::DumpDevice:
      RunDumpDevice(window_, ScreenshotKind::None);
      break;
    default:
      break;
  }
}

}  // namespace qf
