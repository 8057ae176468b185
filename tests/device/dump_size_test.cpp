#include "device/dump_size.h"

#include <gtest/gtest.h>

#include <vector>

namespace qf {
namespace {

TEST(DumpSize, RangesOfTheTwoUnits) {
  struct Case {
    bool pixels;
    int value;
    bool accepted;
  };
  for (const Case& c : {Case{true, 15, false}, Case{true, 16, true}, Case{true, 4096, true}, Case{true, 4097, false},
                        Case{false, 9, false}, Case{false, 10, true}, Case{false, 1000, true},
                        Case{false, 1001, false}}) {
    EXPECT_EQ(RangeOf(c.pixels).holds(c.value), c.accepted) << c.pixels << " " << c.value;
  }
}

TEST(DumpSize, ConversionsRoundToTheNearest) {
  EXPECT_EQ(PercentToPixels(50, 480), 240);
  EXPECT_EQ(PercentToPixels(33, 272), 90);    // 89.76
  EXPECT_EQ(PixelsToPercent(100, 272), 37);   // 36.76
  EXPECT_EQ(PixelsToPercent(101, 202), 50);   // 50.0
  EXPECT_EQ(KeptRatioSide(240, 480, 272), 136);
  EXPECT_EQ(KeptRatioSide(100, 480, 272), 57);  // 56.67
  EXPECT_EQ(KeptRatioSide(100, 0, 272), 0);     // a source without size divides by nothing
}

TEST(DumpSize, TheSourceSizeMeansNoScaling) {
  const ImageSize source{480, 272};
  EXPECT_EQ(TargetSize({480, 272}, true, source), std::nullopt);
  EXPECT_EQ(TargetSize({100, 100}, false, source), std::nullopt);
  EXPECT_EQ(TargetSize({50, 50}, false, source), (ImageSize{240, 136}));
  EXPECT_EQ(TargetSize({480, 100}, true, source), (ImageSize{480, 100}));
}

std::vector<std::uint8_t> BmpHeader(std::uint32_t headerSize, std::vector<std::uint8_t> sizeBytes) {
  std::vector<std::uint8_t> bytes(26);
  bytes[0] = 'B';
  bytes[1] = 'M';
  for (int i = 0; i < 4; ++i) bytes[14 + i] = static_cast<std::uint8_t>(headerSize >> (8 * i));
  std::copy(sizeBytes.begin(), sizeBytes.end(), bytes.begin() + 18);
  return bytes;
}

TEST(DumpSize, SizeFromTheBmpHeader) {
  EXPECT_EQ(BmpHeaderSize(BmpHeader(12, {0xE0, 0x01, 0x10, 0x01})), (ImageSize{480, 272}));
  EXPECT_EQ(BmpHeaderSize(BmpHeader(40, {0x40, 0x01, 0, 0, 0xF0, 0, 0, 0})), (ImageSize{320, 240}));
  // Rows stored top-down: the height is negative.
  EXPECT_EQ(BmpHeaderSize(BmpHeader(40, {0x40, 0x01, 0, 0, 0x10, 0xFF, 0xFF, 0xFF})), (ImageSize{320, 240}));
  EXPECT_EQ(BmpHeaderSize(BmpHeader(40, {0, 0, 0, 0, 0xF0, 0, 0, 0})), std::nullopt);
  EXPECT_EQ(BmpHeaderSize(BmpHeader(40, {0, 0, 0, 0x80, 0xF0, 0, 0, 0})), std::nullopt);
  std::vector<std::uint8_t> notBmp = BmpHeader(12, {0xE0, 0x01, 0x10, 0x01});
  notBmp[0] = 'X';
  EXPECT_EQ(BmpHeaderSize(notBmp), std::nullopt);
  notBmp[0] = 'B';
  notBmp.resize(25);
  EXPECT_EQ(BmpHeaderSize(notBmp), std::nullopt);
}

}  // namespace
}  // namespace qf
