#include "device/dump_settings.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace qf {
namespace {

DumpSettings Loaded(std::string_view text) {
  ProfileFile profile;
  profile.parse(text);
  return LoadDumpSettings(profile);
}

TEST(DumpSettings, DefaultsWithoutTheSection) {
  const DumpSettings settings = Loaded("");
  EXPECT_TRUE(settings.destination.empty());
  EXPECT_FALSE(settings.appendTimestamp);
  EXPECT_FALSE(settings.specifySize);
  EXPECT_TRUE(settings.pixels);
  EXPECT_EQ(settings.width, 480);
  EXPECT_EQ(settings.height, 272);
  EXPECT_FALSE(settings.keepRatio);
  EXPECT_EQ(settings.quarterTurns, 0);
  EXPECT_EQ(settings.format, ImageFormat::Jpeg);
  const DumpSettings percent = Loaded("[Dump Device]\nImage Pixel=0\n");
  EXPECT_EQ(percent.width, 100);
  EXPECT_EQ(percent.height, 100);
}

TEST(DumpSettings, ValuesOutOfRangeAreClamped) {
  const DumpSettings high = Loaded("[Dump Device]\nImage Format=9\nRotate Image=7\nImage Width=5000\nImage Height=3\n");
  EXPECT_EQ(high.format, ImageFormat::Bmp);
  EXPECT_EQ(high.quarterTurns, 3);
  EXPECT_EQ(high.width, 4096);
  EXPECT_EQ(high.height, 16);
  const DumpSettings low =
      Loaded("[Dump Device]\nImage Format=-1\nRotate Image=-2\nImage Pixel=0\nImage Width=1001\nImage Height=9\n");
  EXPECT_EQ(low.format, ImageFormat::Jpeg);
  EXPECT_EQ(low.quarterTurns, 0);
  EXPECT_EQ(low.width, 1000);
  EXPECT_EQ(low.height, 10);
}

TEST(DumpSettings, RoundTripAndOnlyExistingFolders) {
  const std::filesystem::path dir = test::TempDir();
  DumpSettings settings{.destination = dir, .appendTimestamp = true, .specifySize = true, .pixels = false,
                        .width = 50, .height = 75, .keepRatio = true, .quarterTurns = 1, .format = ImageFormat::Tiff};
  ProfileFile profile;
  SaveDumpSettings(settings, profile);
  EXPECT_NE(profile.text().find("[Dump Device]"), std::string::npos);
  EXPECT_NE(profile.text().find("Keep Ratio=1"), std::string::npos);
  EXPECT_NE(profile.text().find("Image Format=3"), std::string::npos);
  const DumpSettings loaded = LoadDumpSettings(profile);
  EXPECT_EQ(loaded.destination, settings.destination);
  EXPECT_TRUE(loaded.appendTimestamp && loaded.specifySize && !loaded.pixels && loaded.keepRatio);
  EXPECT_EQ(loaded.width, 50);
  EXPECT_EQ(loaded.height, 75);
  EXPECT_EQ(loaded.quarterTurns, 1);
  EXPECT_EQ(loaded.format, ImageFormat::Tiff);

  settings.destination = dir / "gone";
  SaveDumpSettings(settings, profile);
  EXPECT_TRUE(LoadDumpSettings(profile).destination.empty());
}

}  // namespace
}  // namespace qf
