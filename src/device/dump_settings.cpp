#include "device/dump_settings.h"

#include <algorithm>
#include <system_error>

#include "device/dump_size.h"

namespace qf {
namespace {

constexpr std::string_view kSection = "Dump Device";

constexpr std::array<ImageFormatInfo, kImageFormatCount> kFormats{{
    {kJpegFormat, "JPEG", "jpg"},
    {kGifFormat, "GIF", "gif"},
    {kPngFormat, "PNG", "png"},
    {kTiffFormat, "TIFF", "tif"},
    {kBmpFormat, "BMP", "bmp"},
}};

bool ReadSwitch(const ProfileFile& profile, std::string_view key, bool fallback) {
  return profile.getInt(kSection, key, fallback ? 1 : 0) != 0;
}

void WriteSwitch(ProfileFile& profile, std::string_view key, bool value) {
  profile.setString(kSection, key, value ? "1" : "0");
}

}  // namespace

const ImageFormatInfo& InfoOf(ImageFormat format) { return kFormats[static_cast<std::size_t>(format)]; }

DumpSettings LoadDumpSettings(const ProfileFile& profile) {
  DumpSettings settings;
  const std::filesystem::path destination = profile.getString(kSection, "Dest Folder", "");
  std::error_code error;
  if (!destination.empty() && std::filesystem::is_directory(destination, error)) settings.destination = destination;
  settings.appendTimestamp = ReadSwitch(profile, "Append Timestamp", false);
  settings.specifySize = ReadSwitch(profile, "Specify Size", false);
  settings.pixels = ReadSwitch(profile, "Image Pixel", true);
  const SizeRange range = RangeOf(settings.pixels);
  const ImageSize fallback = settings.pixels ? kDefaultScreenSize : ImageSize{100, 100};
  settings.width = std::clamp(profile.getInt(kSection, "Image Width", fallback.width), range.low, range.high);
  settings.height = std::clamp(profile.getInt(kSection, "Image Height", fallback.height), range.low, range.high);
  settings.keepRatio = ReadSwitch(profile, "Keep Ratio", false);
  settings.quarterTurns = std::clamp(profile.getInt(kSection, "Rotate Image", 0), 0, kRotationCount - 1);
  const int format = std::clamp(profile.getInt(kSection, "Image Format", 0), 0, kImageFormatCount - 1);
  settings.format = static_cast<ImageFormat>(format);
  return settings;
}

void SaveDumpSettings(const DumpSettings& settings, ProfileFile& profile) {
  profile.setString(kSection, "Dest Folder", settings.destination.string());
  WriteSwitch(profile, "Append Timestamp", settings.appendTimestamp);
  WriteSwitch(profile, "Specify Size", settings.specifySize);
  WriteSwitch(profile, "Image Pixel", settings.pixels);
  profile.setInt(kSection, "Image Width", settings.width);
  profile.setInt(kSection, "Image Height", settings.height);
  WriteSwitch(profile, "Keep Ratio", settings.keepRatio);
  profile.setInt(kSection, "Rotate Image", settings.quarterTurns);
  profile.setInt(kSection, "Image Format", static_cast<int>(settings.format));
}

}  // namespace qf
