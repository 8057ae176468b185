#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/dump_settings.h"
#include "device/dump_size.h"

namespace qf {

// The size of a BMP or PNG image held in `bytes`; nothing when it cannot be decoded.
std::optional<ImageSize> DecodedImageSize(std::span<const std::uint8_t> bytes);

// Decodes a BMP or PNG image, scales it to exactly `target` when given, turns it clockwise by
// `quarterTurns` quarters and encodes it in `format`. False when the image cannot be decoded or
// encoded. Safe to call from several threads at once.
bool ConvertImage(std::span<const std::uint8_t> bytes, std::optional<ImageSize> target, int quarterTurns,
                  ImageFormat format, std::vector<std::uint8_t>& encoded);

}  // namespace qf
