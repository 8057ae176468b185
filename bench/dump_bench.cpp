// The screenshot dump through a device on this machine: 100 PNG screenshots of 480 × 272 scaled
// to 50 % and encoded as JPEG, the download of one overlapping the conversion of the one before.
#include <Magick++.h>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "device/screenshot_dump.h"
#include "fakes/fake_device.h"

namespace qf {
namespace {

constexpr int kScreenshots = 100;

// A screen's worth of detail (a random fractal), unlike a flat colour that a coder makes light work of.
std::string Screenshot() {
  Magick::Image image;
  image.size(Magick::Geometry(480, 272));
  image.read("plasma:fractal");
  image.magick("PNG");
  Magick::Blob blob;
  image.write(&blob);
  return {static_cast<const char*>(blob.data()), blob.length()};
}

void BM_DumpHundredScreenshots(benchmark::State& state) {
  Magick::InitializeMagick(nullptr);
  test::FakeDevice device;
  device.setScreenshots(test::FakeDevice::Screenshots::ScreenDump);
  for (int i = 0; i < kScreenshots; ++i) device.setScreenshot("shot" + std::to_string(i) + ".png", Screenshot());
  DeviceClient client(device.address());
  DeviceListing listing;
  if (client.readScreenshotListing(ScreenshotKind::ScreenDump, listing) != 0) {
    state.SkipWithError("no listing");
    return;
  }
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quillfern-dump-bench";
  const DumpRequest request{.destination = folder,
                            .kind = ScreenshotKind::ScreenDump,
                            .appendTimestamp = false,
                            .target = ImageSize{240, 136},
                            .quarterTurns = 0,
                            .format = ImageFormat::Jpeg,
                            .screenshots = ScreenshotsOf(listing)};
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    SilentUserPort port;
    state.ResumeTiming();
    const DumpResult result = DumpScreenshots(client, request, port);
    if (result.written != kScreenshots) state.SkipWithError("not every screenshot was written");
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DumpHundredScreenshots)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
