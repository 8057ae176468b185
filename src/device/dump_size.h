#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace qf {

struct ImageSize {
  int width = 0;
  int height = 0;
  bool operator==(const ImageSize&) const = default;
};

// Assumed when the device has no screenshot to measure: its usual screen.
inline constexpr ImageSize kDefaultScreenSize{480, 272};

// The numbers the size edits accept, in pixels or in percent of the source.
struct SizeRange {
  int low;
  int high;
  bool holds(int value) const { return value >= low && value <= high; }
};
inline constexpr SizeRange kPixelSizes{16, 4096};
inline constexpr SizeRange kPercentSizes{10, 1000};
inline constexpr SizeRange RangeOf(bool pixels) { return pixels ? kPixelSizes : kPercentSizes; }

// Conversions between the units, rounded to the nearest integer.
int PercentToPixels(int percent, int sourceSide);
int PixelsToPercent(int pixels, int sourceSide);
// The other side of a size that keeps the source's aspect ratio: `side` is to `sourceSide` as the
// result is to `sourceOther`, rounded.
int KeptRatioSide(int side, int sourceSide, int sourceOther);

// The size in pixels of the numbers shown, in pixels or in percent of `source`.
ImageSize PixelSize(ImageSize shown, bool pixels, ImageSize source);
// What the screenshots are scaled to: nothing when the size is the source's own.
std::optional<ImageSize> TargetSize(ImageSize shown, bool pixels, ImageSize source);

// The size in a BMP file's first 26 bytes: a core header (size 12) holds 16-bit width and height,
// every later header 32-bit ones (a negative height marks rows stored top-down). Nothing when the
// bytes are too few, not a BMP, or the size is not a usable one.
std::optional<ImageSize> BmpHeaderSize(std::span<const std::uint8_t> bytes);

}  // namespace qf
