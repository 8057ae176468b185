#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device/device_client.h"
#include "device/ui/device_commands.h"
#include "device/ui/presence_channel.h"
#include "shell/ui/device_services.h"

namespace qf {

class MainWindow;

// The device layer as the window sees it: the device's presence and the device commands.
// A thread of its own watches for the device: at start, and whenever the network link to the
// device's address or the mounted volumes change (looked at once a second), it probes the device
// and, on a change, tells the window and the other running editors.
class DeviceLink : public QObject, public DeviceServices {
  Q_OBJECT

 public:
  // The device is looked for at the address of the setting "Device Address".
  explicit DeviceLink(MainWindow& window);
  ~DeviceLink() override;

  bool devicePresent() const override;
  bool offersScreenshots() const override;
  void run(CommandId command) override;

  // Tells the other running editors whether the device may be used: a long device operation
  // announces it absent before and present after.
  void announce(bool present);
  // Where this editor hears the other editors' announcements.
  const PresenceChannel& channel() const { return channel_; }

 signals:
  // The device came or went, and what goes with that is done.
  void changed(bool present);

 private:
  // The watching thread: a detection whenever what it watches changes, or when asked.
  void watch(std::stop_token stop);
  void detect(DeviceClient& client, std::stop_token stop);
  // Another editor's announcement: its flag, and the screenshot interface probed again.
  void heard(bool present);
  // The device came or went: open menus close, and so do the dialogs and questions of a running
  // device command, as a cancel.
  void closeForChange();

  MainWindow& window_;
  const std::string address_;
  PresenceChannel channel_;
  DeviceCommands commands_;
  std::atomic<bool> present_{false};
  std::atomic<ScreenshotKind> screenshots_{ScreenshotKind::None};
  bool commandRunning_ = false;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool probeAsked_ = false;  // under mutex_: an announcement asks for the screenshot interface
  std::jthread watcher_;     // last: it goes first, before what it uses
};

}  // namespace qf
