#include "core/settings_location.h"

#include <cstdlib>
#include <system_error>

namespace qf {
namespace {

constexpr const char* kFileName = "quillfern.ini";

// Only an absolute value counts, as the base-directory convention requires.
std::optional<std::filesystem::path> AbsoluteFolder(const EnvironmentLookup& environment, const char* name) {
  const std::optional<std::string> value = environment(name);
  if (!value || value->empty() || !std::filesystem::path(*value).is_absolute()) return std::nullopt;
  return std::filesystem::path(*value);
}

}  // namespace

std::optional<std::string> SystemEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::filesystem::path SettingsPath(const std::filesystem::path& executablePath,
                                   const std::optional<std::filesystem::path>& override,
                                   const EnvironmentLookup& environment) {
  if (override) return *override;
  const std::filesystem::path portable = executablePath.parent_path() / kFileName;
  std::error_code error;
  if (std::filesystem::is_regular_file(portable, error)) return portable;
  if (auto config = AbsoluteFolder(environment, "XDG_CONFIG_HOME")) return *config / "quillfern" / kFileName;
  if (auto home = AbsoluteFolder(environment, "HOME")) return *home / ".config" / "quillfern" / kFileName;
  // Without any home there is nowhere else to keep settings.
  return portable;
}

}  // namespace qf
