#include "device/device_detection.h"

namespace qf {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kPause = 1s;
constexpr std::chrono::milliseconds kPatience = 16s;

}  // namespace

DeviceState DetectDevice(DeviceClient& client, bool presentBefore, const DetectionTiming& timing) {
  const auto start = timing.now();
  bool present = client.probe();
  while (!present && !presentBefore && timing.now() - start < kPatience && timing.wait(kPause)) {
    present = client.probe();
  }
  return {present, present ? ProbeScreenshotKind(client) : ScreenshotKind::None};
}

ScreenshotKind ProbeScreenshotKind(DeviceClient& client) {
  for (const ScreenshotKind kind : {ScreenshotKind::Dumps, ScreenshotKind::ScreenDump}) {
    if (client.probeScreenshots(kind)) return kind;
  }
  return ScreenshotKind::None;
}

}  // namespace qf
