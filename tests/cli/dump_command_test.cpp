// quillfern-cli device dump, run as a user runs it, against a fake device.
#include <Magick++.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fakes/fake_device.h"
#include "cli/cli_run.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

using test::CliRun;

CliRun Cli(const fs::path& dir, const std::string& arguments) { return test::RunCli(dir, arguments); }

std::string Png() {
  Magick::InitializeMagick(nullptr);
  Magick::Image image(Magick::Geometry(480, 272), Magick::Color("orange"));
  image.magick("PNG");
  Magick::Blob blob;
  image.write(&blob);
  return {static_cast<const char*>(blob.data()), blob.length()};
}

TEST(DumpCommand, DumpsScaledTurnedAndStampedAndAsksBeforeReplacing) {
  test::FakeDevice device;
  device.setScreenshots(test::FakeDevice::Screenshots::ScreenDump);
  device.setScreenshot("a.png", Png());
  device.setScreenshot("b.png", Png());
  const fs::path dir = test::TempDir();
  const fs::path shots = dir / "shots" / "new";  // made when missing
  const std::string dump =
      "device dump '" + shots.string() + "' --device-url " + device.address() + " --percent 50 --rotate 90 --format jpeg --timestamp";
  CliRun run = Cli(dir, dump);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Converted 2 files\n");
  for (const char* name : {"a-01052024-1200.jpg", "b-01052024-1200.jpg"}) {
    Magick::Image image;
    image.read((shots / name).string());
    EXPECT_EQ(image.magick(), "JPEG");
    EXPECT_EQ(image.columns(), 136u);
    EXPECT_EQ(image.rows(), 240u);
  }
  std::ofstream(shots / "a-01052024-1200.jpg") << "kept";
  run = Cli(dir, dump + " --overwrite=no");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Converted 0 files\n");
  std::stringstream kept;
  kept << std::ifstream(shots / "a-01052024-1200.jpg").rdbuf();
  EXPECT_EQ(kept.str(), "kept");

  // Without options the screenshots are copied as the device keeps them.
  run = Cli(dir, "device dump '" + (dir / "plain").string() + "' --device-url " + device.address());
  EXPECT_EQ(run.status, 0) << run.err;
  std::stringstream copied;
  copied << std::ifstream(dir / "plain" / "a.png", std::ios::binary).rdbuf();
  EXPECT_EQ(copied.str(), device.screenshots().at("a.png"));
}

TEST(DumpCommand, MalformedOptionsAreUsageErrors) {
  const fs::path dir = test::TempDir();
  const struct {
    const char* arguments;
    const char* problem;
  } cases[] = {
      {"device dump d --size 15x100", "Range for pixels: [16, 4096]"},
      {"device dump d --percent 1001", "Range for percentage: [10, 1000]"},
      {"device dump d --size 100", "--size takes WIDTHxHEIGHT"},
      {"device dump d --size 100x100 --percent 50", "not both"},
      {"device dump d --rotate 45", "--rotate takes 0, 90, 180 or 270"},
      {"device dump d --format webp", "--format takes jpeg, gif, png, tiff or bmp"},
      {"convert a.ov2 b.ov2 --format png", "--format needs a format number"},
  };
  for (const auto& c : cases) {
    const CliRun run = Cli(dir, std::string(c.arguments) + " --device-url 127.0.0.1:1");
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_NE(run.err.find(c.problem), std::string::npos) << c.arguments << ": " << run.err;
  }
}

}  // namespace
}  // namespace qf
