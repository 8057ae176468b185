// The device link on this machine: parsing a large listing page, and a large OV2 file sent to and
// read back from the tests' fake device over the loopback.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "core/app_settings.h"
#include "core/user_port.h"
#include "device/device_client.h"
#include "device/device_listing.h"
#include "fakes/fake_device.h"
#include "formats/file_pipeline.h"
#include "poi_generator.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

std::string ListingOf(int files) {
  std::string page = "<html><body><table>\n";
  for (int i = 0; i < files; ++i) {
    const std::string name = "Points of interest " + std::to_string(i) + (i % 3 == 0 ? ".bmp" : ".ov2");
    page += "<tr><td><a href=\"/personal/pois/" + name + "\">" + name +
            "</a></td><td>2024-05-01 12:00</td><td>123 KB</td></tr>\n";
  }
  return page + "</table></body></html>\n";
}

void BM_ParseListingOf10000Files(benchmark::State& state) {
  const std::string page = ListingOf(10'000);
  for (auto _ : state) benchmark::DoNotOptimize(ParseDeviceListing(page, ListingPage::Pois));
  state.counters["page_bytes"] = static_cast<double>(page.size());
}
BENCHMARK(BM_ParseListingOf10000Files)->Unit(benchmark::kMillisecond);

// An OV2 file of a million POIs, written once per run.
const fs::path& MillionPoiFile() {
  static const fs::path path = [] {
    const fs::path file = fs::temp_directory_path() / "quillfern-device-bench" / "Million.ov2";
    fs::create_directories(file.parent_path());
    PoiDocument document = bench::GeneratePois(1'000'000);
    SilentUserPort port;
    RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, file, AppSettings{}, port);
    return file;
  }();
  return path;
}

double PeakRssMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_UploadMillionPoiFile(benchmark::State& state) {
  const fs::path& file = MillionPoiFile();
  test::FakeDevice device;
  DeviceClient client(device.address());
  for (auto _ : state) {
    if (client.uploadPoiFiles(u"Million", file, MaskOf(DeviceFileKind::Ov2)) != 0) state.SkipWithError("upload failed");
  }
  state.counters["file_MB"] = static_cast<double>(fs::file_size(file)) / (1 << 20);
  state.counters["peak_rss_MB"] = PeakRssMegabytes();  // the fake device's copy included
}
BENCHMARK(BM_UploadMillionPoiFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DownloadMillionPoiFile(benchmark::State& state) {
  const fs::path& file = MillionPoiFile();
  test::FakeDevice device;
  DeviceClient client(device.address());
  client.uploadPoiFiles(u"Million", file, MaskOf(DeviceFileKind::Ov2));
  const fs::path back = file.parent_path() / "back.ov2";
  for (auto _ : state) {
    if (client.downloadPoiFile(u"Million", DeviceFileKind::Ov2, back) != 0) state.SkipWithError("download failed");
  }
  state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_DownloadMillionPoiFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
