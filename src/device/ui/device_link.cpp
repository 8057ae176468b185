#include "device/ui/device_link.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

#include <fstream>
#include <functional>
#include <iterator>

#include "device/device_detection.h"
#include "device/device_presence.h"
#include "device/ui/dump_flow.h"
#include "device/ui/quick_gps_fix_dialog.h"
#include "shell/ui/main_window.h"

namespace qf {

namespace {

// How often the thread looks whether what it watches changed.
constexpr std::chrono::seconds kLookInterval{1};
// More than a chain of a dialog and its questions ever holds.
constexpr int kMostDialogs = 16;

// What a detection follows: whether a network interface on the device's subnet is up (a device
// plugged in brings one up), and the mounted volumes (it brings its own too).
std::size_t Surroundings(const std::string& address) {
  std::ifstream mounts("/proc/self/mountinfo");
  std::string text{std::istreambuf_iterator<char>(mounts), {}};
  text += InterfaceUpFor(address) ? '1' : '0';
  return std::hash<std::string>{}(text);
}

}  // namespace

DeviceLink::DeviceLink(MainWindow& window)
    : window_(window),
      address_(window.settings().services.deviceAddress),
      commands_(window, address_, [this](bool present) { announce(present); }),
      watcher_([this](std::stop_token stop) { watch(stop); }) {
  connect(&channel_, &PresenceChannel::announced, this, &DeviceLink::heard);
}

DeviceLink::~DeviceLink() {
  watcher_.request_stop();
  wake_.notify_all();
}

bool DeviceLink::devicePresent() const { return present_; }

bool DeviceLink::offersScreenshots() const { return screenshots_ != ScreenshotKind::None; }

void DeviceLink::run(CommandId command) {
  if (command == CommandId::QuickGpsFix) {
    // It works on a mounted drive, not over the link: the link coming or going does not end it.
    RunQuickGpsFix(window_);
    return;
  }
  // While it runs, the device going away closes its dialogs.
  const bool wasRunning = std::exchange(commandRunning_, true);
  switch (command) {
    case CommandId::OpenDevice:
      commands_.openFromDevice();
      break;
    case CommandId::SaveDevice:
      commands_.saveToDevice();
      break;
    case CommandId::DumpDevice:
      RunDumpDevice(window_, screenshots_, [this](bool present) { announce(present); });
      break;
    default:
      break;
  }
  commandRunning_ = wasRunning;
}

void DeviceLink::announce(bool present) { channel_.announce(present); }

void DeviceLink::watch(std::stop_token stop) {
  // One connection for the thread's life.
  DeviceClient client(address_);
  std::optional<std::size_t> seen;
  while (!stop.stop_requested()) {
    const std::size_t now = Surroundings(address_);
    if (now != seen) {
      seen = now;
      detect(client, stop);
    }
    bool probe = false;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, stop, kLookInterval, [this] { return probeAsked_; });
      probe = std::exchange(probeAsked_, false);
    }
    if (probe && present_ && InterfaceUpFor(address_)) screenshots_ = ProbeScreenshotKind(client);
  }
}

void DeviceLink::detect(DeviceClient& client, std::stop_token stop) {
  const bool before = present_;
  DeviceState state;
  // Without a link to the device nothing is sent.
  if (InterfaceUpFor(address_)) {
    DetectionTiming timing;
    timing.wait = [this, &stop](std::chrono::milliseconds pause) {
      std::unique_lock lock(mutex_);
      return !wake_.wait_for(lock, stop, pause, [] { return false; }) && !stop.stop_requested();
    };
    state = DetectDevice(client, before, timing);
  }
  if (stop.stop_requested()) return;
  present_ = state.present;
  screenshots_ = state.screenshots;
  if (state.present == before) return;
  QMetaObject::invokeMethod(this, [this, present = state.present] {
    closeForChange();
    announce(present);
    emit changed(present);
  }, Qt::QueuedConnection);
}

void DeviceLink::heard(bool present) {
  present_ = present;
  if (!present) {
    screenshots_ = ScreenshotKind::None;
  } else {
    std::lock_guard lock(mutex_);
    probeAsked_ = true;
  }
  wake_.notify_all();
  closeForChange();
  emit changed(present);
}

void DeviceLink::closeForChange() {
  while (QWidget* popup = QApplication::activePopupWidget()) {
    if (!popup->close()) break;
  }
  if (!commandRunning_) return;
  // From the last one up to the window, each dialog and question ends as a cancel.
  for (int closed = 0; closed < kMostDialogs; ++closed) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == &window_) break;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      box->done(QMessageBox::Cancel);
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      break;
    }
  }
}

}  // namespace qf
