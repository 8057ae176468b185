#include "device/dump_size.h"

#include <cstdlib>

namespace qf {
namespace {

// a × b / c rounded half up, for the non-negative numbers the size edits hold; a zero divisor (a
// source without size) gives 0.
int Scaled(int a, int b, int c) {
  if (c <= 0) return 0;
  const long long product = static_cast<long long>(a) * b;
  return static_cast<int>((product + c / 2) / c);
}

std::uint32_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

std::uint32_t Read32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

}  // namespace

int PercentToPixels(int percent, int sourceSide) { return Scaled(percent, sourceSide, 100); }

int PixelsToPercent(int pixels, int sourceSide) { return Scaled(pixels, 100, sourceSide); }

int KeptRatioSide(int side, int sourceSide, int sourceOther) { return Scaled(side, sourceOther, sourceSide); }

ImageSize PixelSize(ImageSize shown, bool pixels, ImageSize source) {
  if (pixels) return shown;
  return {PercentToPixels(shown.width, source.width), PercentToPixels(shown.height, source.height)};
}

std::optional<ImageSize> TargetSize(ImageSize shown, bool pixels, ImageSize source) {
  const ImageSize target = PixelSize(shown, pixels, source);
  if (target == source) return std::nullopt;
  return target;
}

std::optional<ImageSize> BmpHeaderSize(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kHeaderBytes = 26;
  if (bytes.size() < kHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  ImageSize size;
  if (Read32(bytes, 14) == 12) {
    size = {static_cast<int>(Read16(bytes, 18)), static_cast<int>(Read16(bytes, 20))};
  } else {
    size = {static_cast<std::int32_t>(Read32(bytes, 18)), static_cast<std::int32_t>(Read32(bytes, 22))};
    // A height of INT_MIN has no positive counterpart; it is no screen either.
    if (size.height == INT32_MIN) return std::nullopt;
    size.height = std::abs(size.height);
  }
  constexpr int kLargestScreen = 65535;
  if (size.width <= 0 || size.height <= 0 || size.width > kLargestScreen || size.height > kLargestScreen) {
    return std::nullopt;
  }
  return size;
}

}  // namespace qf
