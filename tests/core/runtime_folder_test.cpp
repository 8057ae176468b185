#include "core/runtime_folder.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

TEST(RuntimeFolderTest, TheRuntimeFolderWhenThereIsOneElseTheTemporaryFolder) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::optional<std::string> before = saved ? std::optional<std::string>(saved) : std::nullopt;
  const fs::path runtime = test::TempDir();
  const struct {
    std::optional<std::string> value;
    fs::path expected;
  } cases[] = {
      {runtime.string(), runtime},
      {std::nullopt, fs::temp_directory_path()},
      {"", fs::temp_directory_path()},
      {(runtime / "gone").string(), fs::temp_directory_path()},
  };
  for (const auto& c : cases) {
    if (c.value) {
      setenv("XDG_RUNTIME_DIR", c.value->c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(RuntimeFolder(), c.expected) << c.value.value_or("(unset)");
  }
  if (before) {
    setenv("XDG_RUNTIME_DIR", before->c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
}  // namespace qf
