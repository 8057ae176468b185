#include "map/page_message.h"

#include <gtest/gtest.h>

#include "core/message_id.h"
#include "core/unicode.h"

namespace qf {
namespace {

using Kind = PageMessageKind;

TEST(PageMessageTest, EveryCodeReadsWithItsFields) {
  const struct {
    std::u16string_view text;
    Kind kind;
    std::array<std::u16string, 5> texts;
    std::u16string newLng, newLat, newMemo;
    int column;
  } cases[] = {
      {u"Quillfern for TomTom", Kind::Ready, {}, u"", u"", u"", 0},
      {u"Terminate Google Maps", Kind::Terminate, {}, u"", u"", u"", 0},
      {u"<\t0\tInn\t4.50000\t52.10000\t+31\tDam 1", Kind::Add, {u"Inn", u"4.50000", u"52.10000", u"+31", u"Dam 1"},
       u"", u"", u"", 0},
      {u"<\t1\tInn\t-0.00000\t-0.00000\t\t", Kind::Insert, {u"Inn", u"0.00000", u"0.00000", u"", u""}, u"", u"", u"", 0},
      {u"<\t2\tInn\t4.50000\t52.10000\t\tOld\t-0.00000\t-1.00000\tNew", Kind::Update,
       {u"Inn", u"4.50000", u"52.10000", u"", u"Old"}, u"0.00000", u"-1.00000", u"New", 0},
      {u"<\t2", Kind::UpdateAll, {}, u"", u"", u"", 0},
      {u"<\t3\tInn\t4.50000\t52.10000\t\t", Kind::Select, {u"Inn", u"4.50000", u"52.10000", u"", u""}, u"", u"", u"", 0},
      {u"<\t3", Kind::ClearSelection, {}, u"", u"", u"", 0},
      {u"<\t4\tInn\t4.50000\t52.10000\t\t", Kind::Delete, {u"Inn", u"4.50000", u"52.10000", u"", u""}, u"", u"", u"", 0},
      {u"<\t5\tInn\t4.50000\t52.10000\t\t\t4", Kind::Edit, {u"Inn", u"4.50000", u"52.10000", u"", u""}, u"", u"", u"", 4},
      // Only the coordinate fields know the negative zero; a name may read so.
      {u"<\t3\t-0.00000\t-0.000001\t1\t\t-0.00000", Kind::Select,
       {u"-0.00000", u"-0.000001", u"1", u"", u"-0.00000"}, u"", u"", u"", 0},
  };
  for (const auto& c : cases) {
    const std::optional<PageMessage> message = ParsePageMessage(c.text);
    ASSERT_TRUE(message) << Utf16ToUtf8(c.text);
    EXPECT_EQ(message->kind, c.kind) << Utf16ToUtf8(c.text);
    EXPECT_EQ(message->texts, c.texts) << Utf16ToUtf8(c.text);
    EXPECT_EQ(message->newLng, c.newLng);
    EXPECT_EQ(message->newLat, c.newLat);
    EXPECT_EQ(message->newMemo, c.newMemo);
    EXPECT_EQ(message->column, c.column);
  }
}

TEST(PageMessageTest, AnythingMalformedIsNoMessage) {
  const std::u16string_view texts[] = {
      u"",
      u"quillfern for tomtom",
      u"Quillfern for TomTom ",
      u"<",
      u"<\t",
      u"<0\tInn\t1\t2\t\t",
      u" <\t0\tInn\t1\t2\t\t",
      u"<\t0",                                 // add without its fields
      u"<\t0\tInn\t1\t2\t",                      // four fields
      u"<\t0\tInn\t1\t2\t\t\t",                  // six
      u"<\t1\tInn",
      u"<\t2\t",                                 // one empty field
      u"<\t2\tInn\t1\t2\t\t",                    // an update without the new texts
      u"<\t2\tInn\t1\t2\t\t\t3\t4",              // ... or without the new memo
      u"<\t2\tInn\t1\t2\t\t\t3\t4\t\t",
      u"<\t3\tInn\t1\t2\t",
      u"<\t4",
      u"<\t4\tInn\t1\t2\t\t\t",
      u"<\t5\tInn\t1\t2\t\t",                    // no column
      u"<\t5\tInn\t1\t2\t\t\t5",                 // a column beyond Memo
      u"<\t5\tInn\t1\t2\t\t\t-1",
      u"<\t5\tInn\t1\t2\t\t\t04",
      u"<\t5\tInn\t1\t2\t\t\t",
      u"<\t6\tInn\t1\t2\t\t",                    // unknown codes
      u"<\t9",
      u"<\tx\tInn\t1\t2\t\t",
      u"<\t00\tInn\t1\t2\t\t",
      u"<\t3Inn\t1\t2\t\t",
      u"Add\tInn",
  };
  for (const std::u16string_view text : texts) EXPECT_FALSE(ParsePageMessage(text)) << Utf16ToUtf8(text);
}

TEST(PageMessageTest, LinkHandlersShowTheirHelp) {
  const struct {
    std::u16string_view status;
    std::optional<int> help;
  } cases[] = {
      {u"javascript:OnAdd(3)", kMarkerAddHelp},
      {u"javascript:OnInsert(0)", kMarkerInsertHelp},
      {u"javascript:OnSearch(12)", kMarkerSearchNearbyHelp},
      {u"javascript:OnClose(1)", kMarkerCloseHelp},
      {u"javascript:OnIqrShowPrev()", kPreviousDirectionHelp},
      {u"javascript:OnFwShowNext(", kNextVideoHelp},
      {u"javascript:OnLsAdd(1)", kMarkerAddHelp},
      {u"javascript:OnLsInsert(1)", kMarkerInsertHelp},
      {u"javascript:OnLsImage(1)", kMarkerImagesHelp},
      {u"javascript:OnIqrAdd(1)", kMarkerAddHelp},
      {u"javascript:OnFwRemove(1)", kMarkerRemoveHelp},
      {u"javascript:void(0)", 0},
      {u"javascript:OnAddX(1)", std::nullopt},
      {u"javascript:OnAdd", std::nullopt},
      {u"javascript:OnIqr(1)", std::nullopt},
      {u"javascript OnAdd(1)", std::nullopt},
      {u"JavaScript:OnAdd(1)", std::nullopt},
      {u"https://www.openstreetmap.org/copyright", std::nullopt},
      {u"Done", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(LinkHelp(c.status), c.help) << Utf16ToUtf8(c.status);
}

}  // namespace
}  // namespace qf
