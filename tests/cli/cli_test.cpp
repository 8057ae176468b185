// quillfern-cli as a user runs it: exit status, what it prints, what it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  // Runs the tool with a settings file of its own, so the user's settings never leak in.
  CliRun cli(const std::string& arguments) {
    const fs::path err = dir / "stderr.txt";
    const std::string command = std::string("'") + QUILLFERN_CLI + "' " + arguments + " --settings '" +
                                (dir / "settings.ini").string() + "' 2>'" + err.string() + "'";
    CliRun run{};
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    run.status = WEXITSTATUS(pclose(pipe));
    std::stringstream text;
    text << std::ifstream(err).rdbuf();
    run.err = text.str();
    return run;
  }
  std::string corpus(const char* file) { return "'" + test::CorpusPath(file).string() + "'"; }

  fs::path dir = test::TempDir();
};

TEST_F(CliTest, UsageWithoutArgumentsAndForUnknownOptions) {
  CliRun run = cli("");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Usage: quillfern-cli COMMAND"), std::string::npos);
  EXPECT_EQ(cli("convert --bogus a b").status, 2);
  EXPECT_EQ(cli("frobnicate x").status, 2);
  EXPECT_EQ(cli("--help").status, 0);
}

TEST_F(CliTest, InfoDescribesTheFile) {
  const CliRun run = cli("info " + corpus("ov2/tomtom.ov2"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("POIs: 54\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Kind: ordinary POI document\n"), std::string::npos);
  EXPECT_NE(run.out.find("Signal mark: absent\n"), std::string::npos);
  EXPECT_NE(run.out.find("Records: type 1: 7, type 2: 54\n"), std::string::npos);
  EXPECT_NE(run.out.find("Bounding box: west 6.17"), std::string::npos);
  EXPECT_NE(cli("info " + corpus("ov2/Speed_Cameras.ov2")).out.find("POIs: 60\n"), std::string::npos);
}

TEST_F(CliTest, GarminFilesConvertToOv2) {
  const fs::path out = dir / "garmin.gpi";
  const CliRun run = cli("convert " + corpus("gpi/garmin_gpi.gpi") + " '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  // A Garmin file cannot be written, so the output becomes an OV2 file.
  EXPECT_FALSE(fs::exists(out));
  EXPECT_NE(cli("info '" + (dir / "garmin.ov2").string() + "'").out.find("POIs: 86\n"), std::string::npos);
}

TEST_F(CliTest, PhonebooksConvertWithTheirFormatNumber) {
  std::ofstream(dir / "phones.txt", std::ios::binary) << "\"Anna\",\"+31 20 555\",\"CELL\"\r\n";
  const std::string out = "'" + (dir / "copy.txt").string() + "'";
  ASSERT_EQ(cli("convert --input-format 2 --format 2 '" + (dir / "phones.txt").string() + "' " + out).status, 0);
  const CliRun info = cli("info --input-format 2 " + out);
  EXPECT_NE(info.out.find("Kind: phonebook document\n"), std::string::npos) << info.out;
  EXPECT_EQ(cli("cat --input-format 2 " + out).out, "Anna\t\t\t+31 20 555\tCell\n");
}

TEST_F(CliTest, TextFilesConvertInTheChosenEncoding) {
  const fs::path out = dir / "pois.csv";
  ASSERT_EQ(cli("convert --encoding utf8 " + corpus("text/tomtom_poi.asc") + " '" + out.string() + "'").status, 0);
  const CliRun info = cli("info '" + out.string() + "'");
  EXPECT_NE(info.out.find("Format: Text Files, UTF-8 Comma Separated\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("POIs: 86\n"), std::string::npos);
  EXPECT_EQ(cli("convert --encoding latin9 a.ov2 b.csv").status, 2);
}

TEST_F(CliTest, ConvertRoundTripsAndCatShowsTheRows) {
  const std::string out = "'" + (dir / "out.ov2").string() + "'";
  ASSERT_EQ(cli("convert " + corpus("ov2/pinpoi_test.ov2") + " " + out + " --no-optimise").status, 0);
  const CliRun tsv = cli("cat " + out);
  ASSERT_EQ(tsv.status, 0);
  EXPECT_EQ(tsv.out.substr(0, tsv.out.find('\n')), "New York City\t-74.00638\t40.71417\t\t");
  const CliRun json = cli("cat --json --compass " + out);
  EXPECT_NE(json.out.find(R"({"name": "New York City", "lng": "W 74.00638", "lat": "N 40.71417", "tel": "", )"
                          R"("memo": ""})"),
            std::string::npos)
      << json.out;
}

TEST_F(CliTest, ErrorsNameTheFileAndWriteNothing) {
  const fs::path out = dir / "never.ov2";
  const CliRun run = cli("convert " + corpus("malformed/stations_PL.ov2") + " '" + out.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("The content of the file is wrong"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("stations_PL.ov2"), std::string::npos);
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(fs::exists(out));

  const CliRun unwritable = cli("convert " + corpus("ov2/tomtom.ov2") + " '" + (dir / "out.kml").string() + "'");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("Google Earth Files (format 3) cannot be written"), std::string::npos);

  const CliRun missing = cli("info '" + (dir / "missing.ov2").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Can not open the file"), std::string::npos);
}

TEST_F(CliTest, DuplicatesCanBeEliminatedWhileReading) {
  const std::string out = "'" + (dir / "twice.ov2").string() + "'";
  ASSERT_EQ(cli("convert " + corpus("ov2/tomtom.ov2") + " " + out).status, 0);
  const std::string both = "'" + (dir / "both.ov2").string() + "'";
  // Concatenated OV2 files are a valid OV2 file holding every POI twice.
  std::ofstream(dir / "both.ov2", std::ios::binary)
      << std::ifstream(dir / "twice.ov2", std::ios::binary).rdbuf();
  std::ofstream(dir / "both.ov2", std::ios::binary | std::ios::app)
      << std::ifstream(dir / "twice.ov2", std::ios::binary).rdbuf();
  EXPECT_NE(cli("info " + both).out.find("POIs: 108\n"), std::string::npos);
  const CliRun run = cli("info --check-names --duplicates=eliminate " + both);
  EXPECT_NE(run.out.find("POIs: 54\n"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("Eliminated 54 duplicate POIs"), std::string::npos) << run.err;
}

TEST_F(CliTest, TranslateNamesRenamesTheDeviceFilesOfAFolder) {
  const fs::path device = dir / "device";
  fs::create_directory(device);
  std::ofstream(device / "中.ov2") << "x";
  std::ofstream(device / "中.txt") << "x";
  const std::string folder = "'" + device.string() + "'";
  const CliRun there = cli("translate-names " + folder + " --to tomtom");
  ASSERT_EQ(there.status, 0) << there.err;
  EXPECT_EQ(there.out, "Translated 1 files/folders\n");
  EXPECT_TRUE(fs::exists(device / "}J+O.ov2"));
  EXPECT_TRUE(fs::exists(device / "中.txt"));

  std::ofstream(device / "中.ov2") << "new";
  const CliRun clash = cli("translate-names " + folder + " --to tomtom");
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.err.find("The name for file/folder already exists: }J+O.ov2"), std::string::npos) << clash.err;
  fs::remove(device / "中.ov2");

  EXPECT_EQ(cli("translate-names " + folder + " --to windows").out, "Translated 1 files/folders\n");
  EXPECT_TRUE(fs::exists(device / "中.ov2"));

  const CliRun missing = cli("translate-names '" + (dir / "missing").string() + "' --to windows");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Disk structure is wrong"), std::string::npos) << missing.err;
  EXPECT_EQ(cli("translate-names " + folder).status, 2);
  EXPECT_EQ(cli("translate-names " + folder + " --to mac").status, 2);
}

TEST_F(CliTest, QueryNameShowsTheOtherForm) {
  EXPECT_EQ(cli("query-name --tomtom 中.ov2").out, "}J+O.ov2\n");
  EXPECT_EQ(cli("query-name --windows '}j+o.ov2'").out, "中.ov2\n");
  EXPECT_EQ(cli("query-name").status, 2);
  EXPECT_EQ(cli("query-name --tomtom a --windows b").status, 2);
}

}  // namespace
}  // namespace qf
