#include "device/screenshot_image.h"

#include <Magick++.h>

#include <cstring>
#include <mutex>
#include <string>

namespace qf {
namespace {

// A screenshot is a screen: anything far larger is refused before its pixels take the memory.
constexpr long long kMaxPixels = 32LL * 1024 * 1024;

// Before any image object is made: a library that is not set up yet cannot even build one.
void InitializeOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    Magick::InitializeMagick(nullptr);
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxPixels);
  });
}

// Only the two formats a device writes are decoded, told by their first bytes: the library would
// otherwise take whatever it recognises, formats that run other programs included.
const char* CoderOf(std::span<const std::uint8_t> bytes) {
  static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() >= sizeof kPng && std::memcmp(bytes.data(), kPng, sizeof kPng) == 0) return "PNG";
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return "BMP";
  return nullptr;
}

// Warnings (an odd chunk, a profile it ignores) do not keep an image from being read.
bool Decode(std::span<const std::uint8_t> bytes, Magick::Image& image) {
  const char* coder = CoderOf(bytes);
  if (coder == nullptr) return false;
  try {
    image.quiet(true);
    image.read(Magick::Blob(bytes.data(), bytes.size()), coder);
    return image.columns() > 0 && image.rows() > 0;
  } catch (const Magick::Warning&) {
    return image.columns() > 0 && image.rows() > 0;
  } catch (const Magick::Exception&) {
    return false;
  }
}

}  // namespace

std::optional<ImageSize> DecodedImageSize(std::span<const std::uint8_t> bytes) {
  InitializeOnce();
  Magick::Image image;
  if (!Decode(bytes, image)) return std::nullopt;
  return ImageSize{static_cast<int>(image.columns()), static_cast<int>(image.rows())};
}

bool ConvertImage(std::span<const std::uint8_t> bytes, std::optional<ImageSize> target, int quarterTurns,
                  ImageFormat format, std::vector<std::uint8_t>& encoded) {
  InitializeOnce();
  Magick::Image image;
  if (!Decode(bytes, image)) return false;
  try {
    if (target) {
      Magick::Geometry exact(static_cast<unsigned>(target->width), static_cast<unsigned>(target->height));
      exact.aspect(true);  // exactly that size, whatever the source's ratio
      image.scale(exact);
    }
    if (quarterTurns % 4 != 0) image.rotate(90.0 * (quarterTurns % 4));
    image.magick(std::string(InfoOf(format).coder));
    Magick::Blob blob;
    image.write(&blob);
    const auto* data = static_cast<const std::uint8_t*>(blob.data());
    encoded.assign(data, data + blob.length());
    return !encoded.empty();
  } catch (const Magick::Exception&) {
    return false;
  }
}

}  // namespace qf
