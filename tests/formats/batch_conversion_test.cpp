#include "formats/batch_conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_format.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

void MakeFile(const fs::path& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }

std::string Content(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = test::ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// "name lng lat" of every row, as the file reads back.
std::vector<std::string> Pois(const fs::path& path, FileFormat format = FileFormat::Ov2) {
  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
  EXPECT_EQ(RunFileOperation(document, FileOperation::Open, format, path, settings, port), 0) << path;
  std::vector<std::string> pois;
  for (int row = 0; row < document.rowCount(); ++row) {
    pois.push_back(Utf16ToUtf8(document.text(row, kName)) + " " + Utf16ToUtf8(document.text(row, kLng)) + " " +
                   Utf16ToUtf8(document.text(row, kLat)));
  }
  return pois;
}

void MakeOv2(const fs::path& path, std::u16string_view name, std::u16string_view lng = u"4.5",
             std::u16string_view lat = u"52.1") {
  PoiDocument document;
  const int row = AppendPoi(document, name, false);
  SetCoordinateText(document, row, kLng, lng, false);
  SetCoordinateText(document, row, kLat, lat, false);
  AppSettings settings;
  test::ScriptedUserPort port;
  ASSERT_EQ(RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, path, settings, port), 0);
}

using test::CancellingPort;

class BatchConversionTest : public ::testing::Test {
 protected:
  ConvertFolderResult convert(FileFormat target) { return ConvertFolder(dir, target, settings, port, collect); }

  fs::path dir = test::TempDir();
  AppSettings settings;
  test::ScriptedUserPort port;
  std::vector<std::u16string> status;
  StatusLine collect = [this](std::u16string_view text) { status.emplace_back(text); };
};

TEST_F(BatchConversionTest, ConvertsTheSourcesOfTheFolderToOv2) {
  MakeFile(dir / "a.CSV", "4.5,52.1,Alpha\r\n");
  MakeFile(dir / "b.txt", "Beta\t4.6\t52.2\t\tmemo\n");
  MakeFile(dir / "c.csv", ";Longitude,Latitude,Name\r\n; nothing else\r\n");
  MakeOv2(dir / "d.ov2", u"Delta");
  MakeFile(dir / "e.doc", "4.5,52.1,Echo\r\n");
  MakeFile(dir / "f", "4.5,52.1,Foxtrot\r\n");
  MakeFile(dir / ".g.csv", "4.5,52.1,Golf\r\n");
  fs::create_directory(dir / "h.csv");
  const std::string delta = Content(dir / "d.ov2");

  const ConvertFolderResult result = convert(FileFormat::Ov2);
  EXPECT_EQ(result.messageId, 0);
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(Pois(dir / "a.ov2"), std::vector<std::string>{"Alpha 4.50000 52.10000"});
  EXPECT_EQ(Pois(dir / "b.ov2"), std::vector<std::string>{"Beta 4.60000 52.20000"});
  EXPECT_EQ(Content(dir / "d.ov2"), delta);
  // A file without POIs gives no output; nothing else is left behind.
  EXPECT_EQ(Names(dir), (std::set<std::string>{".g.csv", "a.CSV", "a.ov2", "b.ov2", "b.txt", "c.csv", "d.ov2", "e.doc",
                                               "f", "h.csv"}));
  EXPECT_EQ(status, (std::vector<std::u16string>{
                        u"Converting files...",
                        u"Converted 0 files, converting: a.CSV, press Esc to stop...",
                        u"Converted 1 files, converting: b.txt, press Esc to stop...",
                        u"Converted 2 files, converting: c.csv, press Esc to stop...",
                    }));
  EXPECT_TRUE(port.overwritePaths.empty());
  EXPECT_EQ(port.progressCalls, 0);
}

TEST_F(BatchConversionTest, OnlyOv2FilesConvertToTheChosenTargetWithDecimalCoordinates) {
  // The display form of coordinates never reaches the files.
  settings.set(Switch::DmsFormat, true);
  MakeOv2(dir / "x.OV2", u"Alpha", u"4.12345", u"-52.12345");
  MakeFile(dir / "y.txt", "Beta\t4.6\t52.2\n");
  const struct {
    FileFormat target;
    const char* output;
    std::string start;
  } cases[] = {
      {FileFormat::CsvUtf8, "x.csv",
       "\xEF\xBB\xBF"
       "4.12345,-52.12345,Alpha\r\n"},
      {FileFormat::AscAnsi, "x.asc", "4.12345,-52.12345,"},
      {FileFormat::TxtUnicode, "x.txt", "\xFF\xFE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const ConvertFolderResult result = convert(c.target);
    EXPECT_EQ(result.messageId, 0);
    EXPECT_EQ(result.count, 1);
    EXPECT_EQ(Content(dir / c.output).substr(0, c.start.size()), c.start);
    EXPECT_EQ(Pois(dir / c.output, ReadFormatForPath(dir / c.output)),
              std::vector<std::string>{"Alpha 4.12345 -52.12345"});
  }
  EXPECT_FALSE(fs::exists(dir / "y.ov2"));
  EXPECT_FALSE(fs::exists(dir / "y.csv"));
}

TEST_F(BatchConversionTest, ExistingOutputsAreReplacedOnlyAsAnswered) {
  using enum OverwriteAnswer;
  const struct {
    std::vector<OverwriteAnswer> answers;
    int asked;
    std::set<int> replaced;
    int count;
  } cases[] = {
      {{Yes, No, Cancel}, 3, {1}, 1},
      {{No, YesToAll}, 2, {2, 3, 4}, 4},
      {{Yes, NoToAll}, 2, {1}, 2},
      {{}, 4, {}, 1},  // no answer: No
  };
  for (const auto& c : cases) {
    const fs::path folder = test::TempDir();
    for (int i = 1; i <= 5; ++i) {
      MakeFile(folder / (std::to_string(i) + ".csv"), "4.5,52.1,New\r\n");
      if (i <= 4) MakeFile(folder / (std::to_string(i) + ".ov2"), "old");
    }
    test::ScriptedUserPort answering;
    answering.overwriteAnswers.assign(c.answers.begin(), c.answers.end());
    const ConvertFolderResult result = ConvertFolder(folder, FileFormat::Ov2, settings, answering);
    EXPECT_EQ(result.messageId, 0);
    EXPECT_EQ(result.count, c.count);
    ASSERT_EQ(answering.overwritePaths.size(), static_cast<std::size_t>(c.asked));
    EXPECT_EQ(answering.overwritePaths[0], Utf8ToUtf16((folder / "1.ov2").string()));
    for (int i = 1; i <= 4; ++i) {
      const fs::path output = folder / (std::to_string(i) + ".ov2");
      EXPECT_EQ(Content(output) != "old", c.replaced.contains(i)) << output;
    }
    // The one new output is written unless Cancel ended the run before it.
    EXPECT_EQ(fs::exists(folder / "5.ov2"), c.answers.empty() || c.answers.back() != Cancel);
  }
}

TEST_F(BatchConversionTest, EscStopsBetweenFilesAndKeepsTheFilesWritten) {
  for (const char* name : {"a.ov2", "b.ov2", "c.ov2", "d.ov2"}) MakeOv2(dir / name, u"POI");
  CancellingPort cancelling(2);
  const ConvertFolderResult result = ConvertFolder(dir, FileFormat::TxtUtf8, settings, cancelling);
  EXPECT_EQ(result.messageId, 0);
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(Pois(dir / "a.txt", FileFormat::TxtDetect), std::vector<std::string>{"POI 4.50000 52.10000"});
  EXPECT_TRUE(fs::exists(dir / "b.txt"));
  EXPECT_FALSE(fs::exists(dir / "c.txt"));
  EXPECT_FALSE(fs::exists(dir / "d.txt"));
}

TEST_F(BatchConversionTest, FirstFailureEndsTheRunAndNamesTheFile) {
  MakeOv2(dir / "a.ov2", u"First");
  fs::copy_file(test::CorpusPath("malformed/stations_PL.ov2"), dir / "b.ov2");
  MakeOv2(dir / "c.ov2", u"Third");
  ConvertFolderResult result = convert(FileFormat::CsvAnsi);
  EXPECT_EQ(result.messageId, kWrongContent);
  EXPECT_EQ(result.name, u"b.ov2");
  EXPECT_EQ(result.count, 1);
  EXPECT_EQ(Pois(dir / "a.csv", FileFormat::CsvDetect), std::vector<std::string>{"First 4.50000 52.10000"});
  EXPECT_FALSE(fs::exists(dir / "b.csv"));
  EXPECT_FALSE(fs::exists(dir / "c.csv"));

  // An output that cannot be created is named with its path.
  fs::remove(dir / "b.ov2");
  fs::remove(dir / "a.csv");
  fs::create_directory(dir / "c.csv");
  port.overwriteAnswers = {OverwriteAnswer::Yes};
  result = convert(FileFormat::CsvAnsi);
  EXPECT_EQ(result.messageId, kCannotSave);
  EXPECT_EQ(result.name, Utf8ToUtf16((dir / "c.csv").string()));
  EXPECT_EQ(result.reason, std::errc::is_a_directory);
  EXPECT_EQ(result.count, 1);

  EXPECT_EQ(ConvertFolder(dir / "missing", FileFormat::Ov2, settings, port).messageId, kDiskStructureWrong);
}

TEST_F(BatchConversionTest, ReadOnlyOutputIsReplacedAndBecomesWritable) {
  MakeFile(dir / "a.csv", "4.5,52.1,New\r\n");
  MakeOv2(dir / "a.ov2", u"Old");
  fs::permissions(dir / "a.ov2", fs::perms::owner_read | fs::perms::group_read);
  port.overwriteAnswers = {OverwriteAnswer::Yes};
  EXPECT_EQ(convert(FileFormat::Ov2).count, 1);
  EXPECT_EQ(Pois(dir / "a.ov2"), std::vector<std::string>{"New 4.50000 52.10000"});
  EXPECT_EQ(fs::status(dir / "a.ov2").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(BatchConversionTest, SymbolicLinksAreNeverFollowed) {
  const fs::path outside = test::TempDir();
  MakeFile(outside / "in.csv", "4.5,52.1,Outside\r\n");
  MakeFile(outside / "target.ov2", "precious");
  fs::create_symlink(outside / "in.csv", dir / "link.csv");
  fs::create_symlink(outside, dir / "folder.csv");
  // An output name held by a link is never written through.
  MakeFile(dir / "out.csv", "4.5,52.1,Inside\r\n");
  fs::create_symlink(outside / "target.ov2", dir / "out.ov2");
  port.overwriteAnswers = {OverwriteAnswer::YesToAll};

  const ConvertFolderResult result = convert(FileFormat::Ov2);
  EXPECT_EQ(result.messageId, kCannotSave);
  EXPECT_EQ(result.name, Utf8ToUtf16((dir / "out.ov2").string()));
  EXPECT_EQ(result.reason.message(), "Not a regular file");
  EXPECT_EQ(result.count, 0);
  EXPECT_EQ(Content(outside / "target.ov2"), "precious");
  EXPECT_TRUE(fs::is_symlink(dir / "out.ov2"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link.ov2")));
  EXPECT_EQ(Names(outside), (std::set<std::string>{"in.csv", "target.ov2"}));
}

// Depends on the KML reader: a Placemark with a name and a point is one POI.
TEST_F(BatchConversionTest, KmlPlacemarksConvertToOv2) {
  MakeFile(dir / "a.kml",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>\n"
           "<Placemark><name>A</name><Point><coordinates>4.5,52.1</coordinates></Point></Placemark>\n"
           "</Document></kml>\n");
  MakeFile(dir / "b.csv", "4.6,52.2,B\r\n");
  MakeOv2(dir / "c.ov2", u"C");
  MakeFile(dir / "d.doc", "x");
  const ConvertFolderResult result = convert(FileFormat::Ov2);
  EXPECT_EQ(result.messageId, 0);
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(Pois(dir / "a.ov2"), std::vector<std::string>{"A 4.50000 52.10000"});
  EXPECT_EQ(Pois(dir / "b.ov2"), std::vector<std::string>{"B 4.60000 52.20000"});
}

}  // namespace
}  // namespace qf
