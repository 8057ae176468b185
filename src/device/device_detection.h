#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "device/device_client.h"

namespace qf {

// What detection found: whether the device answers, and which screenshot interface it offers.
struct DeviceState {
  bool present = false;
  ScreenshotKind screenshots = ScreenshotKind::None;
};

// The clock and the pause between probes; tests give their own, so that no test waits 16 seconds.
struct DetectionTiming {
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
  // Pauses before the next probe; false ends the detection as absent (the program is closing).
  std::function<bool(std::chrono::milliseconds)> wait = [](std::chrono::milliseconds pause) {
    std::this_thread::sleep_for(pause);
    return true;
  };
};

// Probes the device: a device absent before is asked once a second until it answers or 16 seconds
// have passed, since it takes a while to come up after being plugged in; one present before is asked
// once. A present device is then asked for its screenshot interface. Blocks: run it on a thread of
// its own.
DeviceState DetectDevice(DeviceClient& client, bool presentBefore, const DetectionTiming& timing = {});

// The screenshot interface a present device offers: the first if it answers, else the second, else none.
ScreenshotKind ProbeScreenshotKind(DeviceClient& client);

}  // namespace qf
