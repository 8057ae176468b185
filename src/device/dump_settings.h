#pragma once

#include <array>
#include <filesystem>
#include <string_view>

#include "core/message_id.h"
#include "core/profile_file.h"

namespace qf {

// The formats a dump writes, in the order of the format list.
enum class ImageFormat { Jpeg, Gif, Png, Tiff, Bmp };
inline constexpr int kImageFormatCount = 5;

struct ImageFormatInfo {
  MessageId caption;           // its entry in the format list
  std::string_view coder;      // the imaging library's name for it
  std::string_view extension;  // of the files written
};
const ImageFormatInfo& InfoOf(ImageFormat format);

// Rotations offered, clockwise: 0, 90, 180 and 270 degrees.
inline constexpr int kRotationCount = 4;

// Section "Dump Device": the dump dialog's last choices, read when it opens and written when it
// closes with OK.
struct DumpSettings {
  std::filesystem::path destination;  // only a folder that exists
  bool appendTimestamp = false;
  bool specifySize = false;
  bool pixels = true;  // sizes in pixels, else in percent of the source
  int width = 480;
  int height = 272;
  bool keepRatio = false;
  int quarterTurns = 0;  // clockwise
  ImageFormat format = ImageFormat::Jpeg;
};

// Values out of their range are brought into it; width and height into the range of their unit.
DumpSettings LoadDumpSettings(const ProfileFile& profile);
void SaveDumpSettings(const DumpSettings& settings, ProfileFile& profile);

}  // namespace qf
