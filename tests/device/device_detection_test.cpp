#include "device/device_detection.h"

#include <gtest/gtest.h>

#include <memory>

#include "fakes/fake_device.h"

namespace qf {
namespace {

using Fake = test::FakeDevice;
using namespace std::chrono_literals;

// A clock that moves only when detection pauses, counting the pauses.
struct FakeTime {
  std::chrono::steady_clock::time_point now{};
  int pauses = 0;
  std::function<void()> onPause = [] {};
  DetectionTiming timing() {
    return {.now = [this] { return now; },
            .wait = [this](std::chrono::milliseconds pause) {
              now += pause;
              ++pauses;
              onPause();
              return true;
            }};
  }
};

TEST(DeviceDetection, APresentDeviceShowsItsScreenshotInterface) {
  const struct {
    Fake::Screenshots offered;
    ScreenshotKind found;
  } cases[] = {{Fake::Screenshots::None, ScreenshotKind::None},
               {Fake::Screenshots::Dumps, ScreenshotKind::Dumps},
               {Fake::Screenshots::ScreenDump, ScreenshotKind::ScreenDump}};
  Fake device;
  DeviceClient client(device.address());
  for (const auto& c : cases) {
    device.setScreenshots(c.offered);
    FakeTime time;
    const DeviceState state = DetectDevice(client, false, time.timing());
    EXPECT_TRUE(state.present);
    EXPECT_EQ(state.screenshots, c.found);
    EXPECT_EQ(time.pauses, 0);
  }
}

TEST(DeviceDetection, AnAbsentDeviceIsAskedForSixteenSeconds) {
  const std::string address = Fake().address();  // nobody listens there any more
  DeviceClient client(address);
  FakeTime before;
  EXPECT_FALSE(DetectDevice(client, false, before.timing()).present);
  EXPECT_EQ(before.pauses, 16);
  // A device present before that does not answer is gone at once.
  FakeTime after;
  const DeviceState state = DetectDevice(client, true, after.timing());
  EXPECT_FALSE(state.present);
  EXPECT_EQ(state.screenshots, ScreenshotKind::None);
  EXPECT_EQ(after.pauses, 0);
}

TEST(DeviceDetection, ADeviceThatComesUpIsFound) {
  std::string address = Fake().address();
  const int port = std::stoi(address.substr(address.find(':') + 1));
  std::unique_ptr<Fake> device;
  FakeTime time;
  time.onPause = [&] {
    if (time.pauses == 3) device = std::make_unique<Fake>(port);
  };
  DeviceClient client(address);
  EXPECT_TRUE(DetectDevice(client, false, time.timing()).present);
  EXPECT_EQ(time.pauses, 3);
}

}  // namespace
}  // namespace qf
