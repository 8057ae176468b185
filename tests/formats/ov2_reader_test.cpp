#include "formats/ov2_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/byte_sink.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "formats/ov2_huffman.h"
#include "formats/ov2_writer.h"
#include "support/test_support.h"

namespace qf {
namespace {

using namespace std::literals;
using Bytes = std::vector<std::uint8_t>;

void Append32(Bytes& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}
void Append24(Bytes& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 24; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}
void AppendCodes(Bytes& bytes, std::u16string_view text) {
  for (char16_t c : text) {
    const std::uint16_t code = EncodeCharCode(c);
    bytes.push_back(static_cast<std::uint8_t>(code));
    bytes.push_back(static_cast<std::uint8_t>(code >> 8));
  }
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Latin1(std::u16string_view text) { return {text.begin(), text.end()}; }
Bytes Wide(std::u16string_view text) {
  Bytes bytes{'>', '>'};
  AppendCodes(bytes, text);
  return bytes;
}

// A record of type 2 (or 3 or 15 laid out the same way): the text field, its zero byte, then the memo.
Bytes Poi(const Bytes& text, std::int32_t longitude, std::int32_t latitude, std::u16string_view memo = {},
          std::uint8_t type = 2) {
  Bytes record{type};
  Append32(record, static_cast<std::uint32_t>(13 + text.size() + 1 + 2 * memo.size()));
  Append32(record, static_cast<std::uint32_t>(longitude));
  Append32(record, static_cast<std::uint32_t>(latitude));
  record.insert(record.end(), text.begin(), text.end());
  record.push_back(0);
  for (char16_t c : memo) {
    record.push_back(static_cast<std::uint8_t>(c));
    record.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return record;
}

Bytes Skipper(std::uint32_t length, std::int32_t east, std::int32_t north, std::int32_t west, std::int32_t south) {
  Bytes record{1};
  for (std::uint32_t value :
       {length, std::uint32_t(east), std::uint32_t(north), std::uint32_t(west), std::uint32_t(south)}) {
    Append32(record, value);
  }
  return record;
}

Bytes Compact(const Bytes& text, std::uint32_t longitude, std::uint32_t latitude) {
  Bytes record{23, static_cast<std::uint8_t>(text.size())};
  Append24(record, longitude);
  Append24(record, latitude);
  record.insert(record.end(), text.begin(), text.end());
  return record;
}

// Type 29: `tail` holds the L bytes from offset 11 on.
Bytes Rich(std::uint8_t encoding, const Bytes& tail, std::int32_t longitude = 489000, std::int32_t latitude = 5237000) {
  Bytes record{29, static_cast<std::uint8_t>(tail.size())};
  Append32(record, static_cast<std::uint32_t>(longitude));
  Append32(record, static_cast<std::uint32_t>(latitude));
  record.push_back(encoding);
  return record + tail;
}

Bytes Camera(std::uint8_t code, std::uint8_t speed, std::int32_t longitude = 489000, std::int32_t latitude = 5237000) {
  Bytes record{30, code};
  Append32(record, static_cast<std::uint32_t>(longitude));
  Append32(record, static_cast<std::uint32_t>(latitude));
  record.push_back(speed);
  return record;
}

const Bytes kMark = test::Hex("64 15 00 00 00 56 33 A2 0B 01 00 00 00 01 00 00 B1 00 00 00 00");

// Huffman bits ("0110...") packed from the least significant bit of each byte up.
Bytes HuffmanBytes(std::string_view bits) {
  Bytes bytes((bits.size() + 7) / 8);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') bytes[i / 8] |= static_cast<std::uint8_t>(1 << (i % 8));
  }
  return bytes;
}
std::string_view HuffmanBits(char16_t c) {
  for (const HuffmanCode& code : kHuffmanCodes) {
    if (code.character == c) return code.bits;
  }
  ADD_FAILURE() << "no Huffman code for " << int(c);
  return {};
}
std::string HuffmanText(std::u16string_view text) {
  std::string bits;
  for (char16_t c : text) bits += HuffmanBits(c);
  return bits;
}

std::u16string Utf16Decimal(std::uint32_t value) {
  const std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

class Ov2ReaderTest : public testing::Test {
 protected:
  // Reads a copy of exactly these bytes, so that reading past them is caught by the sanitizers.
  int read(const Bytes& bytes, FileOperation operation = FileOperation::Open) {
    Bytes copy = bytes;
    FileSession session(document, operation, FileFormat::Ov2, settings, port);
    return ReadOv2(session, copy);
  }
  std::u16string_view cell(int row, int column) const { return document.text(row, column); }
  void expectRow(int row, std::u16string_view name, std::u16string_view lng, std::u16string_view lat,
                 std::u16string_view tel, std::u16string_view memo) const {
    SCOPED_TRACE(testing::Message() << "row " << row);
    ASSERT_LT(row, document.rowCount());
    EXPECT_EQ(cell(row, kName), name);
    EXPECT_EQ(cell(row, kLng), lng);
    EXPECT_EQ(cell(row, kLat), lat);
    EXPECT_EQ(cell(row, kTel), tel);
    EXPECT_EQ(cell(row, kMemo), memo);
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
};

TEST_F(Ov2ReaderTest, EmptyFileHasNoRows) {
  EXPECT_EQ(read({}), 0);
  EXPECT_EQ(document.rowCount(), 0);
}

TEST_F(Ov2ReaderTest, PlainPoiGivesNameTelephoneMemoAndCoordinates) {
  ASSERT_EQ(read(test::Hex("02 18 00 00 00 28 76 07 00 08 E9 4F 00 43 61 66 65 3E 31 32 33 00 78 00")), 0);
  ASSERT_EQ(document.rowCount(), 1);
  expectRow(0, u"Cafe", u"4.89000", u"52.37000", u"123", u"x");
  EXPECT_EQ(port.lastPercent, 100);
}

TEST_F(Ov2ReaderTest, TextFieldForms) {
  const Bytes file = Poi(Latin1(u"Caf\u00E9 du Pont"), 489000, 5237000) +
                     Poi(Wide(u"\u6771\u4EAC \u00E9>+81 3"), -489000, -5237000, u"memo\0ignored"sv) +
                     Poi(Latin1(u">"), 0, 0) + Poi(Latin1(u"A|B\tC>12"), 0, 0, u"zero-less") +
                     Poi(Latin1(u"   "), 0, 0) + Poi(Latin1(u"Out"), 18000001, -9000001, std::u16string(300, u'm'));
  ASSERT_EQ(read(file), 0);
  ASSERT_EQ(document.rowCount(), 4);
  expectRow(0, u"Caf\u00E9 du Pont", u"4.89000", u"52.37000", u"", u"");
  expectRow(1, u"\u6771\u4EAC \u00E9", u"-4.89000", u"-52.37000", u"+81 3", u"memo");
  expectRow(2, u"A B C", u"0.00000", u"0.00000", u"12", u"zero-less");
  expectRow(3, u"Out", u"", u"", u"", std::u16string(255, u'm'));
}

TEST_F(Ov2ReaderTest, TextFieldIsCutAfter274Characters) {
  ASSERT_EQ(read(Poi(Latin1(std::u16string(273, u'n') + u">12345"), 0, 0)), 0);
  EXPECT_EQ(cell(0, kName).size(), 255u);
  EXPECT_EQ(cell(0, kTel), u"");
  ASSERT_EQ(read(Poi(Wide(std::u16string(272, u'\u4E2D') + u">12345"), 0, 0, u"after")), 0);
  EXPECT_EQ(cell(1, kTel), u"1");
  EXPECT_EQ(cell(1, kMemo), u"after");  // the memo still starts after the whole field
}

TEST_F(Ov2ReaderTest, DamagedFilesAreRejected) {
  const struct {
    const char* what;
    Bytes bytes;
    int id;
  } cases[] = {
      {"skipper block longer than the file", Skipper(200, 0, 0, 0, 0) + Poi(Latin1(u"A"), 0, 0), kWrongContent},
      {"header cut short", test::Hex("02 18 00 00"), kWrongContent},
      {"record longer than the bytes left", test::Hex("02 18 00 00 00 28 76 07 00 08 E9 4F 00 43 00"), kWrongContent},
      {"length near 2^32", test::Hex("02 FF FF FF FF 00 00 00 00 00 00 00 00 41 00"), kWrongContent},
      {"length below 5", test::Hex("00 04 00 00 00"), kWrongContent},
      {"POI below 15 bytes", test::Hex("02 0E 00 00 00 00 00 00 00 00 00 00 00 41"), kWrongContent},
      {"scrambled POI below 15 bytes", test::Hex("0F 0E 00 00 00 00 00 00 00 00 00 00 00 41"), kWrongContent},
      {"skipper below 21 bytes", test::Hex("01 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"), kWrongContent},
      {"rich POI below 16 bytes", Rich(5, {1, 0x41, 0x21, 0x41}), kWrongContent},
      {"mark of 20 bytes", Bytes{100, 20, 0, 0, 0} + Bytes(15, 0), kWrongContent},
      {"type 4", test::Hex("04 05 00 00 00"), kUnknownContent},
      {"type 99", test::Hex("63 05 00 00 00"), kUnknownContent},
      {"type 101", test::Hex("65 05 00 00 00"), kUnknownContent},
      {"type 255 with a wrong length", test::Hex("FF 02 00 00 00"), kWrongContent},
  };
  for (const auto& c : cases) {
    document = PoiDocument{};
    EXPECT_EQ(read(c.bytes), c.id) << c.what;
  }
  Bytes truncatedCompact = Compact(Latin1(u"Abc"), 0, 0);
  truncatedCompact.pop_back();
  EXPECT_EQ(read(truncatedCompact), kWrongContent);
}

TEST_F(Ov2ReaderTest, RowsBeforeAnErrorStay) {
  EXPECT_EQ(read(Poi(Latin1(u"A"), 0, 0) + test::Hex("04 05 00 00 00") + Poi(Latin1(u"B"), 0, 0)), kUnknownContent);
  ASSERT_EQ(document.rowCount(), 1);
  EXPECT_EQ(cell(0, kName), u"A");
}

TEST_F(Ov2ReaderTest, SkipperBlockIsEnteredAndDeletedRecordsSkipped) {
  const Bytes inner = Poi(Latin1(u"A"), 1, 2) + test::Hex("00 07 00 00 00 FF FF") + Poi(Latin1(u"B"), 3, 4);
  ASSERT_EQ(read(Skipper(static_cast<std::uint32_t>(21 + inner.size()), 10, 10, 0, 0) + inner), 0);
  ASSERT_EQ(document.rowCount(), 2);
  EXPECT_EQ(cell(1, kName), u"B");
}

TEST_F(Ov2ReaderTest, ScrambledPoiKeepsItsLastByte) {
  // The memo's last unit has a non-zero high byte, which must not be unscrambled.
  Bytes record = Poi(Latin1(u"Cafe>123"), 489000, 5237000, u"m\u0178", 15);
  for (std::size_t i = 13; i + 1 < record.size(); ++i) record[i] ^= 0x3C;
  ASSERT_EQ(read(record), 0);
  expectRow(0, u"Cafe", u"4.89000", u"52.37000", u"123", u"m\u0178");
}

TEST_F(Ov2ReaderTest, ExtraDataOfType3IsIgnored) {
  Bytes record = Poi(Latin1(u"Station>42"), 100, 200, u"no memo", 3);
  ASSERT_EQ(read(record + Poi(Latin1(u"Next"), 0, 0)), 0);
  ASSERT_EQ(document.rowCount(), 2);
  expectRow(0, u"Station", u"0.00100", u"0.00200", u"42", u"");
  EXPECT_EQ(cell(1, kName), u"Next");
}

TEST_F(Ov2ReaderTest, CompactPoiLongitudeFollowsTheSkipperBox) {
  const Bytes compact = Compact(Latin1(u"Dam>020"), 8500000, 8000000 + 5237000);
  ASSERT_EQ(read(compact + Skipper(21, 600000, 5300000, 400000, 5200000) + compact), 0);
  ASSERT_EQ(document.rowCount(), 2);
  expectRow(0, u"Dam", u"85.00000", u"52.37000", u"020", u"");
  expectRow(1, u"Dam", u"5.00000", u"52.37000", u"020", u"");
}

TEST_F(Ov2ReaderTest, CompactPoiStopsWhenNoLongitudeFits) {
  ASSERT_EQ(read(Skipper(21, 1, 0, 1, 0) + Compact(Latin1(u"Nowhere"), 8500000, 8000000)), 0);
  EXPECT_EQ(cell(0, kLng), u"85.00000");
}

TEST_F(Ov2ReaderTest, RichPoiEncodings) {
  const Bytes huffman = HuffmanBytes(HuffmanText(u"Ab>12") + std::string(HuffmanBits(0)) + "0110");
  Bytes codes;
  AppendCodes(codes, u"\u4E2D\u6587>5");
  const struct {
    const char* what;
    Bytes record;
    std::u16string name, tel, memo;
  } cases[] = {
      {"Huffman", Rich(2, Bytes{0x87, 0xD6, 0x12} + huffman), u"Ab", u"12", u"1234567"},
      // The number's last byte is also the first byte of the text.
      {"Huffman, number at 12", Rich(3, Bytes{0xEE, 0x39, 0x30} + huffman), u"Ab", u"12",
       Utf16Decimal(0x3039 + (huffman[0] << 16))},
      {"codes", Rich(5, Bytes{1} + codes), u"\u4E2D\u6587", u"5", u""},
      {"number and codes", Rich(6, Bytes{5, 0, 0} + codes), u"\u4E2D\u6587", u"5", u"5"},
      {"number at 12 and codes at 15", Rich(7, Bytes{0xEE, 7, 0, 0} + codes), u"\u4E2D\u6587", u"5", u"7"},
      {"base and offsets",
       Rich(10, Bytes{9, 0, 0, 0x00, 0x4E, 0x21, 0x5B, 0x5C, 0xFF, 0x42, 0x00, 0x1E, 0x11, 0xFF, 0x43}),
       u"A\u4E00\u4E01B", u"1", u"9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    document = PoiDocument{};
    ASSERT_EQ(read(c.record), 0);
    EXPECT_TRUE(document.richPoiFile);
    expectRow(0, c.name, u"4.89000", u"52.37000", c.tel, c.memo);
  }
}

TEST_F(Ov2ReaderTest, RichPoiCodesStayInsideTheRecord) {
  Bytes codes;
  AppendCodes(codes, u"\u4E2D\u6587");
  // (L - 3) div 2 codes from offset 15 end one byte beyond the record when L is odd.
  ASSERT_EQ(read(Rich(7, Bytes{0, 1, 0, 0} + codes)), 0);  // L = 8
  EXPECT_EQ(cell(0, kName), u"\u4E2D\u6587");
  codes.pop_back();
  ASSERT_EQ(read(Rich(7, Bytes{0, 1, 0, 0} + codes)), 0);  // L = 7
  EXPECT_EQ(cell(1, kName), u"\u4E2D");
}

TEST_F(Ov2ReaderTest, HuffmanTextStopsAt276Characters) {
  // 270 characters, ">", nine digits: the telephone keeps the five digits that fit.
  const std::u16string text = std::u16string(270, u'e') + u">123456789";
  ASSERT_EQ(read(Rich(2, Bytes{0, 0, 0} + HuffmanBytes(HuffmanText(text)))), 0);
  EXPECT_EQ(cell(0, kName), std::u16string(255, u'e'));
  EXPECT_EQ(cell(0, kTel), u"12345");
}

TEST_F(Ov2ReaderTest, RichPoiRulesOnImportAndUnknownEncodings) {
  Bytes codes;
  AppendCodes(codes, u"Rich");
  ASSERT_EQ(read(Rich(4, Bytes{1} + codes) + Rich(6, Bytes{42, 0, 0} + codes), FileOperation::Import), 0);
  EXPECT_FALSE(document.richPoiFile);
  ASSERT_EQ(document.rowCount(), 1);
  EXPECT_EQ(cell(0, kMemo), u"");
  EXPECT_TRUE(document.rows[0].selected);
  // On Open the memo of later type-2 records is left to the rich records' number.
  document = PoiDocument{};
  ASSERT_EQ(read(Poi(Latin1(u"Before"), 0, 0, u"kept") + Rich(6, Bytes{42, 0, 0} + codes) +
                 Poi(Latin1(u"After"), 0, 0, u"dropped")),
            0);
  EXPECT_TRUE(document.richPoiFile);
  EXPECT_EQ(cell(0, kMemo), u"kept");
  EXPECT_EQ(cell(1, kMemo), u"42");
  EXPECT_EQ(cell(2, kMemo), u"");
}

TEST(Ov2HuffmanTest, TreeDecodingEqualsTheFirstMatchingPatternInTableOrder) {
  const auto linear = [](const std::string& bits, std::size_t limit) {
    std::u16string text;
    std::size_t position = 0;
    while (text.size() < limit) {
      const HuffmanCode* match = nullptr;
      for (const HuffmanCode& code : kHuffmanCodes) {
        if (bits.compare(position, code.bits.size(), code.bits) == 0 && position + code.bits.size() <= bits.size()) {
          match = &code;
          break;
        }
      }
      if (match == nullptr || match->character == 0) break;
      text += match->character;
      position += match->bits.size();
    }
    return text;
  };
  std::mt19937 random(7);
  for (int trial = 0; trial < 20000; ++trial) {
    // Half the strings are made of real patterns, so that decoding gets far.
    std::string bits;
    const int pieces = static_cast<int>(random() % 40);
    for (int i = 0; i < pieces; ++i) {
      if (trial % 2 == 0) {
        bits += kHuffmanCodes[random() % kHuffmanCodes.size()].bits;
      } else {
        bits += static_cast<char>('0' + random() % 2);
      }
    }
    bits.resize(bits.size() / 8 * 8);
    const std::size_t limit = random() % 50;
    std::u16string decoded;
    DecodeHuffman(HuffmanBytes(bits), limit, decoded);
    ASSERT_EQ(decoded, linear(bits, limit)) << bits;
  }
}

TEST_F(Ov2ReaderTest, Cameras) {
  const struct {
    std::uint8_t code, speed;
    std::u16string_view camera, limit;
  } cases[] = {{129, 10, u"Fixed", u"50"},
               {200, 12, u"Other", u"60"},
               {140, 1, u"Grade crossing without gates", u"20"},
               {128, 0, u"Other", u"0"},
               {131, 255, u"Traffic light", u"140"},
               {136, 15, u"Average speed check (Start)", u"70"}};
  Bytes file = kMark;
  for (const auto& c : cases) file = file + Camera(c.code, c.speed);
  ASSERT_EQ(read(file), 0);
  EXPECT_EQ(document.kind, DocumentKind::SafetyCamera);
  EXPECT_TRUE(std::equal(kMark.begin(), kMark.end(), document.signalMark.begin()));
  ASSERT_EQ(document.rowCount(), 6);
  for (int row = 0; row < 6; ++row) {
    expectRow(row, u"Safety Camera", u"4.89000", u"52.37000", cases[row].limit, cases[row].camera);
  }
}

TEST_F(Ov2ReaderTest, CamerasAndPlainPoisDoNotMix) {
  // Plain POIs followed by cameras make a camera document.
  EXPECT_EQ(read(Poi(Latin1(u"A"), 0, 0) + Camera(129, 10)), 0);
  EXPECT_EQ(document.kind, DocumentKind::SafetyCamera);
  EXPECT_EQ(document.rowCount(), 2);
  // Cameras followed by a plain POI fail, keeping the rows before it.
  document = PoiDocument{};
  EXPECT_EQ(read(Camera(129, 10) + Compact(Latin1(u"B"), 0, 0)), kIncompatibleStructures);
  EXPECT_EQ(document.rowCount(), 1);
  // Importing cameras into an ordinary document fails at the first camera.
  document = PoiDocument{};
  EXPECT_EQ(read(Poi(Latin1(u"A"), 0, 0) + Camera(129, 10) + Poi(Latin1(u"B"), 0, 0), FileOperation::Import), kIncompatibleStructures);
  EXPECT_EQ(document.kind, DocumentKind::Poi);
  ASSERT_EQ(document.rowCount(), 1);
  EXPECT_EQ(cell(0, kName), u"A");
  // A camera document accepts imported cameras.
  document = PoiDocument{};
  document.kind = DocumentKind::SafetyCamera;
  EXPECT_EQ(read(Camera(130, 20), FileOperation::Import), 0);
  EXPECT_EQ(cell(0, kMemo), u"Mobile");
}

TEST_F(Ov2ReaderTest, SignalMarkIsKeptOnOpenOnly) {
  Bytes other = kMark;
  other[5] = 0x57;
  ASSERT_EQ(read(other + Poi(Latin1(u"A"), 0, 0)), 0);
  EXPECT_TRUE(std::equal(other.begin(), other.end(), document.signalMark.begin()));
  ASSERT_EQ(read(kMark + Poi(Latin1(u"B"), 0, 0), FileOperation::Import), 0);
  EXPECT_TRUE(std::equal(other.begin(), other.end(), document.signalMark.begin()));
  EXPECT_EQ(document.rowCount(), 2);
}

TEST_F(Ov2ReaderTest, DuplicateNamesAreAskedAbout) {
  settings.set(Switch::CheckName, true);
  port.duplicateAnswers = {DuplicateAnswer::Eliminate};
  ASSERT_EQ(read(Poi(Latin1(u"Same"), 0, 0) + Poi(Latin1(u"Same"), 1, 1) + Poi(Latin1(u"Other"), 2, 2)), 0);
  ASSERT_EQ(document.rowCount(), 2);
  EXPECT_EQ(cell(1, kName), u"Other");
  EXPECT_EQ(port.askedNames, std::vector<std::u16string>{u"Same"});
}

TEST_F(Ov2ReaderTest, EveryTruncationIsReadWithinTheBytes) {
  Bytes codes;
  AppendCodes(codes, u"\u4E2D\u6587>5");
  const Bytes file = kMark + Skipper(21, 600000, 5300000, 400000, 5200000) + Poi(Wide(u"\u4E2D>1"), 1, 2, u"m") +
                     Compact(Wide(u"Z") + Bytes{'x'}, 8500000, 8000000) + Rich(7, Bytes{0, 1, 0, 0} + codes) +
                     Rich(10, Bytes{9, 0, 0, 0x00, 0x4E, 0x21, 0xFF, 0x42}) +
                     Rich(2, Bytes{0, 0, 0} + HuffmanBytes(HuffmanText(u"abc")));
  for (std::size_t size = 0; size < file.size(); ++size) {
    document = PoiDocument{};
    const int result = read(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)));
    EXPECT_TRUE(result == 0 || result == kWrongContent) << size;
  }
  document = PoiDocument{};
  ASSERT_EQ(read(file), 0);
  EXPECT_EQ(document.rowCount(), 5);
  EXPECT_EQ(cell(1, kName), u"Z");
  EXPECT_EQ(cell(3, kName), u"A");
}

TEST_F(Ov2ReaderTest, CorpusFilesGiveTheirPoiCounts) {
  const struct {
    const char* file;
    int pois;
  } cases[] = {{"ov2/tomtom.ov2", 54},        {"ov2/ov2-arc-out.ov2", 111},  {"ov2/ov2-geo-out.ov2", 9},
               {"ov2/stations_US.ov2", 7573}, {"ov2/stations_DE.ov2", 2360}, {"ov2/chateaux.ov2", 2125},
               {"ov2/Speed_Cameras.ov2", 60}, {"ov2/pinpoi_test.ov2", 2}};
  for (const auto& c : cases) {
    document = PoiDocument{};
    ASSERT_EQ(read(test::ReadBytes(test::CorpusPath(c.file))), 0) << c.file;
    EXPECT_EQ(document.rowCount(), c.pois) << c.file;
  }
  document = PoiDocument{};
  EXPECT_EQ(read(test::ReadBytes(test::CorpusPath("malformed/stations_PL.ov2"))), kWrongContent);
}

}  // namespace
}  // namespace qf

namespace qf {
namespace {

// A deleted record, which lets a test push what follows past the middle of a large file.
Bytes Filler(std::uint32_t length) {
  Bytes record(length, 0);
  record[1] = static_cast<std::uint8_t>(length);
  record[2] = static_cast<std::uint8_t>(length >> 8);
  record[3] = static_cast<std::uint8_t>(length >> 16);
  return record;
}
const Bytes kHalfFile = Filler(1200000);

// Large files are read in two halves at once; the second half must see what the first left behind.
TEST_F(Ov2ReaderTest, SecondHalfOfALargeFileSeesTheStateOfTheFirst) {
  Bytes rich{7, 0, 0};  // the number 7, then the name in 16-bit codes
  AppendCodes(rich, u"R");
  const Bytes file = Skipper(21, 600000, 5300000, 400000, 5200000) + Rich(6, rich) +
                     Poi(Latin1(u"A"), 489000, 5237000) + kHalfFile + Poi(Latin1(u"B>123"), 1, 2, u"memo") +
                     Compact(Latin1(u"C"), 8500000, 8000000 + 5200000) + kMark + Poi(Latin1(u"D"), 3, 4);
  ASSERT_EQ(read(file), 0);
  ASSERT_EQ(document.rowCount(), 5);
  expectRow(0, u"R", u"4.89000", u"52.37000", u"", u"7");
  expectRow(1, u"A", u"4.89000", u"52.37000", u"", u"");
  // A rich document takes no memo from plain records; the compact record is placed by the first half's skipper.
  expectRow(2, u"B", u"0.00001", u"0.00002", u"123", u"");
  expectRow(3, u"C", u"5.00000", u"52.00000", u"", u"");
  expectRow(4, u"D", u"0.00003", u"0.00004", u"", u"");
  EXPECT_TRUE(document.richPoiFile);
  EXPECT_TRUE(document.hasSignalMark());
  std::vector<RowId> ids;
  for (const PoiRecord& row : document.rows) ids.push_back(row.id());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end());
}

TEST_F(Ov2ReaderTest, SkipperBlocksMayReachAcrossTheMiddleOfALargeFile) {
  const Bytes inside = Poi(Latin1(u"A"), 1, 2) + kHalfFile + Poi(Latin1(u"B"), 3, 4);
  const Bytes file = Skipper(static_cast<std::uint32_t>(21 + inside.size()), 10, 10, 0, 0) + inside;
  ASSERT_EQ(read(file), 0);
  EXPECT_EQ(document.rowCount(), 2);
}

TEST_F(Ov2ReaderTest, ErrorsInEitherHalfOfALargeFileKeepTheRowsBeforeThem) {
  EXPECT_EQ(read(Camera(129, 10) + kHalfFile + Poi(Latin1(u"Plain"), 1, 2)), kIncompatibleStructures);
  EXPECT_EQ(document.rowCount(), 1);
  EXPECT_EQ(document.kind, DocumentKind::SafetyCamera);

  document = PoiDocument{};
  EXPECT_EQ(read(Poi(Latin1(u"A"), 1, 2) + kHalfFile + Poi(Latin1(u"B"), 1, 2) + Bytes{2, 99, 0, 0, 0}),
            kWrongContent);
  EXPECT_EQ(document.rowCount(), 2);
}

TEST_F(Ov2ReaderTest, ImportOfALargeFileSelectsItsRowsAndFocusesTheLast) {
  AppendPoi(document, u"Mine", false);
  ASSERT_EQ(read(Poi(Latin1(u"A"), 1, 2) + kHalfFile + Poi(Latin1(u"B"), 1, 2), FileOperation::Import), 0);
  ASSERT_EQ(document.rowCount(), 3);
  EXPECT_FALSE(document.rows[0].selected);
  EXPECT_TRUE(document.rows[1].selected && !document.rows[1].focused);
  EXPECT_TRUE(document.rows[2].selected && document.rows[2].focused);
  EXPECT_GT(document.nextRowId, document.rows[2].id());
}

// A large file read in two halves gives exactly what reading it in one go gives, for every
// kind of document and for the nested skippers of optimised files.
TEST(Ov2LargeFileTest, TwoHalvesReadLikeOne) {
  for (const DocumentKind kind : {DocumentKind::Poi, DocumentKind::SafetyCamera}) {
    for (const bool rich : {false, true}) {
      if (kind == DocumentKind::SafetyCamera && rich) continue;
      PoiDocument source;
      source.kind = kind;
      source.richPoiFile = rich;
      std::mt19937 random(7);
      const int count = kind == DocumentKind::SafetyCamera ? 120000 : 60000;  // over 1 MB either way
      for (int i = 0; i < count; ++i) {
        const int row = AppendPoi(source, u"POI " + std::u16string(1 + random() % 20, u"xé中"[random() % 3]), false);
        const auto degrees = [&](int range) {
          const double value = static_cast<int>(random() % (2 * range)) - range + random() % 1000 / 1000.0;
          const std::string text = std::to_string(value);
          return std::u16string(text.begin(), text.end());
        };
        SetCoordinateText(source, row, kLng, degrees(10), false);
        SetCoordinateText(source, row, kLat, degrees(10), false);
        SetTelephone(source, row, random() % 3 == 0 ? u"70" : u"");
        SetMemo(source, row, kind == DocumentKind::SafetyCamera ? u"Mobile" : rich ? u"123" : u"memo");
      }
      for (const bool optimise : {false, true}) {
        SCOPED_TRACE(testing::Message() << "kind " << int(kind) << " rich " << rich << " optimise " << optimise);
        AppSettings settings;
        settings.set(Switch::OptimisePoi, optimise);
        SilentUserPort port;
        MemorySink sink;
        FileSession save(source, FileOperation::Save, FileFormat::Ov2, settings, port);
        ASSERT_EQ(WriteOv2(save, sink), 0);
        ASSERT_GT(sink.bytes.size(), 1u << 20);
        auto read = [&](bool inOneGo) {
          AppSettings readSettings;
          readSettings.set(Switch::CheckName, inOneGo);  // checking names reads in order
          PoiDocument document;
          std::vector<std::uint8_t> bytes = sink.bytes;
          FileSession open(document, FileOperation::Open, FileFormat::Ov2, readSettings, port);
          EXPECT_EQ(ReadOv2(open, bytes), 0);
          return document;
        };
        const PoiDocument halves = read(false);
        const PoiDocument whole = read(true);
        ASSERT_EQ(halves.rowCount(), whole.rowCount());
        EXPECT_EQ(halves.kind, whole.kind);
        EXPECT_EQ(halves.richPoiFile, whole.richPoiFile);
        for (int row = 0; row < whole.rowCount(); ++row) {
          for (int column = kName; column <= kMemo; ++column) {
            ASSERT_EQ(halves.text(row, column), whole.text(row, column)) << row << " " << column;
          }
        }
      }
    }
  }
}

// A file read in two halves shows its progress as it goes, not only as each half ends.
TEST(Ov2LargeFileTest, ReadingInHalvesShowsProgressAllAlong) {
  PoiDocument source;
  for (int i = 0; i < 80000; ++i) {
    const int row = AppendPoi(source, u"POI " + Utf8ToUtf16(std::to_string(i)), false);
    SetCoordinateText(source, row, kLng, u"4.5", false);
    SetCoordinateText(source, row, kLat, u"52.25", false);
  }
  AppSettings settings;
  SilentUserPort silent;
  MemorySink sink;
  FileSession save(source, FileOperation::Save, FileFormat::Ov2, settings, silent);
  ASSERT_EQ(WriteOv2(save, sink), 0);
  ASSERT_GT(sink.bytes.size(), 1u << 20);
  PoiDocument document;
  test::ScriptedUserPort port;
  FileSession open(document, FileOperation::Open, FileFormat::Ov2, settings, port);
  ASSERT_EQ(ReadOv2(open, sink.bytes), 0);
  EXPECT_GE(port.progressCalls, 40);
  EXPECT_EQ(port.lastPercent, 100);
}

}  // namespace
}  // namespace qf
