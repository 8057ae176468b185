#include "editing/file_import.h"

#include <gtest/gtest.h>

#include "core/field_rules.h"
#include "editing/poi_table.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

class FileImportTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* name : {u"Bravo", u"Alpha", u"Charlie"}) AppendPoi(document, name, false);
    PoiDocument other;
    for (const char16_t* name : {u"Zulu", u"Yankee"}) AppendPoi(other, name, false);
    ASSERT_EQ(RunFileOperation(other, FileOperation::Save, FileFormat::Ov2, file, settings, port), 0);
  }

  PoiDocument document;
  PoiTable table{document};
  AppSettings settings;
  test::ScriptedUserPort port;
  fs::path file = test::TempDir() / "more.ov2";
};

// An import is one step of the history: undone, it takes its rows away, and the steps before it
// (here a sort, which remembers every row) still undo exactly.
TEST_F(FileImportTest, ImportIsOneUndoStepAfterWhichEarlierStepsStillUndo) {
  table.sort(kName, true);
  document.modified = false;
  ASSERT_EQ(ImportFile(table, FileFormat::Ov2, file, settings, port), 0);
  EXPECT_EQ(test::Names(document),
            (std::vector<std::u16string>{u"Alpha", u"Bravo", u"Charlie", u"Zulu", u"Yankee"}));
  EXPECT_TRUE(document.modified);
  EXPECT_TRUE(document.rows[3].selected && document.rows[4].selected);

  table.undo();
  EXPECT_EQ(test::Names(document), (std::vector<std::u16string>{u"Alpha", u"Bravo", u"Charlie"}));
  EXPECT_FALSE(document.modified);
  table.undo();
  EXPECT_EQ(test::Names(document), (std::vector<std::u16string>{u"Bravo", u"Alpha", u"Charlie"}));
  EXPECT_FALSE(table.canUndo());

  table.redo();
  table.redo();
  EXPECT_EQ(test::Names(document),
            (std::vector<std::u16string>{u"Alpha", u"Bravo", u"Charlie", u"Zulu", u"Yankee"}));
  EXPECT_TRUE(document.modified);
}

TEST_F(FileImportTest, ImportThatAddsNothingRecordsNothing) {
  const fs::path empty = test::TempDir() / "empty.ov2";
  test::WriteBytes(empty, {});
  ImportFile(table, FileFormat::Ov2, empty, settings, port);
  EXPECT_EQ(document.rowCount(), 3);
  EXPECT_FALSE(table.canUndo());
}

}  // namespace
}  // namespace qf
