#include "formats/favourites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kFavourite = 3;
constexpr std::uint8_t kHome = 4;
constexpr std::uint8_t kRecent = 7;

void PutInt32(Bytes& bytes, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> 8 * i);
}

// An entry header of 27 bytes at `at`. Its name chain leads through the byte at `chainAt`
// and the length byte at `lengthAt` to the name right after it.
void PutEntry(Bytes& bytes, std::size_t at, std::uint8_t kind, std::int32_t longitude, std::int32_t latitude,
              std::size_t chainAt, std::size_t lengthAt, std::string_view name) {
  const std::size_t end = std::max({at + 30, chainAt + 1, lengthAt + 1 + name.size()});
  if (bytes.size() < end) bytes.resize(end, 0xEE);
  std::fill(bytes.begin() + at, bytes.begin() + at + 27, 0);
  bytes[at] = 4;
  bytes[at + 2] = kind;
  bytes[at + 6] = 8;
  PutInt32(bytes, at + 8, longitude);
  PutInt32(bytes, at + 12, latitude);
  bytes[at + 16] = 8;
  bytes[at + 26] = static_cast<std::uint8_t>(chainAt - at);
  bytes[chainAt] = static_cast<std::uint8_t>(lengthAt - chainAt + 26);
  bytes[lengthAt] = static_cast<std::uint8_t>(name.size() + 27);
  std::copy(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(lengthAt + 1));
}

// The usual layout: the chain and the name follow the header.
void AppendEntry(Bytes& bytes, std::uint8_t kind, std::int32_t longitude, std::int32_t latitude,
                 std::string_view name) {
  const std::size_t at = bytes.size();
  PutEntry(bytes, at, kind, longitude, latitude, at + 27, at + 28, name);
  bytes.resize(std::max(bytes.size(), at + 30), 0xEE);
}

struct Favourite {
  std::u16string name;
  std::u16string lng;
  std::u16string lat;
  std::u16string memo;
  bool operator==(const Favourite&) const = default;
};

class FavouritesTest : public testing::Test {
 protected:
  std::vector<Favourite> read(Bytes bytes, bool includeHome = false) {
    FileSession session(document, FileOperation::Open, FileFormat::Favourites, settings, port);
    EXPECT_EQ(ReadFavourites(session, bytes, includeHome), 0);
    std::vector<Favourite> rows;
    for (int row = 0; row < document.rowCount(); ++row) {
      rows.push_back({std::u16string(document.text(row, kName)), std::u16string(document.text(row, kLng)),
                      std::u16string(document.text(row, kLat)), std::u16string(document.text(row, kMemo))});
    }
    return rows;
  }

  std::u16string lng(std::int32_t units) const {
    return std::u16string(FormatUnits(units, Axis::Longitude, document.display).view());
  }
  std::u16string lat(std::int32_t units) const {
    return std::u16string(FormatUnits(units, Axis::Latitude, document.display).view());
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
};

TEST_F(FavouritesTest, ReadsKindsWithAndWithoutHome) {
  Bytes bytes = {1, 2, 3};  // entries can start at any byte
  AppendEntry(bytes, kFavourite, 1234567, -4500000, "Office");
  AppendEntry(bytes, kHome, 100, 200, "Home sweet");
  AppendEntry(bytes, kRecent, 300, 400, "Station");
  AppendEntry(bytes, kFavourite, 20000000, 9000001, "Far away");
  EXPECT_EQ(read(bytes),
            (std::vector<Favourite>{{u"Office", lng(1234567), lat(-4500000), u""}, {u"Far away", u"", u"", u""}}));
  document = PoiDocument();
  EXPECT_EQ(read(bytes, true), (std::vector<Favourite>{{u"Office", lng(1234567), lat(-4500000), u"Favorite"},
                                                       {u"Home sweet", lng(100), lat(200), u"Home"},
                                                       {u"Station", lng(300), lat(400), u"Recent destination"},
                                                       {u"Far away", u"", u"", u"Favorite"}}));
}

TEST_F(FavouritesTest, OpenedAsFormatZeroTheyBecomeAnOv2Document) {
  Bytes bytes;
  AppendEntry(bytes, kFavourite, 1234567, -4500000, "Office");
  AppendEntry(bytes, kHome, 100, 200, "Home sweet");
  const std::filesystem::path path = test::TempDir() / "MapSettings.cfg";
  test::WriteBytes(path, bytes);
  ASSERT_EQ(RunFileOperation(document, FileOperation::Open, FileFormat::Favourites, path, settings, port), 0);
  ASSERT_EQ(document.rowCount(), 1);
  EXPECT_EQ(document.text(0, kName), u"Office");
  EXPECT_EQ(document.format, FileFormat::Ov2);
}

TEST_F(FavouritesTest, OpenFavoritesTitlesTheDocumentAndKeepsNoPath) {
  Bytes bytes;
  AppendEntry(bytes, kFavourite, 1234567, -4500000, "Office");
  AppendEntry(bytes, kHome, 100, 200, "Home sweet");
  AppendEntry(bytes, kRecent, 300, 400, "Station");
  const std::filesystem::path path = test::TempDir() / "MapSettings.cfg";
  test::WriteBytes(path, bytes);
  for (const bool includeHome : {false, true}) {
    ASSERT_EQ(OpenFavourites(document, path, includeHome, settings, port), 0);
    EXPECT_EQ(document.rowCount(), includeHome ? 3 : 1);
    EXPECT_EQ(document.text(document.rowCount() - 1, kMemo), includeHome ? u"Recent destination" : u"");
    EXPECT_EQ(document.title, u"Favorites");
    EXPECT_TRUE(document.path.empty());  // a Save asks for a file name
    EXPECT_EQ(document.format, FileFormat::Ov2);
    EXPECT_FALSE(document.modified);
  }
  // A folder without the file leaves an empty untitled document.
  EXPECT_EQ(OpenFavourites(document, test::TempDir() / "absent" / "MapSettings.cfg", true, settings, port), kCannotOpen);
  EXPECT_EQ(document.title, u"Untitled");
  EXPECT_EQ(document.rowCount(), 0);
}

TEST_F(FavouritesTest, HeaderMustMatchExactly) {
  const struct {
    std::size_t offset;
    std::uint8_t value;
  } spoilers[] = {{0, 5}, {1, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 9}, {7, 1}, {16, 7}, {17, 1}};
  for (const auto& s : spoilers) {
    Bytes bytes;
    AppendEntry(bytes, kFavourite, 1, 2, "Name");
    bytes[s.offset] = s.value;
    document = PoiDocument();
    EXPECT_TRUE(read(bytes, true).empty()) << s.offset;
  }
}

TEST_F(FavouritesTest, TwoByteNamesAreDecoded) {
  std::string name = ">>";
  for (char16_t c : std::u16string_view(u"\u4E2DA")) {
    name += static_cast<char>(EncodeCharCode(c) & 0xFF);
    name += static_cast<char>(EncodeCharCode(c) >> 8);
  }
  Bytes bytes;
  AppendEntry(bytes, kFavourite, 1, 2, name);
  AppendEntry(bytes, kFavourite, 1, 2, "Caf\xE9");
  const auto rows = read(bytes);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, u"\u4E2DA");
  EXPECT_EQ(rows[1].name, u"Caf\u00E9");
}

TEST_F(FavouritesTest, RepetitionsAddNothing) {
  // The duplicate-name question is not asked for favourites.
  settings.set(Switch::CheckName, true);
  port.duplicateAnswers = {DuplicateAnswer::EliminateAll};
  Bytes bytes;
  AppendEntry(bytes, kFavourite, 500, 600, "Park");
  AppendEntry(bytes, kFavourite, 500, 600, "Park");
  AppendEntry(bytes, kFavourite, 501, 600, "Park");
  AppendEntry(bytes, kRecent, 500, 600, "Park");
  EXPECT_EQ(read(bytes).size(), 2u);
  EXPECT_TRUE(port.askedNames.empty());
  // With the kinds read, a recent destination at the favourite's place is a row of its own.
  document = PoiDocument();
  EXPECT_EQ(read(bytes, true).size(), 3u);
}

TEST_F(FavouritesTest, ChainsMayPointBackwards) {
  // The name and the chain lie before the entry.
  Bytes bytes(40, 0xEE);
  PutEntry(bytes, 20, kFavourite, 1, 2, 5, 10, "Back");
  AppendEntry(bytes, kFavourite, 3, 4, "After");
  EXPECT_EQ(read(bytes), (std::vector<Favourite>{{u"Back", lng(1), lat(2), u""}, {u"After", lng(3), lat(4), u""}}));
}

TEST_F(FavouritesTest, ChainLeavingTheFile) {
  Bytes bytes;
  AppendEntry(bytes, kFavourite, 1, 2, "First");
  // The first offset points before the file's start: this entry is skipped.
  const std::size_t before = bytes.size();
  AppendEntry(bytes, kFavourite, 3, 4, "Skipped");
  bytes[before + 26] = static_cast<std::uint8_t>(-100);
  // An empty name that lies before its entry: the scan still moves on.
  const std::size_t emptyAt = bytes.size() + 3;
  bytes.resize(emptyAt + 30, 0xEE);
  PutEntry(bytes, emptyAt, kFavourite, 5, 6, emptyAt - 3, emptyAt - 2, "");
  AppendEntry(bytes, kFavourite, 7, 8, "Second");
  // A name running past the end ends the scan: the entry after it is not read.
  const std::size_t last = bytes.size();
  AppendEntry(bytes, kFavourite, 9, 10, "Cut");
  AppendEntry(bytes, kFavourite, 11, 12, "Never");
  bytes[last + 28] = 127;
  EXPECT_EQ(read(bytes), (std::vector<Favourite>{{u"First", lng(1), lat(2), u""}, {u"Second", lng(7), lat(8), u""}}));
}

}  // namespace
}  // namespace qf
