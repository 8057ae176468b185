#include "formats/file_pipeline.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

class FilePipelineTest : public ::testing::Test {
 protected:
  int run(FileOperation operation, const fs::path& path, FileFormat format = FileFormat::Ov2) {
    return RunFileOperation(document, operation, format, path, settings, port);
  }
  void addRow(std::u16string_view name, std::u16string_view lng = u"4.89", std::u16string_view lat = u"52.37") {
    const int row = AppendPoi(document, name, false);
    SetCoordinateText(document, row, kLng, lng, false);
    SetCoordinateText(document, row, kLat, lat, false);
  }
  fs::path saved(std::initializer_list<std::u16string_view> names, const std::string& file = "f.ov2") {
    PoiDocument other;
    std::swap(other, document);
    for (auto name : names) addRow(name);
    const fs::path path = dir / file;
    EXPECT_EQ(run(FileOperation::Save, path), 0);
    std::swap(other, document);
    return path;
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
  fs::path dir = test::TempDir();
};

TEST_F(FilePipelineTest, OpenSetsIdentityAndSelectsTheFirstRow) {
  const fs::path path = saved({u"A", u"B"}, "Two POIs.ov2");
  document.modified = true;
  ASSERT_EQ(run(FileOperation::Open, path), 0);
  EXPECT_EQ(document.rowCount(), 2);
  EXPECT_EQ(document.title, u"Two POIs");
  EXPECT_EQ(document.path, path);
  EXPECT_FALSE(document.modified);
  EXPECT_TRUE(document.rows[0].selected && document.rows[0].focused);
  EXPECT_FALSE(document.rows[1].selected);
  EXPECT_EQ(port.lastPercent, 100);
}

TEST_F(FilePipelineTest, FailedOpenLeavesAnEmptyUntitledDocument) {
  addRow(u"Old");
  const fs::path malformed = test::CorpusPath("malformed/stations_PL.ov2");
  EXPECT_EQ(run(FileOperation::Open, malformed), kWrongContent);
  EXPECT_EQ(document.rowCount(), 0);
  EXPECT_EQ(document.title, u"Untitled");
  EXPECT_TRUE(document.path.empty());
  EXPECT_FALSE(document.modified);
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_EQ(port.messages[0].second, u"The content of the file is wrong\n\n" + Utf8ToUtf16(malformed.string()));
  EXPECT_EQ(port.severities[0], Severity::Warning);

  EXPECT_EQ(run(FileOperation::Open, dir / "missing.ov2"), kCannotOpen);
  EXPECT_EQ(run(FileOperation::Open, dir), kCannotOpen);
}

TEST_F(FilePipelineTest, FailedImportKeepsTheRowsReadBeforeTheFailure) {
  addRow(u"Mine");
  ASSERT_EQ(run(FileOperation::Import, test::CorpusPath("malformed/stations_PL.ov2")), kWrongContent);
  EXPECT_GT(document.rowCount(), 1);
  EXPECT_TRUE(document.modified);
  EXPECT_FALSE(document.rows[0].selected);
  EXPECT_TRUE(document.rows.back().selected && document.rows.back().focused);
}

TEST_F(FilePipelineTest, ImportThatAddsNothingLeavesTheModifiedFlag) {
  const fs::path empty = dir / "empty.ov2";
  test::WriteBytes(empty, {});
  ASSERT_EQ(run(FileOperation::Import, empty), 0);
  EXPECT_FALSE(document.modified);
}

TEST_F(FilePipelineTest, DuplicateNamesAskOncePerOperationAndAreCounted) {
  settings.set(Switch::CheckName, true);
  const fs::path path = saved({u"Same", u"Other", u"Same", u"Same", u"same"});
  port.duplicateAnswers = {DuplicateAnswer::EliminateAll};
  ASSERT_EQ(run(FileOperation::Open, path), 0);
  EXPECT_EQ(document.rowCount(), 3);
  EXPECT_EQ(port.askedNames, std::vector<std::u16string>{u"Same"});
  EXPECT_TRUE(document.modified);
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_EQ(port.messages[0].first, kEliminatedDuplicates);
  EXPECT_EQ(port.messages[0].second, u"Eliminated 2 duplicate POIs");
  EXPECT_EQ(port.severities[0], Severity::Information);

  // A new operation asks again; rows already in the document count as existing.
  port.duplicateAnswers = {DuplicateAnswer::Eliminate, DuplicateAnswer::RetainAll};
  ASSERT_EQ(run(FileOperation::Import, path), 0);
  EXPECT_EQ(port.askedNames, (std::vector<std::u16string>{u"Same", u"Same", u"Other"}));
  EXPECT_EQ(document.rowCount(), 7);
}

TEST_F(FilePipelineTest, SaveReplacesTheFileAtomically) {
  addRow(u"New");
  const fs::path path = dir / "target.ov2";
  test::WriteBytes(path, {1, 2, 3});
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  document.modified = true;
  ASSERT_EQ(run(FileOperation::Save, path), 0);
  EXPECT_FALSE(document.modified);
  EXPECT_GT(fs::file_size(path), 3u);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Saving a phonebook document under another name and format must not make that file the
// document's: the next save would write phonebook text into it.
TEST_F(FilePipelineTest, PhonebookDocumentKeepsItsPathWhenSavedElsewhere) {
  addRow(u"Anna");
  document.kind = DocumentKind::Phonebook;
  document.path = dir / "phones.txt";
  document.title = u"phones";
  document.format = FileFormat::Phonebook;
  ASSERT_EQ(run(FileOperation::Save, dir / "out.kml", FileFormat::Kml), 0);
  EXPECT_EQ(document.path, dir / "phones.txt");
  EXPECT_EQ(document.title, u"phones");
  EXPECT_EQ(document.format, FileFormat::Phonebook);
}

// Also a read-only file that the user agreed to replace: it stays read-only.
TEST_F(FilePipelineTest, FailedSaveLeavesTheOldFileIntact) {
  for (int i = 0; i < 20000; ++i) addRow(u"A rather long name to fill the file " + Utf8ToUtf16(std::to_string(i)));
  const fs::path path = dir / "keep.ov2";
  const std::vector<std::uint8_t> old = {0, 5, 0, 0, 0};
  test::WriteBytes(path, old);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
  port.confirmAnswers = {true};
  document.modified = true;
  // A file-size limit makes the write fail part way, like a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit original{};
  getrlimit(RLIMIT_FSIZE, &original);
  rlimit limited = original;
  limited.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &limited);
  const int result = run(FileOperation::Save, path);
  setrlimit(RLIMIT_FSIZE, &original);
  EXPECT_EQ(result, kCannotWrite);
  EXPECT_EQ(test::ReadBytes(path), old);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read);
  EXPECT_TRUE(document.modified);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no temporary file is left";
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_EQ(port.messages[0].second, u"Disk access denied\nCan not create or write the file\n\n" +
                                         Utf8ToUtf16(path.string()) + u"\n\nFile too large");
}

// The system's reason follows the message on a line of its own; only a regular file is read or replaced.
TEST_F(FilePipelineTest, FileMessagesTellTheSystemsReason) {
  addRow(u"New");
  fs::create_directory(dir / "folder.ov2");
  ASSERT_EQ(::mkfifo((dir / "pipe.ov2").c_str(), 0644), 0);
  fs::create_symlink(dir / "pipe.ov2", dir / "link.ov2");
  const struct {
    FileOperation operation;
    const char* file;
    int messageId;
    std::u16string_view text;
    std::u16string_view reason;
  } cases[] = {
      {FileOperation::Save, "missing/new.ov2", kCannotSave, u"Can not save the file", u"No such file or directory"},
      {FileOperation::Save, "folder.ov2", kCannotSave, u"Can not save the file", u"Is a directory"},
      {FileOperation::Save, "pipe.ov2", kCannotSave, u"Can not save the file", u"Not a regular file"},
      {FileOperation::Export, "link.ov2", kCannotSave, u"Can not save the file", u"Not a regular file"},
      {FileOperation::Import, "missing.ov2", kCannotOpen, u"Can not open the file", u"No such file or directory"},
      {FileOperation::Import, "folder.ov2", kCannotOpen, u"Can not open the file", u"Is a directory"},
      {FileOperation::Import, "pipe.ov2", kCannotOpen, u"Can not open the file", u"Not a regular file"},
      {FileOperation::Import, "link.ov2", kCannotOpen, u"Can not open the file", u"Not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    port.messages.clear();
    const fs::path path = dir / c.file;
    EXPECT_EQ(run(c.operation, path), c.messageId);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].second,
              std::u16string(c.text) + u"\n\n" + Utf8ToUtf16(path.string()) + u"\n\n" + std::u16string(c.reason));
  }
  EXPECT_TRUE(fs::is_fifo(dir / "pipe.ov2"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ov2"));
}

TEST_F(FilePipelineTest, ReadOnlyTargetAsksBeforeItIsReplaced) {
  addRow(u"New");
  const fs::path path = dir / "locked.ov2";
  test::WriteBytes(path, {0, 5, 0, 0, 0});
  fs::permissions(path, fs::perms::owner_read);

  EXPECT_EQ(run(FileOperation::Save, path), kCancelled);
  EXPECT_EQ(port.confirmIds, std::vector<int>{kReadOnlyRetry});
  EXPECT_TRUE(port.messages.empty());
  EXPECT_EQ(fs::file_size(path), 5u);

  port.confirmAnswers = {true};
  EXPECT_EQ(run(FileOperation::Save, path), 0);
  EXPECT_GT(fs::file_size(path), 5u);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::owner_write);
}

// KML and GPX cannot carry a POI without a position, and a phonebook only carries telephone
// numbers: what a save reports must be what the file holds.
TEST_F(FilePipelineTest, SaveAndExportReportWhatTheWriterWrote) {
  const auto add = [&](std::u16string_view name, std::u16string_view lng, std::u16string_view lat,
                       std::u16string_view telephone) {
    addRow(name, lng, lat);
    SetTelephone(document, document.rowCount() - 1, telephone);
  };
  add(u"Full", u"4.89", u"52.37", u"020 555");
  add(u"No latitude", u"4.89", u"", u"");
  add(u"No telephone", u"4.89", u"52.37", u"");
  add(u"Nowhere", u"", u"", u"112");
  const struct {
    FileFormat format;
    const char* file;
    int written;
    int leftOut;
  } cases[] = {
      {FileFormat::Ov2, "all.ov2", 4, 0},        {FileFormat::Kml, "placed.kml", 2, 2},
      {FileFormat::Gpx, "placed.gpx", 2, 2},     {FileFormat::Phonebook, "phones.txt", 2, 2},
      {FileFormat::CsvUtf8, "all.csv", 4, 0},    {FileFormat::PoiUnicode, "all.poi", 4, 0},
      {FileFormat::TxtAnsi, "all.txt", 4, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteCounts counts{-1, -1};
    document.modified = true;
    ASSERT_EQ(RunFileOperation(document, FileOperation::Save, c.format, dir / c.file, settings, port, &counts), 0);
    EXPECT_EQ(counts.written, c.written);
    EXPECT_EQ(counts.leftOut, c.leftOut);
    // Rows the file could not take are still unsaved.
    EXPECT_EQ(document.modified, c.leftOut > 0);
    PoiDocument reread;
    ASSERT_EQ(RunFileOperation(reread, FileOperation::Open, c.format, dir / c.file, settings, port), 0);
    EXPECT_EQ(reread.rowCount(), c.written);
  }

  document.rows[1].selected = document.rows[2].selected = true;
  WriteCounts exported;
  ASSERT_EQ(RunFileOperation(document, FileOperation::Export, FileFormat::Gpx, dir / "some.gpx", settings, port,
                             &exported),
            0);
  EXPECT_EQ(exported.written, 1);
  EXPECT_EQ(exported.leftOut, 1);
}

TEST_F(FilePipelineTest, TranslateNameSavesUnderTheDeviceNameAndRemovesTheOldFile) {
  settings.set(Switch::TranslateName, true);
  addRow(u"A");
  const fs::path old = dir / "台北.ov2";
  test::WriteBytes(old, {0, 5, 0, 0, 0});
  ASSERT_EQ(run(FileOperation::Save, old), 0);
  EXPECT_FALSE(fs::exists(old));
  ASSERT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  const fs::path written = fs::directory_iterator(dir)->path();
  EXPECT_EQ(written.filename().string().front(), '}');
  EXPECT_EQ(document.path, written);
  EXPECT_EQ(DisplayName(document.title), u"台北");
  EXPECT_EQ(DisplayName(written.filename()), u"台北.ov2");
}

TEST_F(FilePipelineTest, ExportWritesOnlySelectedRowsAndLeavesTheDocumentAlone) {
  addRow(u"A");
  addRow(u"B");
  addRow(u"C");
  document.rows[1].selected = true;
  document.modified = true;
  const fs::path path = dir / "export.ov2";
  ASSERT_EQ(run(FileOperation::Export, path), 0);
  EXPECT_TRUE(document.modified);
  EXPECT_TRUE(document.path.empty());
  PoiDocument exported;
  ASSERT_EQ(RunFileOperation(exported, FileOperation::Open, FileFormat::Ov2, path, settings, port), 0);
  ASSERT_EQ(exported.rowCount(), 1);
  EXPECT_EQ(exported.text(0, kName), u"B");
}

}  // namespace
}  // namespace qf
