#include "startup/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

// This test's program plays one of ours when given this argument.
constexpr std::string_view kAsAProgram = "--as-a-program";

// Starts as our programs do, then tells whether it was started again with the heap's tunables and
// what GLIBC_TUNABLES now holds for the programs it would start.
int ReportAsAProgram(char** argv) {
  qf::UseHugePagesForHeap(argv);
  std::ifstream startEnvironment("/proc/self/environ", std::ios::binary);
  const std::string started{std::istreambuf_iterator<char>(startEnvironment), {}};
  const char* now = std::getenv("GLIBC_TUNABLES");
  std::printf("%s|%s", started.find("glibc.malloc.hugetlb=1") != std::string::npos ? "restarted" : "not restarted",
              now == nullptr ? "(unset)" : now);
  return 0;
}

std::string RunAsAProgram(const std::string& environment) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command = "env -u GLIBC_TUNABLES " + environment + " '" + self + "' " + std::string(kAsAProgram);
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[256];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0);
  return out;
}

TEST(HugePages, TheRestartedProgramLeavesTheEnvironmentAsTheUserHadIt) {
  const struct {
    const char* environment;
    const char* seen;
  } cases[] = {
      {"", "restarted|(unset)"},
      {"GLIBC_TUNABLES=glibc.malloc.arena_max=2", "restarted|glibc.malloc.arena_max=2"},
      {"GLIBC_TUNABLES=glibc.malloc.hugetlb=0", "not restarted|glibc.malloc.hugetlb=0"},  // the user's choice
  };
  for (const auto& c : cases) EXPECT_EQ(RunAsAProgram(c.environment), c.seen) << c.environment;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && argv[1] == kAsAProgram) return ReportAsAProgram(argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
