#include "editing/row_exchange.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Bytes = std::vector<std::uint8_t>;

ExchangeRow Row(std::u16string name, std::u16string lng, std::u16string lat, std::u16string tel = {},
                std::u16string memo = {}) {
  return {{std::move(name), std::move(lng), std::move(lat), std::move(tel), std::move(memo)}};
}

// Rows that stress the texts: CJK, a surrogate pair, empty fields, the longest name.
const ExchangeRows kRows = {
    Row(u"台北 101", u"121.56500", u"25.03300", u"+886 2 8101 8800", u"觀景台"),
    Row(u"Emoji \U0001F600", u"-0.12750", u"-51.50000", u"", u"Memo only"),
    Row(u"Bare", u"", u""),
    Row(std::u16string(kMaxNameLength, u'n'), u"-180.00000", u"90.00000", u"1", std::u16string(kMaxMemoLength, u'm')),
};

// Tel and Memo stay behind in the layouts that carry positions only.
ExchangeRows PositionsOnly(ExchangeRows rows) {
  for (ExchangeRow& row : rows) row.texts[kTel] = row.texts[kMemo] = {};
  return rows;
}

using Decoder = std::function<ExchangeRows(std::span<const std::uint8_t>)>;

// A block copied into storage of exactly its size, so that a read past its end is a read past an allocation.
ExchangeRows DecodeExactly(const Decoder& decode, const Bytes& bytes, std::size_t size) {
  const Bytes exact(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
  return decode(exact);
}

TEST(RowExchangeTest, ExchangeRowsCarrySignedDecimalWhateverTheDisplay) {
  const struct {
    bool dms;
    bool compass;
    const char16_t* lng;
    const char16_t* lat;
  } cases[] = {
      {false, false, u"-121.56500", u"25.03300"},
      {false, true, u"W 121.56500", u"N 25.03300"},
      {true, false, u"-121° 33' 54.00\"", u"25° 01' 58.80\""},
      {true, true, u"W 121° 33' 54.00\"", u"N 25° 01' 58.80\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "dms " << c.dms << " compass " << c.compass);
    PoiDocument document;
    document.display.dms = c.dms;
    document.display.compass = c.compass;
    const int row = AppendPoi(document, u"Taipei", false);
    SetCoordinateText(document, row, kLng, u"-121.565", true);
    SetCoordinateText(document, row, kLat, u"25.033", true);
    SetTelephone(document, row, u"123");
    SetMemo(document, row, u"Memo");
    ASSERT_EQ(document.text(row, kLng), c.lng);
    ASSERT_EQ(document.text(row, kLat), c.lat);
    EXPECT_EQ(MakeExchangeRow(document, row), Row(u"Taipei", u"-121.56500", u"25.03300", u"123", u"Memo"));

    const int empty = AppendPoi(document, u"Nowhere", false);
    EXPECT_EQ(MakeExchangeRow(document, empty), Row(u"Nowhere", u"", u""));
  }
}

TEST(RowExchangeTest, RowBlockHasExactBytes) {
  const ExchangeRows rows = {Row(u"A", u"1", u"-2", u"", u"\u00E9")};
  const Bytes expected = test::Hex(
      "01000000"
      "02000000 02000000 03000000 01000000 02000000"
      "41000000 31000000 2D003200 0000 0000 E9000000");
  EXPECT_EQ(EncodeRowBlock(rows), expected);
  EXPECT_EQ(DecodeRowBlock(expected), rows);
  // Route rows: three texts, meaningless lengths for the other two, and one more unit.
  const Bytes route = test::Hex(
      "01000000"
      "02000000 02000000 03000000 07000000 FFFFFFFF"
      "41000000 31000000 2D003200 0000 5A00");
  EXPECT_EQ(DecodeRouteRows(route), (ExchangeRows{Row(u"A", u"1", u"-2")}));
}

TEST(RowExchangeTest, EveryLayoutRoundTrips) {
  const ExchangeRows positions = PositionsOnly(kRows);
  EXPECT_EQ(DecodeRowBlock(EncodeRowBlock(kRows)), kRows);
  EXPECT_EQ(DecodeRouteRows(EncodeRouteRows(kRows)), positions);
  EXPECT_EQ(DecodePositionRecords(EncodePositionRecords(kRows)), positions);
  EXPECT_EQ(DecodeDragRecords(EncodeDragRecords(kRows, false)), kRows);
  EXPECT_EQ(DecodeRouteDragRecords(EncodeRouteDragRecords(kRows)), positions);

  // A rich POI file keeps its memos out of a drag, but not out of the clipboard.
  const ExchangeRows rich = DecodeDragRecords(EncodeDragRecords(kRows, true));
  ASSERT_EQ(rich.size(), kRows.size());
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    ExchangeRow expected = kRows[i];
    expected.texts[kMemo].clear();
    EXPECT_EQ(rich[i], expected);
  }

  EXPECT_EQ(DecodeRowBlock(EncodeRowBlock({})), ExchangeRows{});
  EXPECT_EQ(DecodePositionRecords(EncodePositionRecords({})), ExchangeRows{});
  EXPECT_EQ(DecodeRouteDragRecords(EncodeRouteDragRecords({})), ExchangeRows{});
}

TEST(RowExchangeTest, SharedMemoryHasTheRoomOfItsRecordsAndEndsWithAMark) {
  const ExchangeRows two = {Row(u"A", u"1", u"2"), Row(u"B", u"3", u"4")};
  const Bytes positions = EncodePositionRecords(two);
  EXPECT_EQ(positions.size(), 2 * 608u);
  EXPECT_EQ(Bytes(positions.begin(), positions.begin() + 26),
            test::Hex("4100 0000 3100 0000 3200 0000 4200 0000 3300 0000 3400 0000 0000"));
  EXPECT_EQ(EncodeDragRecords(two, false).size(), 2 * 1158u);
  EXPECT_EQ(EncodeRouteDragRecords(two), test::Hex("0100 4100 0000 3100 0000 3200 0000"
                                                   "0100 4200 0000 3300 0000 3400 0000 0000"));

  // The end mark stops reading; whatever follows it is not a record.
  const Bytes ended = test::Hex("4100 0000 3100 0000 3200 0000 0000 4200 0000 3300 0000 3400 0000");
  EXPECT_EQ(DecodePositionRecords(ended), (ExchangeRows{Row(u"A", u"1", u"2")}));
  // In the route editor's drag the mark is the leading unit, so an empty name is a record.
  EXPECT_EQ(DecodeRouteDragRecords(test::Hex("0700 0000 3100 0000 3200 0000 0000")),
            (ExchangeRows{Row(u"", u"1", u"2")}));
}

// What a cut block gives: the whole records before the cut, in order.
void ExpectWholeRecordsBeforeTheCut(const Decoder& decode, const Bytes& bytes, const ExchangeRows& rows) {
  std::size_t previous = 0;
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const ExchangeRows read = DecodeExactly(decode, bytes, size);
    ASSERT_LT(read.size(), rows.size()) << size;
    ASSERT_GE(read.size(), previous) << size;
    ASSERT_TRUE(std::equal(read.begin(), read.end(), rows.begin())) << size;
    previous = read.size();
  }
  EXPECT_EQ(previous + 1, rows.size());  // the last cut still holds every record but the last
}

TEST(RowExchangeTest, DamagedRowBlocksGiveTheRecordsBeforeTheDamage) {
  const Bytes block = EncodeRowBlock(kRows);
  ExpectWholeRecordsBeforeTheCut(DecodeRowBlock, block, kRows);
  ExpectWholeRecordsBeforeTheCut(DecodeRouteRows, EncodeRouteRows(kRows), PositionsOnly(kRows));
  // Bytes after the last record (a clipboard may round its size up) are no fault.
  Bytes padded = block;
  padded.resize(block.size() + 3, 0xEE);
  EXPECT_EQ(DecodeRowBlock(padded), kRows);

  // One record whose Lng, Lat, Tel and Memo are empty, damaged in its count, its Name or both.
  const struct {
    const char* what;
    const char* countAndNameLength;
    const char* name;
    std::size_t records;  // read before the damage
  } damaged[] = {
      {"count beyond the bytes", "FFFFFFFF 01000000", "0000", 1},
      {"one record more than present", "02000000 01000000", "0000", 1},
      {"length without room for the NUL", "01000000 00000000", "0000", 0},
      {"length past the end", "01000000 06000000", "4100", 0},
      {"length overflowing a size", "01000000 FFFFFFFF", "0000", 0},
      {"no NUL where the length ends", "01000000 02000000", "4100 4200", 0},
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.what);
    const Bytes bytes = test::Hex(std::string(d.countAndNameLength) + " 01000000 01000000 01000000 01000000 " +
                                  d.name + " 0000 0000 0000 0000");
    EXPECT_EQ(DecodeExactly(DecodeRowBlock, bytes, bytes.size()).size(), d.records);
  }
  // A NUL inside a text ends it, as for any reader of NUL-terminated texts.
  EXPECT_EQ(DecodeRowBlock(test::Hex("01000000 04000000 01000000 01000000 01000000 01000000 4100 0000 4200 0000"
                                     "0000 0000 0000 0000")),
            (ExchangeRows{Row(u"A", u"", u"")}));
}

TEST(RowExchangeTest, CutSharedMemoryGivesTheWholeRecordsBeforeTheCut) {
  const struct {
    const char* layout;
    Decoder decode;
    Bytes bytes;
    ExchangeRows rows;
  } layouts[] = {
      {"positions", DecodePositionRecords, EncodePositionRecords(kRows), PositionsOnly(kRows)},
      {"drag", DecodeDragRecords, EncodeDragRecords(kRows, false), kRows},
      {"route drag", DecodeRouteDragRecords, EncodeRouteDragRecords(kRows), PositionsOnly(kRows)},
  };
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.layout);
    int whole = 0;
    for (std::size_t size = 0; size <= layout.bytes.size(); ++size) {
      const ExchangeRows rows = DecodeExactly(layout.decode, layout.bytes, size);
      ASSERT_LE(rows.size(), layout.rows.size()) << size;
      ASSERT_TRUE(std::equal(rows.begin(), rows.end(), layout.rows.begin())) << size;
      whole += rows.size() == layout.rows.size();
    }
    EXPECT_GT(whole, 0);
  }
  // A text cut by the end of the memory is a fault, not a shorter text.
  EXPECT_EQ(DecodePositionRecords(test::Hex("4100 0000 3100 0000 3200")), ExchangeRows{});
  EXPECT_EQ(DecodeRouteDragRecords(test::Hex("0100 4100 0000 3100 0000")), ExchangeRows{});
}

TEST(RowExchangeTest, TextFormFollowsTheDisplayOrderWithoutTrailingTabs) {
  const ExchangeRows rows = {Row(u"Taipei 101", u"121.56500", u"25.03300", u"02 8101", u"Top"),
                             Row(u"Station", u"-0.12750", u"-51.50000"), Row(u"Memo", u"", u"", u"", u"only")};
  EXPECT_EQ(RowsAsText(rows, false, false), std::u16string(u"\uFEFF"
                                                          u"Taipei 101\t25.03300\t121.56500\t02 8101\tTop\r\n"
                                                          u"Station\t-51.50000\t-0.12750\r\n"
                                                          u"Memo\t\t\t\tonly\r\n") +
                                                u'\0');
  EXPECT_EQ(RowsAsText(rows, true, false), std::u16string(u"\uFEFF"
                                                         u"Taipei 101\t121.56500\t25.03300\t02 8101\tTop\r\n"
                                                         u"Station\t-0.12750\t-51.50000\r\n"
                                                         u"Memo\t\t\t\tonly\r\n") +
                                               u'\0');
  EXPECT_EQ(RowsAsText(ExchangeRows{Row(u"Ann", u"", u"", u"0612", u"Cell"), Row(u"Bob", u"", u"")}, true, true),
            std::u16string(u"\uFEFFAnn\t0612\tCell\r\nBob\r\n") + u'\0');
  EXPECT_EQ(RowsAsText({}, true, false), std::u16string(u"\uFEFF") + u'\0');
}

TEST(RowExchangeTest, CopiedCoordinatesAreLatitudeFirstWithCompassLetters) {
  const struct {
    bool dms;
    bool compass;
    double lng;
    double lat;
    const char16_t* text;
  } cases[] = {
      {false, false, 121.565, 25.033, u"N 25.03300, E 121.56500"},
      {false, true, 121.565, 25.033, u"N 25.03300, E 121.56500"},
      {false, false, -121.565, -25.033, u"S 25.03300, W 121.56500"},
      {true, false, -121.565, 25.033, u"N 25° 01' 58.80\", W 121° 33' 54.00\""},
      {true, true, 0, 0, u"N 0° 00' 00.00\", E 0° 00' 00.00\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lng << " " << c.lat << " dms " << c.dms << " compass " << c.compass);
    const DisplayOptions options{.dms = c.dms, .compass = c.compass};
    EXPECT_EQ(CoordinatesAsText(FormatCoordinate(c.lng, Axis::Longitude, options),
                                FormatCoordinate(c.lat, Axis::Latitude, options), options),
              c.text);
  }
  // A missing coordinate stays missing rather than becoming a bare letter.
  EXPECT_EQ(CoordinatesAsText(u"", u"-1.00000", DisplayOptions{}), u"S 1.00000, ");
}

TEST(RowExchangeTest, PastedCoordinatesAreSplitAndAssignedByTheirLetters) {
  const std::optional<std::u16string> missing;
  const struct {
    std::u16string text;
    bool lngFirst;
    std::optional<std::u16string> lng;
    std::optional<std::u16string> lat;
  } cases[] = {
      // No letters: the first value goes to the column shown first.
      {u"25.033, 121.565", false, u"121.56500", u"25.03300"},
      {u"25.033, 121.565", true, u"25.03300", u"121.56500"},
      {u"25.033\t121.565", false, u"121.56500", u"25.03300"},
      {u"  25.033   121.565\r\n", false, u"121.56500", u"25.03300"},
      // A text starting with a letter splits before the second letter; S or N first makes it the latitude.
      {u"S 25.033 E 121.565", true, u"121.56500", u"-25.03300"},
      {u"n 25.033 w 121.565", true, u"-121.56500", u"25.03300"},
      // Otherwise the second value's letter decides ...
      {u"E 121.565 N 25.033", false, u"121.56500", u"25.03300"},
      {u"25.033, 121.565 E", true, u"121.56500", u"25.03300"},
      {u"121.565, 25.033 S", false, u"121.56500", u"-25.03300"},
      // ... then the first value's E or W.
      {u"W 121.565, 25.033", false, u"-121.56500", u"25.03300"},
      // A letter after a number ends the first value.
      {u"121.565E 25.033N", false, u"121.56500", u"25.03300"},
      {u"25°01'58.8\"S 121°33'54\"W", true, u"-121.56500", u"-25.03300"},
      // One value only: nothing to split, both are missing.
      {u"25.033", true, missing, missing},
      {u"N 25.033", true, missing, missing},
      {u"", true, missing, missing},
      // A letter after the only number still splits, leaving the second value empty.
      {u"25.033N", true, missing, u"25.03300"},
      // Values that are no coordinate are missing one by one.
      {u"Taipei, 121.565", true, missing, u"121.56500"},
      // Only the first 63 characters count.
      {(u"25.033," + std::u16string(56, u' ') + u"121.565"), false, missing, u"25.03300"},
      {(u"25.033," + std::u16string(49, u' ') + u"121.565"), false, u"121.56500", u"25.03300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(c.text) << " lngFirst " << c.lngFirst);
    EXPECT_EQ(ParsePastedCoordinates(c.text, c.lngFirst), (PastedCoordinates{c.lng, c.lat}));
  }
}

TEST(RowExchangeTest, ReceivingIsRefusedWhileBusyOrForCameraAndPhonebookDocuments) {
  EXPECT_EQ(ReadyToReceive(false, DocumentKind::Poi), ReceiveReply::Ready);
  EXPECT_EQ(ReadyToReceive(false, DocumentKind::SafetyCamera), ReceiveReply::WrongDocument);
  EXPECT_EQ(ReadyToReceive(false, DocumentKind::Phonebook), ReceiveReply::WrongDocument);
  EXPECT_EQ(ReadyToReceive(true, DocumentKind::Poi), ReceiveReply::Busy);
  EXPECT_EQ(ReadyToReceive(true, DocumentKind::Phonebook), ReceiveReply::Busy);
  EXPECT_EQ(static_cast<int>(ReceiveReply::Ready), 7);
}

}  // namespace
}  // namespace qf
