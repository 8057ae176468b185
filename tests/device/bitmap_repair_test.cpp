#include "device/bitmap_repair.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace qf {
namespace {

std::uint32_t Field(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// A BMP file of `size` bytes whose header claims other sizes.
std::vector<std::uint8_t> BrokenBitmap(std::uint32_t infoHeaderSize, std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0x77);
  bytes[0] = 'B';
  bytes[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    bytes[2 + i] = 0xEE;                                             // file size: wrong
    bytes[14 + i] = static_cast<std::uint8_t>(infoHeaderSize >> (8 * i));
  }
  return bytes;
}

TEST(BitmapRepair, FileAndImageSizesAreMended) {
  const auto file = test::TempDir() / "icon.bmp";
  test::WriteBytes(file, BrokenBitmap(40, 120));
  ASSERT_TRUE(RepairBitmap(file));
  const std::vector<std::uint8_t> mended = test::ReadBytes(file);
  ASSERT_EQ(mended.size(), 120u);
  EXPECT_EQ(Field(mended, 2), 120u);
  EXPECT_EQ(Field(mended, 34), 0u);
  EXPECT_EQ(mended[38], 0x77);
}

// The core header has no image-size field: bytes 34-37 are the picture's own.
TEST(BitmapRepair, CoreHeaderKeepsItsBytes) {
  const auto file = test::TempDir() / "icon.bmp";
  test::WriteBytes(file, BrokenBitmap(12, 60));
  ASSERT_TRUE(RepairBitmap(file));
  const std::vector<std::uint8_t> mended = test::ReadBytes(file);
  EXPECT_EQ(Field(mended, 2), 60u);
  EXPECT_EQ(Field(mended, 34), 0x77777777u);
}

TEST(BitmapRepair, OtherFilesAreLeftAlone) {
  const auto folder = test::TempDir();
  const std::vector<std::vector<std::uint8_t>> others = {{'P', 'N', 'G', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                         {'B', 'M', 1, 2}};
  for (const auto& bytes : others) {
    test::WriteBytes(folder / "other.bmp", bytes);
    EXPECT_FALSE(RepairBitmap(folder / "other.bmp"));
    EXPECT_EQ(test::ReadBytes(folder / "other.bmp"), bytes);
  }
  EXPECT_FALSE(RepairBitmap(folder / "missing.bmp"));
}

}  // namespace
}  // namespace qf
