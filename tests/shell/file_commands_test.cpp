#include "shell/file_commands.h"

#include <gtest/gtest.h>

#include "core/field_rules.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

TEST(FileCommands, DialogFiltersAndTheirPreselection) {
  const std::vector<FileFilter> open = FileFilters(FileDialogKind::Open);
  ASSERT_EQ(open.size(), 9u);
  EXPECT_EQ(open[0].name, u"TomTom POI Files (*.ov2)");
  EXPECT_EQ(open[0].pattern, u"*.ov2");
  EXPECT_EQ(open[8].format, FileFormat::TxtDetect);
  const std::vector<FileFilter> save = FileFilters(FileDialogKind::Save);
  ASSERT_EQ(save.size(), 16u);
  EXPECT_EQ(save[3].format, FileFormat::Gpx);
  EXPECT_EQ(save[4].format, FileFormat::CsvAnsi);
  EXPECT_EQ(save[15].name, u"Text Files, UTF-8 Tab Separated (*.txt)");

  EXPECT_EQ(open[PreselectedFilter(FileDialogKind::Open, FileFormat::PoiUnicode)].format, FileFormat::PoiDetect);
  EXPECT_EQ(open[PreselectedFilter(FileDialogKind::Open, FileFormat::Gpi)].format, FileFormat::Gpi);
  EXPECT_EQ(save[PreselectedFilter(FileDialogKind::Save, FileFormat::Gpi)].format, FileFormat::Ov2);
  EXPECT_EQ(save[PreselectedFilter(FileDialogKind::Save, FileFormat::AscUtf8)].format, FileFormat::AscUtf8);
  EXPECT_EQ(save[PreselectedFilter(FileDialogKind::Save, FileFormat::Kml)].format, FileFormat::Kml);
}

TEST(FileCommands, TheTypedNameDecidesTheFormat) {
  EXPECT_EQ(OpenFormatFor("a.ov2", FileFormat::Kml), FileFormat::Ov2);
  EXPECT_EQ(OpenFormatFor("contacts.txt", FileFormat::Phonebook), FileFormat::Phonebook);
  EXPECT_EQ(OpenFormatFor("b.txt", FileFormat::Ov2), FileFormat::TxtDetect);

  struct Case {
    const char* name;
    FileFormat filter;
    FileFormat expected;
    const char* written;
  };
  const Case cases[] = {
      {"a.csv", FileFormat::TxtUtf8, FileFormat::CsvUtf8, "a.csv"},  // the filter's encoding, the name's layout
      {"a.csv", FileFormat::Ov2, FileFormat::CsvAnsi, "a.csv"},       // no text filter: ANSI
      {"a.gpi", FileFormat::Ov2, FileFormat::Ov2, "a.ov2"},           // read only: written as OV2
      {"a.kml", FileFormat::CsvUnicode, FileFormat::Kml, "a.kml"},
      {"a.dat", FileFormat::PoiUnicode, FileFormat::TxtUnicode, "a.dat"},
      {"a.ov2", FileFormat::Phonebook, FileFormat::Phonebook, "a.ov2"},
      {"out1", FileFormat::Gpx, FileFormat::Gpx, "out1.gpx"},  // typed without an extension
      {"out1", FileFormat::PoiUtf8, FileFormat::PoiUtf8, "out1.poi"},
      {"out1", FileFormat::Phonebook, FileFormat::Phonebook, "out1.txt"},
  };
  for (const Case& c : cases) {
    fs::path path = c.name;
    EXPECT_EQ(SaveFormatFor(path, c.filter), c.expected) << c.name;
    EXPECT_EQ(path, fs::path(c.written));
  }
}

TEST(FileCommands, SavePromptOffersSavingOnlyWhatIsWorthIt) {
  PoiDocument document;
  document.title = u"cafes";
  EXPECT_EQ(DiscardPromptFor(document), DiscardPrompt::CancelFile);
  AppendPoi(document, u"My Base Point", false);
  document.basePointPinned = true;
  EXPECT_EQ(DiscardPromptFor(document), DiscardPrompt::CancelFile);
  EXPECT_EQ(DiscardPromptText(DiscardPrompt::CancelFile, document), u"Cancel the current POI file?\n\ncafes");
  AppendPoi(document, u"Cafe", false);
  EXPECT_EQ(DiscardPromptFor(document), DiscardPrompt::SaveFile);
}

TEST(FileCommands, RecentFilesMoveUpAndDropTheOldest) {
  std::vector<fs::path> recent;
  for (const char* path : {"/p/a.ov2", "/p/b.ov2", "/p/A.OV2", "/p/c.ov2", "/p/d.ov2"}) AddRecentFile(recent, path, 3);
  EXPECT_EQ(recent, (std::vector<fs::path>{"/p/d.ov2", "/p/c.ov2", "/p/A.OV2"}));
}

// Widths in characters: every text is as wide as its UTF-16 units.
int Units(std::u16string_view text) { return static_cast<int>(text.size()); }

TEST(FileCommands, RecentFileTextsAreCompacted) {
  const struct {
    int maxWidth;
    std::u16string_view shown;
  } cases[] = {
      {23, u"/home/ann/poi/cafes.ov2"},  // fits as it is
      {22, u"/home/.../cafes.ov2"},      // "poi" alone is as wide as "..."
      {19, u"/home/.../cafes.ov2"},
      {18, u"/.../cafes.ov2"},
      {13, u".../cafes.ov2"},
      {12, u"cafes.ov..."},
      {3, u"..."},
      {1, u"..."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompactPath(u"/home/ann/poi/cafes.ov2", c.maxWidth, Units), c.shown) << c.maxWidth;
  }
  // A file name is never cut between the two halves of a character.
  EXPECT_EQ(CompactPath(u"/\U0001F600\U0001F600\U0001F600", 6, Units), u"\U0001F600...");
  EXPECT_EQ(RecentFileMenuText(1, "/p/c&d.ov2", Units), u"&2 /p/c&&d.ov2");
  EXPECT_EQ(RecentFileMenuText(0, "/" + std::string(400, 'a') + "/b.ov2", Units), u"&1 /.../b.ov2");
}

TEST(FileCommands, DroppedFiles) {
  const fs::path folder = test::TempDir() / "dir.ov2";
  fs::create_directories(folder);
  EXPECT_EQ(DecideDrop({"a.ov2", "b.ov2"}).messageId, kOnlyOneFile);
  EXPECT_EQ(DecideDrop({"phones.TXT"}).messageId, 0);
  EXPECT_EQ(DecideDrop({"icon.bmp"}).messageId, kUnsupportedExtension);
  EXPECT_EQ(DecideDrop({folder}).messageId, kUnsupportedExtension);
}

}  // namespace
}  // namespace qf
