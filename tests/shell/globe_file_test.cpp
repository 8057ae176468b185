#include "shell/globe_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/message_id.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

constexpr fs::perms kPrivateFolder = fs::perms::owner_all;
constexpr fs::perms kPrivateFile = fs::perms::owner_read | fs::perms::owner_write;

class GlobeFileTest : public testing::Test {
 protected:
  void addRow(std::u16string_view name, std::u16string_view lng = u"4.89000", std::u16string_view lat = u"52.37000") {
    const int row = AppendPoi(document, name, false);
    SetCoordinateText(document, row, kLng, lng, false);
    SetCoordinateText(document, row, kLat, lat, false);
  }

  // The names a KML reader finds in the file.
  std::vector<std::u16string> namesIn(const fs::path& path) {
    PoiDocument read;
    test::ScriptedUserPort quiet;
    EXPECT_EQ(RunFileOperation(read, FileOperation::Open, FileFormat::Kml, path, settings, quiet), 0);
    return test::Names(read);
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
  fs::path parent = test::TempDir();
};

TEST_F(GlobeFileTest, WritesTheRowsToAPrivateFileThatEachUseReplacesAndTheEndRemoves) {
  addRow(u"My Base Point");
  document.basePointPinned = true;
  addRow(u"Dam");
  addRow(u"Zoo");
  addRow(u"Nowhere", u"", u"");
  fs::path folder;
  {
    GlobeFile globe(parent);
    EXPECT_TRUE(globe.path().empty());
    ASSERT_EQ(globe.write(document, settings, port), 0);
    const fs::path first = globe.path();
    folder = first.parent_path();
    EXPECT_EQ(first.filename(), "Qfntmp.kml");
    EXPECT_EQ(folder.parent_path(), parent);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, kPrivateFolder);
    EXPECT_EQ(fs::status(first).permissions() & fs::perms::all, kPrivateFile);
    // Nothing selected: every row with a position but the pinned base point.
    EXPECT_EQ(namesIn(first), (std::vector<std::u16string>{u"Dam", u"Zoo"}));

    document.rows[2].selected = true;
    ASSERT_EQ(globe.write(document, settings, port), 0);
    EXPECT_EQ(globe.path(), first);
    EXPECT_EQ(namesIn(first), std::vector<std::u16string>{u"Zoo"});
    EXPECT_EQ(fs::status(first).permissions() & fs::perms::all, kPrivateFile);
    EXPECT_TRUE(port.messages.empty());
  }
  EXPECT_FALSE(fs::exists(folder));
}

TEST_F(GlobeFileTest, TwoEditorsNeverShareAFile) {
  addRow(u"Dam");
  GlobeFile one(parent);
  GlobeFile other(parent);
  ASSERT_EQ(one.write(document, settings, port), 0);
  ASSERT_EQ(other.write(document, settings, port), 0);
  EXPECT_NE(one.path(), other.path());
}

TEST_F(GlobeFileTest, AFolderTakenAwayIsMadeAnew) {
  addRow(u"Dam");
  GlobeFile globe(parent);
  ASSERT_EQ(globe.write(document, settings, port), 0);
  fs::remove_all(globe.path().parent_path());
  ASSERT_EQ(globe.write(document, settings, port), 0);
  EXPECT_EQ(namesIn(globe.path()), std::vector<std::u16string>{u"Dam"});
}

TEST_F(GlobeFileTest, AFileThatCannotBeMadeIsReportedWithTheDocumentsName) {
  addRow(u"Dam");
  document.title = u"Cafes";
  const fs::path notAFolder = parent / "plain";
  test::WriteBytes(notAFolder, {});
  GlobeFile globe(notAFolder);
  EXPECT_EQ(globe.write(document, settings, port), kCannotSave);
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_EQ(port.messages[0].first, kCannotSave);
  EXPECT_EQ(port.messages[0].second.rfind(u"Can not save the file\n\nCafes\n\n", 0), 0u);
  EXPECT_TRUE(globe.path().empty());
}

}  // namespace
}  // namespace qf
