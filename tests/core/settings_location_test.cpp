#include "core/settings_location.h"

#include <gtest/gtest.h>

#include <map>

#include "support/test_support.h"

namespace qf {
namespace {

EnvironmentLookup FakeEnvironment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](const char* name) -> std::optional<std::string> {
    auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

TEST(SettingsLocationTest, ChoosesOverrideThenPortableFileThenConfigFolder) {
  const auto folder = test::TempDir();
  const auto executable = folder / "bin" / "quillfern";
  std::filesystem::create_directories(folder / "bin");
  const auto environment = FakeEnvironment({{"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/home/ann"}});

  EXPECT_EQ(SettingsPath(executable, std::nullopt, environment), "/xdg/quillfern/quillfern.ini");
  EXPECT_EQ(SettingsPath(executable, "/tmp/other.ini", environment), "/tmp/other.ini");

  test::WriteBytes(folder / "bin" / "quillfern.ini", {});
  EXPECT_EQ(SettingsPath(executable, std::nullopt, environment), folder / "bin" / "quillfern.ini");
  EXPECT_EQ(SettingsPath(executable, "/tmp/other.ini", environment), "/tmp/other.ini");
}

TEST(SettingsLocationTest, FallsBackToHomeWhenTheConfigFolderIsUnusable) {
  const auto executable = test::TempDir() / "quillfern";
  for (const char* xdg : {"", "relative/config"}) {
    EXPECT_EQ(
        SettingsPath(executable, std::nullopt, FakeEnvironment({{"XDG_CONFIG_HOME", xdg}, {"HOME", "/home/ann"}})),
        "/home/ann/.config/quillfern/quillfern.ini");
  }
  EXPECT_EQ(SettingsPath(executable, std::nullopt, FakeEnvironment({{"HOME", "/home/ann"}})),
            "/home/ann/.config/quillfern/quillfern.ini");
  EXPECT_EQ(SettingsPath(executable, std::nullopt, FakeEnvironment({})), executable.parent_path() / "quillfern.ini");
}

}  // namespace
}  // namespace qf
