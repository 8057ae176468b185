// quillfern-cli as a user runs it: exit status, what it prints, what it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_run.h"
#include "fakes/fake_device.h"
#include "fakes/fake_geocoder.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

using test::CliRun;

class CliTest : public ::testing::Test {
 protected:
  // Runs the tool with a settings file of its own, so the user's settings never leak in, and with
  // `input` as its standard input.
  CliRun cli(const std::string& arguments, const std::string& input = "") {
    return test::RunCli(dir, arguments, input);
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

TEST_F(CliTest, WrongCommandLinesSayWhatIsWrongInOneLine) {
  const struct {
    const char* arguments;
    const char* problem;
  } cases[] = {
      {"xyz a.ov2", "unknown command 'xyz'"},
      {"convert", "convert: missing IN and OUT"},
      {"convert a.ov2", "convert: missing OUT"},
      {"info", "info: missing FILE"},
      {"cat a.ov2 b.ov2", "cat: unexpected argument 'b.ov2'"},
      {"info a.ov2 --bogus", "unknown option '--bogus'"},
      {"batch dir --to", "option '--to' needs a value"},
      {"check a.ov2 --near", "option '--near' needs a value"},
      {"batch dir", "batch needs --to ov2, kml, gpx, or csv, asc, poi or txt with -ansi, -unicode or -utf8"},
      {"batch dir --to ov2 --overwrite=maybe", "--overwrite takes ask, yes or no"},
      {"convert --format 22 a.ov2 b.ov2", "--format needs a format number from 0 to 21"},
      {"convert --encoding latin9 a.ov2 b.csv", "--encoding takes ansi, unicode or utf8"},
      {"query-name", "query-name needs either --tomtom NAME or --windows NAME"},
      {"geocode a.ov2", "geocode: missing OUT"},
      {"geocode a.ov2 b.ov2 --provider elsewhere", "--provider takes nominatim or xml"},
      {"geocode a.ov2 b.ov2 --host", "option '--host' needs a value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CliRun run = cli(c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, std::string("quillfern-cli: ") + c.problem + "\nTry 'quillfern-cli --help'.\n");
    EXPECT_EQ(run.out, "");
  }
  const CliRun help = cli("help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, cli("--help").out);
  EXPECT_TRUE(help.out.starts_with("Usage: quillfern-cli COMMAND")) << help.out;
  const CliRun version = cli("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("quillfern-cli ") + QUILLFERN_VERSION + "\n");
}

// Only a known extension or --format says what to write; nothing is written as tab text unasked.
TEST_F(CliTest, ConvertRefusesAnOutputOfNoKnownFormat) {
  for (const char* name : {"out.xyz", "out", "out.ov2.bak"}) {
    SCOPED_TRACE(name);
    const fs::path out = dir / name;
    const CliRun run = cli("convert " + corpus("ov2/tomtom.ov2") + " '" + out.string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "quillfern-cli: cannot tell the format of '" + out.string() +
                           "' from its extension; use ov2, kml, gpx, csv, asc, poi or txt, or give --format N\n"
                           "Try 'quillfern-cli --help'.\n");
    EXPECT_FALSE(fs::exists(out));
  }
  const fs::path forced = dir / "out.xyz";
  ASSERT_EQ(cli("convert --format 4 " + corpus("ov2/tomtom.ov2") + " '" + forced.string() + "'").status, 0);
  EXPECT_NE(cli("info --input-format 4 '" + forced.string() + "'").out.find("POIs: 54\n"), std::string::npos);
  const fs::path text = dir / "OUT.TXT";
  ASSERT_EQ(cli("convert " + corpus("ov2/tomtom.ov2") + " '" + text.string() + "'").status, 0);
  EXPECT_NE(cli("info '" + text.string() + "'").out.find("Format: Text Files, ANSI Tab Separated\n"),
            std::string::npos);
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

TEST_F(CliTest, FavouritesWithAndWithoutHomeAndRecentDestinations) {
  // A Nav2 "MapSettings.cfg": per entry a header of 27 bytes with its kind (3 favourite, 4 home,
  // 7 recent) and position, then the chain to its name.
  std::string bytes = "\x11\x22";
  std::int32_t units = 490000;
  for (const auto& [kind, name] : {std::pair{'\3', "Office"}, {'\4', "Home sweet"}, {'\7', "Station"}}) {
    std::string entry(29, '\0');
    entry[0] = 4;
    entry[2] = kind;
    entry[6] = entry[16] = 8;
    for (int i = 0; i < 4; ++i) {
      entry[8 + i] = static_cast<char>(units >> 8 * i);
      entry[12 + i] = static_cast<char>((units + 4700000) >> 8 * i);
    }
    entry[26] = entry[27] = 27;
    entry[28] = static_cast<char>(std::string_view(name).size() + 27);
    bytes += entry + name;
    units += 1000;
  }
  bytes += std::string(8, '\0');
  const fs::path file = dir / "MapSettings.cfg";
  std::ofstream(file, std::ios::binary) << bytes;
  const std::string path = " '" + file.string() + "'";
  EXPECT_EQ(cli("cat --input-format 0" + path).out, "Office\t4.90000\t51.90000\t\t\n");
  EXPECT_EQ(cli("cat --input-format 0 --include-home" + path).out,
            "Office\t4.90000\t51.90000\t\tFavorite\n"
            "Home sweet\t4.91000\t51.91000\t\tHome\n"
            "Station\t4.92000\t51.92000\t\tRecent destination\n");
  EXPECT_EQ(cli("cat --include-home" + path).status, 2);  // only favourites have home destinations
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

// Settings that cannot be used are told on stderr, and the command runs with the defaults in their place.
TEST_F(CliTest, SettingsThatCannotBeUsedAreToldAndGiveWayToTheDefaults) {
  const fs::path in = dir / "cafe.csv";
  std::ofstream(in, std::ios::binary) << "\xEF\xBB\xBF" "2.35,48.85,Caf\xC3\xA9\r\n";
  const fs::path large = dir / "large.ini";
  const fs::path utf8 = dir / "utf8.ini";
  std::ofstream(large, std::ios::binary) << std::string(2 << 20, '\n') << "[Options]\nCode Page=1251\n";
  std::ofstream(utf8, std::ios::binary) << "[Options]\nCode Page=65001\n";
  const struct {
    fs::path settings;
    std::string warning;  // empty: none
  } cases[] = {
      {dir / "missing.ini", ""},
      {dir, "quillfern-cli: The settings file is not a file: The default settings are used: " + dir.string() + "\n"},
      {large, "quillfern-cli: The settings file is larger than 1 MB: The default settings are used: " + large.string() +
                  "\n"},
      {utf8, "quillfern-cli: The code page of ANSI text files must be 874, 932, 936, 949, 950 or 1250 to 1258: "
             "Code page "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings);
    const fs::path out = dir / "out.csv";
    const CliRun run =
        cli("convert --encoding ansi '" + in.string() + "' '" + out.string() + "' --settings '" + c.settings.string() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.starts_with(c.warning)) << run.err;
    EXPECT_EQ(run.err.empty(), c.warning.empty()) << run.err;
    // Every ANSI code page has one byte for the é (a letter or '?'); UTF-8 would take two.
    EXPECT_EQ(test::ReadBytes(out).size(), std::string("2.35000,48.85000,Caf?\r\n").size());
  }
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

TEST_F(CliTest, ConvertCountsThePoisWrittenAndTellsThoseLeftOut) {
  const fs::path file = dir / "pois.txt";
  std::ofstream(file, std::ios::binary) << "Alpha\t121.5\t25.033\t020 555\r\nBeta\t\t25\r\nGamma\t121.6\t25.1\r\n";
  const struct {
    const char* output;
    const char* options;
    const char* out;
    const char* err;
  } cases[] = {
      {"all.ov2", "", "Wrote 3 POIs", ""},
      {"placed.gpx", "", "Wrote 2 POIs", "quillfern-cli: 1 POI without coordinates was not written\n"},
      {"placed.kml", "", "Wrote 2 POIs", "quillfern-cli: 1 POI without coordinates was not written\n"},
      {"phones.txt", "--format 2 ", "Wrote 1 POI",
       "quillfern-cli: 2 POIs without a telephone number were not written\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const fs::path out = dir / c.output;
    const CliRun run = cli(std::string("convert ") + c.options + "'" + file.string() + "' '" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string(c.out) + " to " + out.string() + "\n");
    EXPECT_EQ(run.err, c.err);
  }
  const CliRun fromOv2 = cli("convert '" + (dir / "all.ov2").string() + "' '" + (dir / "again.gpx").string() +
                                "' --input-format 1 --format 4");
  EXPECT_EQ(fromOv2.err, "quillfern-cli: 1 POI without coordinates was not written\n");

  // A folder's conversion tells them too.
  const fs::path folder = dir / "folder";
  fs::create_directory(folder);
  fs::copy_file(dir / "all.ov2", folder / "all.ov2");
  fs::copy_file(dir / "all.ov2", folder / "copy.ov2");
  const CliRun batch = cli("batch '" + folder.string() + "' --to gpx");
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(batch.out, "Converted 2 files\n");
  EXPECT_EQ(batch.err, "quillfern-cli: 2 POIs without coordinates were not written\n");
}

TEST_F(CliTest, ErrorsNameTheFileAndWriteNothing) {
  const fs::path out = dir / "never.ov2";
  const CliRun run = cli("convert " + corpus("malformed/stations_PL.ov2") + " '" + out.string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("The content of the file is wrong"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("stations_PL.ov2"), std::string::npos);
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(fs::exists(out));

  const CliRun unwritable =
      cli("convert --format 5 " + corpus("ov2/tomtom.ov2") + " '" + (dir / "out.gpi").string() + "'");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("Garmin POI Files (format 5) cannot be written"), std::string::npos)
      << unwritable.err;

  const CliRun missing = cli("info '" + (dir / "missing.ov2").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Can not open the file"), std::string::npos);

  // Bytes of no known kind under a GPX or KML name are no empty file of that format.
  for (const char* name : {"noise.gpx", "noise.kml"}) {
    test::WriteBytes(dir / name, {0x89, 'P', 'N', 'G', 0, 0xFF, 0x13, '<', 'x', '>'});
    const CliRun unknown = cli("convert '" + (dir / name).string() + "' '" + out.string() + "'");
    EXPECT_EQ(unknown.status, 1) << name;
    EXPECT_EQ(unknown.err, "quillfern-cli: The content of the file is unknown: " + (dir / name).string() + "\n");
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(CliTest, ReadOnlyTargetIsKeptAndTheOptionThatReplacesItIsNamed) {
  const fs::path out = dir / "locked.ov2";
  test::WriteBytes(out, {0, 5, 0, 0, 0});
  fs::permissions(out, fs::perms::owner_read);
  const std::string convert = "convert " + corpus("ov2/tomtom.ov2") + " '" + out.string() + "'";
  const CliRun kept = cli(convert);
  EXPECT_EQ(kept.status, 1);
  EXPECT_EQ(kept.err, "quillfern-cli: The file is read-only: " + out.string() +
                          ": Retry to save the file? (no)\nAdd --overwrite-read-only to replace a read-only file.\n");
  EXPECT_EQ(kept.out, "");
  EXPECT_EQ(fs::file_size(out), 5u);

  const CliRun replaced = cli(convert + " --overwrite-read-only");
  EXPECT_EQ(replaced.status, 0);
  EXPECT_EQ(replaced.err, "quillfern-cli: The file is read-only: " + out.string() + ": Retry to save the file? (yes)\n");
  EXPECT_GT(fs::file_size(out), 5u);
}

// A pipe is never read, which would wait for a writer for ever; a pipe or a device is never
// replaced, also not behind a link; and each refusal says why.
TEST_F(CliTest, OnlyRegularFilesAreReadOrReplaced) {
  const fs::path pipe = dir / "pipe.ov2";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  for (const char* options : {"", " --input-format 1"}) {
    const CliRun info = cli("info '" + pipe.string() + "'" + options);
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.err, "quillfern-cli: Can not open the file: " + pipe.string() + ": Not a regular file\n");
  }
  fs::create_symlink(pipe, dir / "link.ov2");
  std::vector<std::pair<fs::path, std::string>> targets = {
      {pipe, "Not a regular file"},
      {dir / "link.ov2", "Not a regular file"},
      {dir / "missing" / "out.ov2", "No such file or directory"},
  };
  // A device of its own: a test that failed must not destroy a device the system uses.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::mknod((dir / "device.ov2").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    targets.emplace_back(dir / "device.ov2", "Not a regular file");
  }
  for (const auto& [target, reason] : targets) {
    const CliRun convert = cli("convert " + corpus("ov2/tomtom.ov2") + " '" + target.string() + "'");
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.err, "quillfern-cli: Can not save the file: " + target.string() + ": " + reason + "\n");
  }
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ov2"));
  if (root) {
    EXPECT_TRUE(fs::is_character_file(dir / "device.ov2"));
  }
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

TEST_F(CliTest, BatchConvertsAFolderAndReportsTheCount) {
  const fs::path folder = dir / "pois";
  fs::create_directory(folder);
  std::ofstream(folder / "a.csv", std::ios::binary) << "4.5,52.1,A\r\n";
  std::ofstream(folder / "b.txt", std::ios::binary) << "B\t4.6\t52.2\n";
  std::ofstream(folder / "c.ov2", std::ios::binary) << "not read";
  std::ofstream(folder / "d.doc", std::ios::binary) << "4.5,52.1,D\r\n";
  const std::string batch = "batch '" + folder.string() + "' --to ";
  const CliRun run = cli(batch + "ov2");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Converted 2 files\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(cli("cat '" + (folder / "b.ov2").string() + "'").out, "B\t4.60000\t52.20000\t\t\n");

  std::ofstream(folder / "a.ov2", std::ios::binary) << "old";
  const CliRun no = cli(batch + "ov2 --overwrite=no");
  EXPECT_EQ(no.out, "Converted 0 files\n");
  EXPECT_NE(no.err.find("quillfern-cli: The file name already exists: " + (folder / "a.ov2").string() +
                        ": Overwrite it with the new file? (no)\n"),
            std::string::npos)
      << no.err;
  // Answers may come from a pipe; its end answers no.
  EXPECT_EQ(cli(batch + "ov2", "maybe\nn\n").out, "Converted 0 files\n");
  EXPECT_EQ(cli(batch + "ov2").out, "Converted 0 files\n");
  const CliRun all = cli(batch + "ov2", "a\n");
  EXPECT_EQ(all.out, "Converted 2 files\n");
  EXPECT_EQ(cli("cat '" + (folder / "a.ov2").string() + "'").out, "A\t4.50000\t52.10000\t\t\n");

  fs::remove(folder / "c.ov2");
  ASSERT_EQ(cli(batch + "csv-utf8 --overwrite=yes").out, "Converted 2 files\n");
  EXPECT_EQ(test::ReadBytes(folder / "b.csv")[0], 0xEF);

  EXPECT_EQ(cli(batch + "csv").status, 2);
  EXPECT_EQ(cli(batch + "tomtom").status, 2);
  EXPECT_EQ(cli("batch '" + folder.string() + "'").status, 2);
  EXPECT_EQ(cli(batch + "ov2 --overwrite=maybe").status, 2);
  const CliRun missing = cli("batch '" + (dir / "missing").string() + "' --to ov2");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Disk structure is wrong"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");
}

TEST_F(CliTest, BatchStopsAtCtrlCAndStillReportsTheCount) {
  const fs::path folder = dir / "pois";
  fs::create_directory(folder);
  for (const char* name : {"a.csv", "b.csv", "c.csv"}) std::ofstream(folder / name) << "4.5,52.1,P\r\n";
  std::ofstream(folder / "b.ov2") << "old";
  // a.csv is converted, then the tool waits for an answer about b.ov2: Ctrl+C ends the run there.
  int in[2], out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  const fs::path err = dir / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  const std::string settings = (dir / "settings.ini").string();
  const char* argv[] = {QUILLFERN_CLI, "batch", folder.c_str(), "--to", "ov2", "--settings", settings.c_str(), nullptr};
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, QUILLFERN_CLI, &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  std::string prompt;
  for (int wait = 0; wait < 1000 && prompt.find("[c]ancel: ") == std::string::npos; ++wait) {
    usleep(10000);
    std::stringstream text;
    text << std::ifstream(err).rdbuf();
    prompt = text.str();
  }
  ASSERT_NE(prompt.find("b.ov2"), std::string::npos) << prompt;
  kill(pid, SIGINT);
  std::string printed;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) printed.append(buffer, static_cast<std::size_t>(n));
  int status = 0;
  waitpid(pid, &status, 0);
  close(in[1]);
  close(out[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(printed, "Converted 1 files\n");
  EXPECT_TRUE(fs::exists(folder / "a.ov2"));
  EXPECT_EQ(test::ReadBytes(folder / "b.ov2").size(), 3u);
  EXPECT_FALSE(fs::exists(folder / "c.ov2"));
}

TEST_F(CliTest, QueryNameShowsTheOtherForm) {
  EXPECT_EQ(cli("query-name --tomtom 中.ov2").out, "}J+O.ov2\n");
  EXPECT_EQ(cli("query-name --windows '}j+o.ov2'").out, "中.ov2\n");
  EXPECT_EQ(cli("query-name").status, 2);
  EXPECT_EQ(cli("query-name --tomtom a --windows b").status, 2);
}

TEST_F(CliTest, CheckPrintsEachStageGroupInOrder) {
  const fs::path file = dir / "pois.asc";
  std::ofstream(file, std::ios::binary) << "121.50000,25.03300,\"Alpha\"\r\n"
                                           ",25.00000,\"Beta\"\r\n"
                                           "121.60000,25.10000,\"Delta\"\r\n"
                                           "121.50000,25.03310,\"alpha centre\"\r\n";
  const CliRun run = cli("check --similar --near 0.02km --empty '" + file.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Empty Coordinates of POIs\n2\tBeta\t\t25.00000\t\t\t\t\n\n"
            "Near Distances of POIs\n1\tAlpha\t121.50000\t25.03300\t\t\t\t\n"
            "4\talpha centre\t121.50000\t25.03310\t\t\t11    m\t1\n\n"
            "Similar Names of POIs\n1\tAlpha\t121.50000\t25.03300\t\t\t\t\n"
            "4\talpha centre\t121.50000\t25.03310\t\t\t\t1\n\n"
            "Finished checking the POI data\n");
  // 11 metres apart: within 40 feet, not within 10 metres.
  EXPECT_NE(cli("check --near 40ft '" + file.string() + "'").out.find("Near Distances"), std::string::npos);
  EXPECT_EQ(cli("check --near 10m '" + file.string() + "'").out, "Finished checking the POI data\n");
}

// The distances listed are in the unit the user asked in, whatever the "Metric Unit" setting says.
TEST_F(CliTest, CheckListsDistancesInTheUnitOfNear) {
  const fs::path file = dir / "pois.asc";
  std::ofstream(file, std::ios::binary) << "121.50000,25.03300,\"Alpha\"\r\n"
                                           "121.50000,25.03310,\"Alpha centre\"\r\n"
                                           "121.50000,25.05300,\"Far\"\r\n";
  const struct {
    bool metricSetting;
    const char* near;
    const char* distance;
  } cases[] = {
      {false, "100m", "11    m"}, {false, "0.05km", "11    m"}, {false, "3km", "2.2  km"},
      {true, "40ft", "36    ft"}, {true, "0.01mi", "36    ft"}, {true, "2mi", "1.4  mi"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.near);
    std::ofstream(dir / "settings.ini") << "[Options]\nMetric Unit=" << c.metricSetting << "\n";
    const CliRun run = cli(std::string("check --near ") + c.near + " '" + file.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(std::string("\t") + c.distance + "\t1\n"), std::string::npos) << run.out;
  }
}

// n rows at one place, or of one name, are one set of n rows, not n groups of n(n-1)/2 rows in all;
// a chain of rows each near the next is one set too.
TEST_F(CliTest, CheckListsEachSetOnce) {
  const fs::path file = dir / "pois.asc";
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 300; ++i) out << "4.90000,52.37000,\"Same\"\r\n";
    for (int i = 0; i < 5; ++i) out << "10.0000" << i << ",0.00000,\"Chain " << i << "\"\r\n";
  }
  const CliRun run = cli("check --near 1m --similar '" + file.string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines;
  std::istringstream in(run.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), (1 + 300 + 1) + (1 + 5 + 1) + (1 + 300 + 1) + 1) << run.out.substr(0, 1000);
  EXPECT_EQ(lines[1], "1\tSame\t4.90000\t52.37000\t\t\t\t");
  EXPECT_EQ(lines[300], "300\tSame\t4.90000\t52.37000\t\t\t0    m\t1");
  EXPECT_EQ(lines[302], "Near Distances of POIs");
  EXPECT_EQ(lines[304], "302\tChain 1\t10.00001\t0.00000\t\t\t1    m\t301");
  EXPECT_EQ(lines[309], "Similar Names of POIs");
  EXPECT_EQ(lines[311], "2\tSame\t4.90000\t52.37000\t\t\t\t1");
}

TEST_F(CliTest, CheckRejectsMissingChecksAndMalformedDistances) {
  const fs::path file = dir / "pois.asc";
  std::ofstream(file, std::ios::binary) << "1.00000,2.00000,\"A\"\r\n";
  for (const char* arguments : {"", "--near 5", "--near km", "--near -1m", "--near 1e3m", "--near 2 parsecs"}) {
    const CliRun run = cli(std::string("check ") + arguments + " '" + file.string() + "'");
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.out.empty()) << arguments;
  }
  EXPECT_EQ(cli("check --empty '" + (dir / "missing.asc").string() + "'").status, 1);
}

// The rows that lack coordinates get them from a geocoder of the XML protocol, here a fake one on
// 127.0.0.1; the rows that have them are not asked about.
TEST_F(CliTest, GeocodeFillsInTheMissingCoordinatesAndWritesTheResult) {
  test::FakeGeocoder geocoder;
  geocoder.script({{.status = 200,
                    .body = "<GeocodeResponse><status>OK</status><result><formatted_address>1 Main St, Springfield, "
                            "USA</formatted_address><geometry><location><lat>39.8</lat><lng>-89.6</lng></location>"
                            "</geometry></result></GeocodeResponse>",
                    .dropped = false}});
  const fs::path in = dir / "in.txt";
  const fs::path out = dir / "out.txt";
  std::ofstream(in, std::ios::binary) << "Office\t\t\t\t1 Main St, Springfield\r\nHome\t4.89\t52.37\t\tDam\r\n";
  const CliRun run = cli("geocode --provider xml --host " + geocoder.url() + " '" + in.string() + "' '" +
                         out.string() + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Wrote 2 POIs to " + out.string() + "\n");
  ASSERT_EQ(geocoder.requests().size(), 1u);
  EXPECT_EQ(geocoder.requests()[0].target, "/maps/api/geocode/xml?address=1%20Main%20St,%20Springfield&sensor=false");
  EXPECT_EQ(cli("cat '" + out.string() + "'").out,
            "Office\t-89.60000\t39.80000\t\t1 Main St, Springfield\nHome\t4.89000\t52.37000\t\tDam\n");

  // A service that hangs up ends the run with a message; the file is still written.
  geocoder.script({{.status = 200, .body = "<Geo", .dropped = true}});
  std::ofstream(in, std::ios::binary) << "Office\t\t\t\t1 Main St, Springfield\r\n";
  const CliRun lost = cli("geocode --provider xml --host " + geocoder.url() + " '" + in.string() + "' '" +
                          out.string() + "'");
  EXPECT_EQ(lost.status, 1);
  EXPECT_NE(lost.err.find("quillfern-cli: Can not connect to " + geocoder.url() + "\n"), std::string::npos) << lost.err;
  EXPECT_EQ(cli("cat '" + out.string() + "'").out, "Office\t\t\t\t1 Main St, Springfield\n");
}

TEST_F(CliTest, DeviceListGetAndDelete) {
  test::FakeDevice device;
  device.setFile("Home.ov2", "HOME-OV2");
  device.setFile("Home.bmp", "BMHOME");
  device.setFile("notes.txt", "text");
  device.setFile("Work \x1b[2J.ov2", "WORK-OV2");  // a terminal escape in a device's name
  const std::string at = " --device-url http://" + device.address() + "/";
  CliRun run = cli("device list" + at);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Home\t2024-05-01 12:00\t8 bytes\tov2,bmp\nWork ?[2J\t2024-05-01 12:00\t8 bytes\tov2\n");

  const fs::path icon = dir / "icon.bmp";
  run = cli("device get Home.bmp '" + icon.string() + "'" + at);
  EXPECT_EQ(run.status, 0) << run.err;
  std::stringstream bytes;
  bytes << std::ifstream(icon, std::ios::binary).rdbuf();
  EXPECT_EQ(bytes.str(), "BMHOME");
  run = cli("device get Nowhere '" + (dir / "nowhere.ov2").string() + "'" + at);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillfern-cli: Can not read files from GPS device\n");
  EXPECT_FALSE(fs::exists(dir / "nowhere.ov2"));

  device.setDeletesFail(true);
  EXPECT_EQ(cli("device delete Home" + at).status, 1);
  device.setDeletesFail(false);
  EXPECT_EQ(cli("device delete Home" + at).status, 0);
  EXPECT_EQ(cli("device delete Home" + at).status, 1);  // nothing of that name left
  EXPECT_EQ(device.files().size(), 2u);

  const std::string gone = test::FakeDevice().address();
  run = cli("device list --device-url " + gone);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillfern-cli: Can not connect to GPS device\n");
  EXPECT_EQ(cli("device" + at).status, 2);
  EXPECT_EQ(cli("device get Home" + at).status, 2);
}

TEST_F(CliTest, DevicePutSendsTheFileAndItsCompanions) {
  test::FakeDevice device;
  const std::string at = " --device-url " + device.address();
  std::ofstream(dir / "Stops.ov2", std::ios::binary) << "OV2 bytes";
  std::ofstream(dir / "Stops.bmp", std::ios::binary) << "BM icon";
  CliRun run = cli("device put '" + (dir / "Stops.ov2").string() + "' --with bmp" + at);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(cli("device put '" + (dir / "Stops.ov2").string() + "' --with png" + at).status, 2);
  // A file of another format goes as an OV2 file made from it, with its companions.
  std::ofstream(dir / "Walk.gpx") << R"(<?xml version="1.0"?><gpx version="1.1"><wpt lat="52.5" lon="13.4"><name>Gate</name></wpt></gpx>)";
  std::ofstream(dir / "Walk.ogg", std::ios::binary) << "OggS sound";
  run = cli("device put '" + (dir / "Walk.gpx").string() + "' --with ogg" + at);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::map<std::string, std::string> files = device.files();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files.at("Stops.ov2"), "OV2 bytes");
  EXPECT_EQ(files.at("Stops.bmp"), "BM icon");
  EXPECT_EQ(files.at("Walk.ogg"), "OggS sound");
  std::ofstream(dir / "back.ov2", std::ios::binary) << files.at("Walk.ov2");
  EXPECT_EQ(cli("cat '" + (dir / "back.ov2").string() + "'").out, "Gate\t13.40000\t52.50000\t\t\n");
  device.setUploadAnswer("Result 507 Insufficient Storage");
  run = cli("device put '" + (dir / "Stops.ov2").string() + "'" + at);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillfern-cli: Memory space is not enough: Can not finish file associated operations\n");
}

}  // namespace
}  // namespace qf
