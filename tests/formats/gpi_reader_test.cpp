#include "formats/gpi_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append16(Bytes& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Append32(Bytes& bytes, std::uint32_t value) {
  Append16(bytes, value & 0xFFFF);
  Append16(bytes, value >> 16);
}
void AppendText(Bytes& bytes, std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
void PadTo(Bytes& bytes, std::size_t size) { bytes.resize(std::max(bytes.size(), size), 0); }

// Degrees in the file's units of 360 / 2^32 degree.
std::int32_t Stored(double degrees) { return static_cast<std::int32_t>(std::lround(degrees * 11930464.711111112)); }

// A waypoint record; `rest` follows the name (for instance a description "EN" <length> <text>).
Bytes Waypoint(std::string_view name, double latitude, double longitude, std::string_view rest = {}) {
  Bytes record{0x02, 0x00, 0x08, 0x00};
  const std::size_t length = 31 + name.size() + rest.size() - 12;
  Append32(record, static_cast<std::uint32_t>(length));
  Append32(record, static_cast<std::uint32_t>(length));
  Append32(record, static_cast<std::uint32_t>(Stored(latitude)));
  Append32(record, static_cast<std::uint32_t>(Stored(longitude)));
  PadTo(record, 27);
  AppendText(record, "EN");
  Append16(record, static_cast<std::uint32_t>(name.size()));
  AppendText(record, name);
  AppendText(record, rest);
  return record;
}

// A description text as it follows a name: "EN", a length, the text.
std::string Description(std::string_view text) {
  std::string rest = "EN";
  rest += static_cast<char>(text.size() & 0xFF);
  rest += static_cast<char>(text.size() >> 8);
  return rest.append(text);
}

struct Header {
  std::uint16_t length = 6;
  std::uint32_t codePage = 1252;
  std::string text;  // the header's "EN" text, if any
  std::string signature = "GRMREC00";
};

Header WithLength(std::uint16_t length) {
  Header header;
  header.length = length;
  return header;
}
Header WithCodePage(std::uint32_t codePage) {
  Header header;
  header.codePage = codePage;
  return header;
}
Header WithText(std::string text) {
  Header header;
  header.text = std::move(text);
  return header;
}
Header WithSignature(std::string signature) {
  Header header;
  header.signature = std::move(signature);
  return header;
}

Bytes GpiHeader(const Header& header) {
  Bytes bytes(8, 0);
  AppendText(bytes, header.signature);
  PadTo(bytes, 22);
  Append16(bytes, header.length);
  const std::size_t shift = header.length - 6u;
  PadTo(bytes, 38 + shift);
  AppendText(bytes, "POI");
  PadTo(bytes, 46 + shift);
  Append32(bytes, header.codePage);
  PadTo(bytes, 66 + shift);
  if (!header.text.empty()) {
    AppendText(bytes, "EN");
    Append16(bytes, static_cast<std::uint32_t>(header.text.size()));
    AppendText(bytes, header.text);
  } else {
    PadTo(bytes, 70 + shift);
  }
  return bytes;
}

// A whole file: header, records and the end-of-file record.
Bytes Gpi(const std::vector<Bytes>& records, const Header& header = {}) {
  Bytes bytes = GpiHeader(header);
  for (const Bytes& record : records) bytes.insert(bytes.end(), record.begin(), record.end());
  for (const std::uint8_t b : {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}) bytes.push_back(b);
  return bytes;
}

Bytes Prefix(const Bytes& bytes, std::size_t size) { return {bytes.begin(), bytes.begin() + static_cast<long>(size)}; }

struct Read {
  int result;
  PoiDocument document;
};

Read ReadBytes(Bytes bytes, FileOperation operation = FileOperation::Open, PoiDocument document = {},
               const AppSettings& settings = {}) {
  test::ScriptedUserPort port;
  FileSession session(document, operation, FileFormat::Gpi, settings, port);
  const int result = ReadGpi(session, bytes);
  return {result, std::move(document)};
}

TEST(GpiReaderTest, HeaderDecidesWhetherTheFileIsRead) {
  const Bytes one = Waypoint("Inn", 1, 2);
  Bytes shifted = Gpi({one}, WithLength(10));
  Bytes poiAtPlainOffset = shifted;
  poiAtPlainOffset[42] = 'X';
  std::copy_n("POI", 3, poiAtPlainOffset.begin() + 38);
  Bytes hugeHeaderLength = Gpi({one});
  hugeHeaderLength[22] = 0xFF;
  hugeHeaderLength[23] = 0xFF;
  const struct {
    const char* what;
    Bytes bytes;
    int result;
    int rows;
  } cases[] = {
      {"plain header", Gpi({one}), 0, 1},
      {"header length 10 moves the signature to 42", shifted, 0, 1},
      {"header length 10 with the signature at 38", poiAtPlainOffset, kUnknownContent, 0},
      {"header text is skipped", Gpi({one}, WithText("My points")), 0, 1},
      {"other signature", Gpi({one}, WithSignature("GRMREC01")), kUnknownContent, 0},
      {"header beyond the file", hugeHeaderLength, kUnknownContent, 0},
      {"70 bytes", Prefix(GpiHeader({}), 70), kWrongContent, 0},
      {"71 bytes, no records", Prefix(GpiHeader(WithText("x")), 71), 0, 0},
  };
  for (const auto& c : cases) {
    const Read read = ReadBytes(c.bytes);
    EXPECT_EQ(read.result, c.result) << c.what;
    EXPECT_EQ(read.document.rowCount(), c.rows) << c.what;
  }
}

TEST(GpiReaderTest, WaypointsGiveNameAndPosition) {
  Bytes record = Waypoint("Hut", 0, 0);
  std::copy_n("\x00\x00\x00\x10", 4, record.begin() + 12);  // 2^28 units
  const Read read = ReadBytes(Gpi({record, Waypoint("West", -33.45, -70.25), Waypoint("Pole", 89.99999, 179.99999)}));
  ASSERT_EQ(read.result, 0);
  ASSERT_EQ(read.document.rowCount(), 3);
  EXPECT_EQ(read.document.text(0, kName), u"Hut");
  EXPECT_EQ(read.document.text(0, kLat), u"22.50000");
  EXPECT_EQ(read.document.text(0, kLng), u"0.00000");
  EXPECT_EQ(read.document.text(1, kLat), u"-33.45000");
  EXPECT_EQ(read.document.text(1, kLng), u"-70.25000");
  EXPECT_EQ(read.document.text(2, kLng), u"179.99999");
}

TEST(GpiReaderTest, CoordinatesOutsideTheirRangeStayEmpty) {
  Bytes record = Waypoint("Nowhere", 0, 10);
  std::copy_n("\x00\x00\x00\x7F", 4, record.begin() + 12);  // about 178.6 degrees of latitude
  const Read read = ReadBytes(Gpi({record}));
  ASSERT_EQ(read.document.rowCount(), 1);
  EXPECT_EQ(read.document.text(0, kLat), u"");
  EXPECT_EQ(read.document.text(0, kLng), u"10.00000");
}

TEST(GpiReaderTest, RecordsThatDoNotFitAreSkipped) {
  Bytes noLanguage = Waypoint("Lost", 1, 1);
  noLanguage[27] = 'D';
  Bytes zeroFirstByte = Waypoint(std::string("\0x", 2), 1, 1);
  Bytes nameBeyondRecord = Waypoint("Long", 1, 1);
  nameBeyondRecord[29] = 5;
  const Read read = ReadBytes(Gpi({Waypoint("", 1, 1), noLanguage, zeroFirstByte, nameBeyondRecord,
                                   Waypoint("\x01 ", 1, 1), Waypoint("Kept", 1, 1)}));
  EXPECT_EQ(read.result, 0);
  ASSERT_EQ(read.document.rowCount(), 1);
  EXPECT_EQ(read.document.text(0, kName), u"Kept");
}

TEST(GpiReaderTest, WaypointsAreFoundAmongOtherBytes) {
  Bytes group{0x09, 0x00, 0x08, 0x00, 0x05, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x00, 0x08};  // no waypoint: one byte short
  const Bytes first = Waypoint("First", 1, 1);
  group.insert(group.end(), first.begin(), first.end());
  AppendText(group, "junk");
  const Read read = ReadBytes(Gpi({group, Waypoint("Second", 2, 2), Waypoint("Third", 3, 3)}));
  ASSERT_EQ(read.document.rowCount(), 3);
  EXPECT_EQ(read.document.text(2, kName), u"Third");
}

// Garmin files end with an 8-byte end record, often right after the last waypoint.
TEST(GpiReaderTest, LastWaypointIsReadWhenItEndsInsideTheFile) {
  const Bytes bytes = Gpi({Waypoint("One", 1, 1), Waypoint("Two", 2, 2)});
  for (const std::size_t cut : {0, 8}) {
    EXPECT_EQ(ReadBytes(Prefix(bytes, bytes.size() - cut)).document.rowCount(), 2) << cut;
  }
  const Read read = ReadBytes(Prefix(bytes, bytes.size() - 9));
  EXPECT_EQ(read.result, 0);
  EXPECT_EQ(read.document.rowCount(), 1);
}

TEST(GpiReaderTest, ClaimedLengthsBeyondTheFileEndTheReading) {
  Bytes bytes = Gpi({Waypoint("One", 1, 1), Waypoint("Two", 2, 2)});
  const std::size_t second = GpiHeader({}).size() + Waypoint("One", 1, 1).size();
  for (const std::uint8_t fill : {0x7F, 0xFF}) {
    std::fill_n(bytes.begin() + static_cast<long>(second) + 4, 4, fill);
    const Read read = ReadBytes(bytes);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.document.rowCount(), 1);
  }
}

TEST(GpiReaderTest, TextAfterTheNameGivesMemoAndTelephone) {
  const struct {
    const char* text;
    std::u16string_view memo;
    std::u16string_view telephone;
  } cases[] = {
      {"Open daily\r\nTel. 02 2882 5252\r\nParking behind", u"Open daily&Tel. 02 2882 5252&Parking behind",
       u"02 2882 5252"},
      {"(02) 2882 5252", u"(02) 2882 5252", u"02 2882 5252"},
      {"Fax 123 456", u"Fax 123 456", u""},
      {"Fax 123 (4567)", u"Fax 123 (4567)", u""},
      {"+41 (0)44 123 45 67\nCall 0800 123 456 7", u"+41 (0)44 123 45 67&Call 0800 123 456 7", u"0 44 123 45 67"},
      {"\r\nHidden", u"", u""},
      {"A\r\n\r\n\n\rB\n", u"A&B", u""},
      {"  \x01 A \t \n \x02 \nB", u"A&B", u""},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9", u"1&2&3&4&5&6&7&8", u""},
  };
  for (const auto& c : cases) {
    const Read read = ReadBytes(Gpi({Waypoint("Inn", 1, 1, "\x0A\x00\x00\x00" + Description(c.text))}));
    ASSERT_EQ(read.document.rowCount(), 1) << c.text;
    EXPECT_EQ(read.document.text(0, kMemo), c.memo) << c.text;
    EXPECT_EQ(read.document.text(0, kTel), c.telephone) << c.text;
  }
}

TEST(GpiReaderTest, MemoIsCutAtItsLimitAndLeftOutForRichDocuments) {
  const std::string line(200, 'm');
  const std::string text = line + "\n" + line + "\nTel 0123456789";
  const Read read = ReadBytes(Gpi({Waypoint("Inn", 1, 1, Description(text))}));
  EXPECT_EQ(read.document.text(0, kMemo), Utf8ToUtf16(line + "&" + line.substr(0, 54)));
  EXPECT_EQ(read.document.text(0, kTel), u"0123456789");

  PoiDocument rich;
  rich.richPoiFile = true;
  const Read richRead = ReadBytes(Gpi({Waypoint("Inn", 1, 1, Description(text))}), FileOperation::Import, rich);
  EXPECT_EQ(richRead.document.text(0, kMemo), u"");
  EXPECT_EQ(richRead.document.text(0, kTel), u"0123456789");
}

TEST(GpiReaderTest, TextsAreConvertedFromTheFilesCodePage) {
  const struct {
    std::uint32_t codePage;
    std::string name;
    std::u16string_view expected;
  } cases[] = {
      {1252, "Gro\xDF", u"Groß"},
      {1251, "\xCC\xE5\xF2\xF0\xEE", u"Метро"},
      {65001, "\xD0\x9C\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE", u"Метро"},
      {65001, "Bad \xC3 byte", u"Bad \uFFFD byte"},
      {4242, "Gro\xDF", u"Groß"},  // unknown code pages are read as windows-1252
      {0, "Gro\xDF", u"Groß"},
  };
  for (const auto& c : cases) {
    const Read read =
        ReadBytes(Gpi({Waypoint(c.name, 1, 1, Description("Caf\xE9 " + c.name))}, WithCodePage(c.codePage)));
    ASSERT_EQ(read.document.rowCount(), 1) << c.codePage;
    EXPECT_EQ(read.document.text(0, kName), c.expected) << c.codePage;
    EXPECT_EQ(read.document.text(0, kMemo).substr(5), c.expected) << c.codePage;
  }
}

TEST(GpiReaderTest, NamesAndMemosAreCutTo255CharactersNeverInsideAPair) {
  const Read read = ReadBytes(Gpi({Waypoint(std::string(300, 'n'), 1, 1)}));
  EXPECT_EQ(read.document.text(0, kName).size(), 255u);

  // An emoji is two UTF-16 units; one that would straddle the limit goes whole.
  const std::string emoji = "\xF0\x9F\x98\x80";
  const std::string memo = std::string(200, 'm') + "\n" + std::string(53, 'n') + emoji;
  const Read utf8 =
      ReadBytes(Gpi({Waypoint(std::string(254, 'n') + emoji, 1, 1, Description(memo))}, WithCodePage(65001)));
  ASSERT_EQ(utf8.document.rowCount(), 1);
  EXPECT_EQ(utf8.document.text(0, kName), std::u16string(254, u'n'));
  EXPECT_EQ(utf8.document.text(0, kMemo), std::u16string(200, u'm') + u'&' + std::u16string(53, u'n'));
}

TEST(GpiReaderTest, ImportSelectsNewRowsAndChecksDuplicateNames) {
  PoiDocument document;
  AppendPoi(document, u"Inn", false);
  AppSettings settings;
  settings.set(Switch::CheckName, true);
  test::ScriptedUserPort port;
  port.duplicateAnswers = {DuplicateAnswer::Eliminate};
  FileSession session(document, FileOperation::Import, FileFormat::Gpi, settings, port);
  Bytes bytes = Gpi({Waypoint("Inn", 1, 1), Waypoint("Hut", 2, 2)});
  EXPECT_EQ(ReadGpi(session, bytes), 0);
  ASSERT_EQ(document.rowCount(), 2);
  EXPECT_EQ(document.text(1, kName), u"Hut");
  EXPECT_TRUE(document.rows[1].selected);
  EXPECT_EQ(port.askedNames, std::vector<std::u16string>{u"Inn"});
  EXPECT_EQ(session.eliminatedCount(), 1);
}

// The files' own record trees hold these numbers of waypoints.
struct CorpusFile {
  const char* name;
  int result;
  int rows;
};
const CorpusFile kCorpus[] = {
    {"garmin_gpi.gpi", 0, 86},
    {"garmin_gpi_category-gpx.gpi", 0, 86},
    {"garmin_gpi_encoding.gpi", 0, 1},
    {"garmin_gpi_position-gpx.gpi", 0, 86},
    {"gpi_ext-sample.gpi", 0, 9},
    {"gpispeed.gpi", 0, 1},
    // Version-01 files ("GRMREC01" at offset 12) lack the version-00 header this reader knows;
    // their 83 and 78 waypoints are not read.
    {"spb_metro_norm.gpi", kUnknownContent, 0},
    {"umsonstdraussen.gpi", kUnknownContent, 0},
};

TEST(GpiReaderTest, CorpusFiles) {
  for (const CorpusFile& file : kCorpus) {
    const Read read = ReadBytes(test::ReadBytes(test::CorpusPath(std::string("gpi/") + file.name)));
    EXPECT_EQ(read.result, file.result) << file.name;
    EXPECT_EQ(read.document.rowCount(), file.rows) << file.name;
  }
}

using Poi = test::GpsbabelPoi;

// What GPSBabel reads, without the "@<speed>" it adds to the names of waypoints with a speed alert.
std::vector<Poi> ReadWithGpsbabel(const std::filesystem::path& gpi) {
  std::vector<Poi> pois = test::ReadWithGpsbabel(gpi, "garmin_gpi");
  for (Poi& poi : pois) {
    std::string& name = poi.name;
    if (const std::size_t at = name.rfind('@'); at != std::string::npos && at + 1 < name.size() &&
                                                name.find_first_not_of("0123456789", at + 1) == std::string::npos) {
      name.resize(at);
    }
  }
  return pois;
}

TEST(GpiReaderTest, ReadsWhatGpsbabelReads) {
  for (const CorpusFile& file : kCorpus) {
    if (file.result != 0) continue;
    const std::filesystem::path path = test::CorpusPath(std::string("gpi/") + file.name);
    const Read read = ReadBytes(test::ReadBytes(path));
    const std::vector<Poi> theirs = ReadWithGpsbabel(path);
    ASSERT_EQ(read.document.rowCount(), static_cast<int>(theirs.size())) << file.name;
    for (int row = 0; row < read.document.rowCount(); ++row) {
      const Poi& poi = theirs[static_cast<std::size_t>(row)];
      EXPECT_EQ(Utf16ToUtf8(read.document.text(row, kName)), poi.name) << file.name;
      EXPECT_NEAR(CoordinateToDegrees(read.document.text(row, kLat), read.document.display), poi.latitude, 0.000006)
          << poi.name;
      EXPECT_NEAR(CoordinateToDegrees(read.document.text(row, kLng), read.document.display), poi.longitude, 0.000006)
          << poi.name;
    }
  }
}

}  // namespace
}  // namespace qf
