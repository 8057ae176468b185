#include "formats/file_session.h"

#include <gtest/gtest.h>

#include "core/field_rules.h"

namespace qf {
namespace {

TEST(AppendReadOn, MovesTheRowsAndGivesTheirRoomBack) {
  PoiDocument document;
  AppendPoi(document, u"First", false);
  PoiDocument second;
  second.rows.reserve(1000);
  AppendPoi(second, u"Second", false);
  second.richPoiFile = true;
  AppendReadOn(document, std::move(second), false);
  ASSERT_EQ(document.rowCount(), 2);
  EXPECT_EQ(document.text(1, kName), u"Second");
  EXPECT_TRUE(document.richPoiFile);
  EXPECT_EQ(second.rows.capacity(), 0u);  // moved from, and its room given back
}

}  // namespace
}  // namespace qf
