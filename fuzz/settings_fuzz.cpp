// Any settings file must load without harm, and whatever the program writes back must read back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/app_settings.h"
#include "core/profile_file.h"

namespace {

std::string Reparsed(const std::string& text) {
  qf::ProfileFile profile;
  profile.parse(text);
  return profile.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::ProfileFile profile;
  profile.parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = profile.text();
  if (Reparsed(text) != text) __builtin_trap();

  const qf::AppSettings settings = qf::LoadSettings(profile);
  qf::SaveSettings(settings, profile);
  qf::SaveToolbarColour(settings, profile);
  qf::SaveCustomColours(settings, profile);
  qf::SaveToolbarButtons(settings, profile);
  qf::SaveBasePointList(settings, profile);
  qf::SaveBasePointDialogSize(settings, profile);
  qf::SaveCheckWindow(settings, profile);
  const std::string saved = profile.text();
  if (Reparsed(saved) != saved) __builtin_trap();

  qf::ProfileFile reloaded;
  reloaded.parse(saved);
  if (!(qf::LoadSettings(reloaded) == settings)) __builtin_trap();
  return 0;
}
