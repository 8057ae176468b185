#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qf {

// Reads one environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> SystemEnvironment(const char* name);

// Where the settings file lives: `override` (the --settings option) when given; otherwise "quillfern.ini"
// beside the executable when that file exists (portable use); otherwise quillfern/quillfern.ini in the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config).
std::filesystem::path SettingsPath(const std::filesystem::path& executablePath,
                                   const std::optional<std::filesystem::path>& override,
                                   const EnvironmentLookup& environment = SystemEnvironment);

}  // namespace qf
