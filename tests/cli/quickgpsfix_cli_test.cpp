// quillfern-cli quickgpsfix as a user runs it, against an ephemeris service of the test's own.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fakes/fake_ephemeris_server.h"
#include "cli/cli_run.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

using test::CliRun;

CliRun Cli(const fs::path& dir, const std::string& arguments) { return test::RunCli(dir, arguments); }

std::string ReadText(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(QuickGpsFixCli, UpdatesTheRecognisedChipAndSaysWhyItCannot) {
  test::FakeEphemerisServer server;
  const std::string cabinet = test::CabinetOf({{"packedephemeris.ee", "new sirf"}, {"ee_meta.txt", "meta"}});
  server.answer(cabinet);
  const fs::path dir = test::TempDir();
  const fs::path drive = dir / "drive";
  fs::create_directories(drive / "ephem");
  std::ofstream(drive / "ephem/packedephemeris.ee") << "old";
  const std::string host = " --ephemeris-host " + server.url();

  const CliRun run = Cli(dir, "quickgpsfix '" + drive.string() + "'" + host);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Updated the ephemeris file\n");
  EXPECT_NE(run.err.find("Downloading the ephemeris file... " + std::to_string(cabinet.size()) + " bytes"),
            std::string::npos);
  EXPECT_EQ(ReadText(drive / "ephem/packedephemeris.ee"), "new sirf");
  EXPECT_EQ(server.targets().at(0), "/download/Ephemeris.cab?type=ephemeris&eeProvider=SiRFStarIII&devicecode=2");

  struct Case {
    std::string arguments;
    int status;
    std::string message;
  };
  const fs::path empty = dir / "empty";
  fs::create_directories(empty);
  const Case cases[] = {
      {"quickgpsfix '" + empty.string() + "'" + host, 1, "Can not recognize the chip of GPS device"},
      {"quickgpsfix '" + empty.string() + "' --chip global", 1, "Can not connect to the home of TomTom"},
      {"quickgpsfix '" + empty.string() + "' --chip global" + host, 1, "Can not update the ephemeris file"},
      {"quickgpsfix '" + empty.string() + "' --chip other", 2, "--chip takes global or sirf"},
      {"quickgpsfix", 2, "quickgpsfix: missing DRIVE"},
  };
  for (const Case& c : cases) {
    const CliRun failed = Cli(dir, c.arguments);
    EXPECT_EQ(failed.status, c.status) << c.arguments;
    EXPECT_NE(failed.err.find(c.message), std::string::npos) << c.arguments << "\n" << failed.err;
  }
  EXPECT_FALSE(fs::exists(empty / "ephem/lto.dat"));
}

}  // namespace
}  // namespace qf
