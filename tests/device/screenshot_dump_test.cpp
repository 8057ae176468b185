#include "device/screenshot_dump.h"

#include <Magick++.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/message_id.h"
#include "core/unicode.h"
#include "fakes/fake_device.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;
using Fake = test::FakeDevice;

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// A screenshot whose left half is red and right half blue, so that a turn shows where the halves went.
std::string Screenshot(const char* coder, int width = 480, int height = 272) {
  static const bool initialized = [] {
    Magick::InitializeMagick(nullptr);
    return true;
  }();
  (void)initialized;
  Magick::Image image(Magick::Geometry(static_cast<unsigned>(width), static_cast<unsigned>(height)),
                      Magick::Color("blue"));
  image.fillColor(Magick::Color("red"));
  image.draw(Magick::DrawableRectangle(0, 0, width / 2 - 1, height - 1));
  image.magick(coder);
  Magick::Blob blob;
  image.write(&blob);
  return {static_cast<const char*>(blob.data()), blob.length()};
}

struct Decoded {
  std::string format;
  int width = 0;
  int height = 0;
  bool topLeftRed = false;
};

Decoded Decode(const fs::path& path) {
  Magick::Image image;
  image.read(path.string());
  const Magick::ColorRGB corner = image.pixelColor(2, 2);
  return {image.magick(), static_cast<int>(image.columns()), static_cast<int>(image.rows()),
          corner.red() > 0.8 && corner.blue() < 0.2};
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A device offering PNG screenshots shot1.png … shotN.png.
struct Device {
  explicit Device(int count, Fake::Screenshots kind = Fake::Screenshots::ScreenDump) {
    fake.setScreenshots(kind);
    const bool bmp = kind == Fake::Screenshots::Dumps;
    for (int i = 1; i <= count; ++i) {
      fake.setScreenshot("shot" + std::to_string(i) + (bmp ? ".bmp" : ".png"), Screenshot(bmp ? "BMP" : "PNG"));
    }
  }
  DumpRequest request(ImageFormat format, const fs::path& destination) {
    DeviceListing listing;
    EXPECT_EQ(client.readScreenshotListing(kind(), listing), 0);
    return {.destination = destination, .kind = kind(), .appendTimestamp = false, .target = std::nullopt,
            .quarterTurns = 0, .format = format, .screenshots = ScreenshotsOf(listing)};
  }
  ScreenshotKind kind() {
    return client.probeScreenshots(ScreenshotKind::Dumps) ? ScreenshotKind::Dumps : ScreenshotKind::ScreenDump;
  }
  Fake fake;
  DeviceClient client{fake.address()};
};

TEST(ScreenshotDump, KeptFormatAndSizeCopyTheBytes) {
  for (const Fake::Screenshots kind : {Fake::Screenshots::ScreenDump, Fake::Screenshots::Dumps}) {
    Device device(2, kind);
    device.fake.setScreenshot(kind == Fake::Screenshots::Dumps ? "..hidden.bmp" : "..hidden.png",
                              Screenshot(kind == Fake::Screenshots::Dumps ? "BMP" : "PNG"));
    const fs::path folder = test::TempDir();
    const bool bmp = kind == Fake::Screenshots::Dumps;
    DumpRequest request = device.request(bmp ? ImageFormat::Bmp : ImageFormat::Png, folder);
    request.appendTimestamp = true;  // the BMP interface's dates are not offered as time stamps
    test::ScriptedUserPort port;
    std::vector<std::u16string> lines;
    const DumpResult result =
        DumpScreenshots(device.client, request, port, [&](std::u16string_view line) { lines.emplace_back(line); });
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.written, 3);
    const std::string suffix = bmp ? ".bmp" : "-01052024-1200.png";
    // A name that would hide the file in the folder is made plain.
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"__hidden" + suffix, "shot1" + suffix, "shot2" + suffix}));
    const auto shots = device.fake.screenshots();
    EXPECT_EQ(Read(folder / ("shot1" + suffix)), shots.at(bmp ? "shot1.bmp" : "shot1.png"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].substr(0, 41), u"Converted 2 files, converting: " + Utf8ToUtf16(folder.string()).substr(0, 10));
  }
}

TEST(ScreenshotDump, ConversionsScaleTurnAndEncode) {
  struct Case {
    ImageFormat format;
    std::optional<ImageSize> target;
    int quarterTurns;
    const char* file;
    Decoded expected;
  };
  const Case cases[] = {
      {ImageFormat::Jpeg, std::nullopt, 0, "shot1.jpg", {"JPEG", 480, 272, true}},
      // Clockwise: the red left half goes to the top.
      {ImageFormat::Png, ImageSize{240, 136}, 1, "shot1.png", {"PNG", 136, 240, true}},
      {ImageFormat::Gif, ImageSize{100, 50}, 2, "shot1.gif", {"GIF", 100, 50, false}},
      {ImageFormat::Tiff, std::nullopt, 3, "shot1.tif", {"TIFF", 272, 480, false}},
      {ImageFormat::Bmp, ImageSize{4096, 16}, 0, "shot1.bmp", {"BMP", 4096, 16, true}},
  };
  Device device(1);
  for (const Case& c : cases) {
    const fs::path folder = test::TempDir();
    DumpRequest request = device.request(c.format, folder);
    request.target = c.target;
    request.quarterTurns = c.quarterTurns;
    test::ScriptedUserPort port;
    const DumpResult result = DumpScreenshots(device.client, request, port);
    ASSERT_TRUE(result.complete) << c.file;
    ASSERT_EQ(FilesIn(folder), std::vector<std::string>{c.file});
    const Decoded decoded = Decode(folder / c.file);
    EXPECT_EQ(decoded.format, c.expected.format) << c.file;
    EXPECT_EQ(decoded.width, c.expected.width) << c.file;
    EXPECT_EQ(decoded.height, c.expected.height) << c.file;
    EXPECT_EQ(decoded.topLeftRed, c.expected.topLeftRed) << c.file;
  }
}

TEST(ScreenshotDump, SameFileNamesAnswers) {
  struct Case {
    std::deque<OverwriteAnswer> answers;
    std::size_t questions;
    std::vector<bool> replaced;  // in the listing's order: shot4 … shot1
    bool complete;
  };
  const Case cases[] = {
      {{OverwriteAnswer::YesToAll}, 1, {true, true, true, true}, true},
      {{OverwriteAnswer::Yes, OverwriteAnswer::NoToAll}, 2, {true, false, false, false}, true},
      {{OverwriteAnswer::No, OverwriteAnswer::Yes, OverwriteAnswer::Cancel}, 3, {false, true, false, false}, false},
  };
  Device device(4);
  for (const Case& c : cases) {
    const fs::path folder = test::TempDir();
    for (int i = 1; i <= 4; ++i) {
      const fs::path old = folder / ("shot" + std::to_string(i) + ".png");
      std::ofstream(old) << "old";
      // A read-only file the user agrees to replace is replaced by a writable one.
      fs::permissions(old, fs::perms::owner_read | fs::perms::group_read);
    }
    test::ScriptedUserPort port;
    port.overwriteAnswers = c.answers;
    const DumpResult result = DumpScreenshots(device.client, device.request(ImageFormat::Png, folder), port);
    EXPECT_EQ(port.overwritePaths.size(), c.questions);
    EXPECT_EQ(result.complete, c.complete);
    for (int i = 0; i < 4; ++i) {
      const fs::path file = folder / ("shot" + std::to_string(4 - i) + ".png");
      EXPECT_EQ(Read(file) != "old", c.replaced[static_cast<std::size_t>(i)]) << i;
      if (c.replaced[static_cast<std::size_t>(i)]) {
        EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
      }
    }
  }
}

TEST(ScreenshotDump, TwoScreenshotsOfOneOutputNameAskAsAnExistingFile) {
  Device device(0);
  device.fake.setScreenshot("a.png", Screenshot("PNG", 20, 20));
  device.fake.setScreenshot(".a.png", Screenshot("PNG", 30, 30));  // made safe: "_a"
  device.fake.setScreenshot("_a.png", Screenshot("PNG", 40, 40));
  const fs::path folder = test::TempDir();
  test::ScriptedUserPort port;  // answers No
  const DumpResult result = DumpScreenshots(device.client, device.request(ImageFormat::Png, folder), port);
  EXPECT_EQ(result.written, 2);
  EXPECT_EQ(port.overwritePaths.size(), 1u);
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"_a.png", "a.png"}));
}

TEST(ScreenshotDump, EscKeepsWhatIsWritten) {
  Device device(5);
  const fs::path folder = test::TempDir();
  test::CancellingPort port(2);
  const DumpResult result = DumpScreenshots(device.client, device.request(ImageFormat::Jpeg, folder), port);
  EXPECT_FALSE(result.complete);
  EXPECT_EQ(result.message, 0);
  EXPECT_EQ(result.written, 2);
  // The listing's order: the last on the page first.
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"shot4.jpg", "shot5.jpg"}));
  EXPECT_EQ(Decode(folder / "shot4.jpg").width, 480);
}

TEST(ScreenshotDump, FailuresEndTheDumpWithoutPartialFiles) {
  {  // an output that cannot be written: a folder of that name
    Device device(3);
    const fs::path folder = test::TempDir();
    fs::create_directory(folder / "shot2.jpg");
    test::ScriptedUserPort port;
    port.overwriteAnswers = {OverwriteAnswer::Yes};
    const DumpResult result = DumpScreenshots(device.client, device.request(ImageFormat::Jpeg, folder), port);
    EXPECT_EQ(result.message, kCannotSave);
    EXPECT_EQ(result.path, Utf8ToUtf16((folder / "shot2.jpg").string()));
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"shot2.jpg", "shot3.jpg"}));  // shot1 was not tried
    EXPECT_TRUE(fs::is_directory(folder / "shot2.jpg"));
  }
  {  // a screenshot that is no image
    Device device(1);
    device.fake.setScreenshot("shot0.png", "\x89PNG\r\n\x1a\n but not really");  // after shot1
    const fs::path folder = test::TempDir();
    test::ScriptedUserPort port;
    const DumpResult result = DumpScreenshots(device.client, device.request(ImageFormat::Jpeg, folder), port);
    EXPECT_EQ(result.message, kCannotSave);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"shot1.jpg"});
  }
  {  // the device hangs up halfway
    Device device(2);
    const fs::path folder = test::TempDir();
    const DumpRequest request = device.request(ImageFormat::Png, folder);
    device.fake.setDropDownloadsAfter(100);
    test::ScriptedUserPort port;
    const DumpResult result = DumpScreenshots(device.client, request, port);
    EXPECT_EQ(result.message, kCannotReadDeviceFiles);
    EXPECT_EQ(result.written, 0);
    EXPECT_TRUE(FilesIn(folder).empty());
  }
}

TEST(ScreenshotDump, TheFirstScreenshotGivesTheSourceSize) {
  Device png(0);
  EXPECT_EQ(MeasureScreenshots(png.client, ScreenshotKind::ScreenDump, {}), kDefaultScreenSize);
  png.fake.setScreenshot("a.png", Screenshot("PNG", 320, 240));
  EXPECT_EQ(MeasureScreenshots(png.client, ScreenshotKind::ScreenDump, {{u"a", u""}}), (ImageSize{320, 240}));
  Device bmp(0, Fake::Screenshots::Dumps);
  bmp.fake.setScreenshot("b.bmp", Screenshot("BMP", 800, 480));
  EXPECT_EQ(MeasureScreenshots(bmp.client, ScreenshotKind::Dumps, {{u"b", u""}}), (ImageSize{800, 480}));
  bmp.fake.setScreenshot("c.bmp", "BM too short");
  EXPECT_EQ(MeasureScreenshots(bmp.client, ScreenshotKind::Dumps, {{u"c", u""}}), kDefaultScreenSize);
}

}  // namespace
}  // namespace qf
