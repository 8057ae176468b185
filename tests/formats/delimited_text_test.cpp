#include "formats/delimited_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "formats/format_table.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

Bytes Utf16File(std::u16string_view text) {
  Bytes bytes = {0xFF, 0xFE};
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

Bytes Utf8File(std::u16string_view text) {
  Bytes bytes = {0xEF, 0xBB, 0xBF};
  const std::string utf8 = Utf16ToUtf8(text);
  bytes.insert(bytes.end(), utf8.begin(), utf8.end());
  return bytes;
}

bool IsTab(FileFormat format) { return FormatRowOf(format).layout == FormatLayout::Txt; }

// The formats written as delimited text, every layout in every encoding.
std::vector<FileFormat> WrittenTextFormats() {
  std::vector<FileFormat> formats;
  for (const FormatRow& row : FormatRows()) {
    if (row.writer != nullptr && IsDelimitedText(row.layout)) formats.push_back(row.format);
  }
  return formats;
}

class FailingSink : public ByteSink {
 public:
  bool write(const void*, std::size_t) override { return false; }
};

using test::Poi;

class DelimitedTextTest : public testing::Test {
 protected:
  // Reads like the pipeline does: the two bytes after the file hold a line end and 0.
  std::vector<Poi> read(FileFormat format, const Bytes& file, FileOperation operation = FileOperation::Open) {
    Bytes buffer = file;
    buffer.push_back(IsTab(format) ? '\r' : '\n');
    buffer.push_back(0);
    FileSession session(document, operation, format, settings, port);
    const auto bytes = std::span(buffer).first(file.size());
    EXPECT_EQ(IsTab(format) ? ReadTabText(session, bytes) : ReadCommaText(session, bytes), 0);
    readFormat = session.format;
    return pois();
  }
  std::vector<Poi> read(FileFormat format, std::string_view file) { return read(format, ToBytes(file)); }

  Bytes write(FileFormat format, FileOperation operation = FileOperation::Save) {
    MemorySink sink;
    FileSession session(document, operation, format, settings, port);
    EXPECT_EQ(IsTab(format) ? WriteTabText(session, sink) : WriteCommaText(session, sink), 0);
    return sink.bytes;
  }
  std::string writeText(FileFormat format) {
    const Bytes bytes = write(format);
    return {bytes.begin(), bytes.end()};
  }

  void add(const Poi& poi) {
    const int row = AppendPoi(document, poi.name, false);
    SetCoordinateText(document, row, kLng, poi.lng, true);
    SetCoordinateText(document, row, kLat, poi.lat, true);
    SetTelephone(document, row, poi.tel);
    SetMemo(document, row, poi.memo);
  }

  std::vector<Poi> pois() const { return test::Pois(document); }

  std::vector<Poi> roundTrip(FileFormat format) {
    const Bytes file = write(format);
    ResetToNew(document);
    return read(format, file);
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
  FileFormat readFormat = FileFormat::Ov2;
};

TEST_F(DelimitedTextTest, CommaLinesAreSplitQuotedAndChecked) {
  const struct {
    FileFormat format;
    std::string line;
    std::optional<Poi> poi;  // nothing: the line is skipped
  } cases[] = {
      {FileFormat::CsvDetect, "121.5,25.1,Cafe,Room 101", Poi{u"Cafe", u"121.50000", u"25.10000", u"101", u"Room"}},
      {FileFormat::CsvDetect, "121.5,25.1,Cafe,Room 101,", Poi{u"Cafe", u"121.50000", u"25.10000", u"", u"Room 101"}},
      {FileFormat::CsvDetect, "121.5,25.1,Cafe,,02 2882-5252",
       Poi{u"Cafe", u"121.50000", u"25.10000", u"02 2882-5252", u""}},
      {FileFormat::CsvDetect, R"(121.5,25.1,"Cafe, Bar","say ""hi""")",
       Poi{u"Cafe, Bar", u"121.50000", u"25.10000", u"", u"say \"hi\""}},
      {FileFormat::CsvDetect, "Longitude,Latitude,Name", Poi{u"Name", u"", u"", u"", u""}},
      {FileFormat::CsvDetect, ";Longitude,Latitude,Name", std::nullopt},
      {FileFormat::CsvDetect, "   ;1,2,Name", std::nullopt},
      {FileFormat::CsvDetect, "121.5,25.1", std::nullopt},
      {FileFormat::CsvDetect, "1,2,   ", std::nullopt},  // the name rule leaves nothing
      {FileFormat::AscDetect, "121:30:00,25:02:00,Tower", Poi{u"Tower", u"121.50000", u"25.03333", u"", u""}},
      {FileFormat::AscDetect, "121'30'00\"\",-25 30,\"A\"", Poi{u"A", u"121.50000", u"-25.50000", u"", u""}},
      // Without the asc colon rule only the leading number counts.
      {FileFormat::CsvDetect, "121:30:00,25,Colon", Poi{u"Colon", u"121.00000", u"25.00000", u"", u""}},
      {FileFormat::CsvDetect, "200,25.1,Far", Poi{u"Far", u"", u"25.10000", u"", u""}},
      {FileFormat::PoiDetect, "1,2,\"N\",\"M\",\"T 1\",extra,more", Poi{u"N", u"1.00000", u"2.00000", u"1", u"M"}},
      // Runs of quotes: pairs are literal, an odd one toggles.
      {FileFormat::CsvDetect, R"(1,2,a""""b)", Poi{u"a\"\"b", u"1.00000", u"2.00000", u"", u""}},
      {FileFormat::CsvDetect, R"(1,2,"x""",m,)", Poi{u"x\"", u"1.00000", u"2.00000", u"", u"m"}},
      {FileFormat::CsvDetect, R"(1,2,"x,y)", Poi{u"x,y", u"1.00000", u"2.00000", u"", u""}},
      // The telephone at the tail of a last memo field.
      {FileFormat::CsvDetect, "1,2,N,Shop +44 20 7946", Poi{u"N", u"1.00000", u"2.00000", u"+44 20 7946", u"Shop"}},
      {FileFormat::CsvDetect, "1,2,N,Room (02) 2882", Poi{u"N", u"1.00000", u"2.00000", u"02 2882", u"Room"}},
      {FileFormat::CsvDetect, "1,2,N,Gate 12+34", Poi{u"N", u"1.00000", u"2.00000", u"+34", u"Gate 12"}},
      {FileFormat::CsvDetect, "1,2,N,Suite 4B", Poi{u"N", u"1.00000", u"2.00000", u"", u"Suite 4B"}},
      {FileFormat::CsvDetect, "1,2,N,Unit 5)", Poi{u"N", u"1.00000", u"2.00000", u"", u"Unit 5)"}},
      // Cut to 578 characters before splitting: the telephone beyond is lost.
      {FileFormat::CsvDetect, "1,2,N," + std::string(600, 'x') + ",123",
       Poi{u"N", u"1.00000", u"2.00000", u"", std::u16string(255, u'x')}},
  };
  for (const auto& c : cases) {
    ResetToNew(document);
    const std::vector<Poi> read = this->read(c.format, c.line);
    EXPECT_EQ(read, c.poi ? std::vector<Poi>{*c.poi} : std::vector<Poi>{}) << c.line;
  }
}

TEST_F(DelimitedTextTest, LinesEndAtCrOrLfEvenInsideQuotes) {
  EXPECT_EQ(read(FileFormat::CsvDetect, "1,2,\"a\r\n\r\n3,4,b\r5,6,c"),
            (std::vector<Poi>{{u"a", u"1.00000", u"2.00000", u"", u""},
                              {u"b", u"3.00000", u"4.00000", u"", u""},
                              {u"c", u"5.00000", u"6.00000", u"", u""}}));
}

TEST_F(DelimitedTextTest, TabLinesHaveNoQuoting) {
  EXPECT_EQ(read(FileFormat::TxtDetect,
                 "Cafe\t121.5\t25.1\t02 1234\tRoom\n"
                 "\"q\", a\t\t\t\tmemo only\t5th\n"
                 "\t1\t2\n"
                 "  ;comment\t1\t2\n"
                 "\n"
                 "Solo"),
            (std::vector<Poi>{{u"Cafe", u"121.50000", u"25.10000", u"02 1234", u"Room"},
                              {u"\"q\", a", u"", u"", u"", u"memo only"},
                              {u"Solo", u"", u"", u"", u""}}));
}

TEST_F(DelimitedTextTest, RichPoiDocumentsGetNoMemo) {
  document.richPoiFile = true;
  EXPECT_EQ(read(FileFormat::CsvDetect, "1,2,N,Memo,123\n"),
            (std::vector<Poi>{{u"N", u"1.00000", u"2.00000", u"123", u""}}));
  EXPECT_EQ(read(FileFormat::TxtDetect, "M\t1\t2\t123\tMemo\n")[1], (Poi{u"M", u"1.00000", u"2.00000", u"123", u""}));
}

TEST_F(DelimitedTextTest, DuplicateNamesAreCheckedWhenTheOptionIsOn) {
  settings.set(Switch::CheckName, true);
  port.duplicateAnswers = {DuplicateAnswer::EliminateAll};
  EXPECT_EQ(read(FileFormat::CsvDetect, "1,2,A\n3,4,A\n5,6,B\n").size(), 2u);
}

TEST_F(DelimitedTextTest, ImportedRowsAreSelected) {
  read(FileFormat::CsvDetect, ToBytes("1,2,A\n"), FileOperation::Import);
  EXPECT_TRUE(document.rows[0].selected);
}

TEST_F(DelimitedTextTest, EncodingIsDetectedFromTheByteOrderMark) {
  const struct {
    FileFormat given;
    Bytes file;
    FileFormat detected;
  } cases[] = {
      {FileFormat::CsvDetect, Utf16File(u"1,2,Name\r\n"), FileFormat::CsvUnicode},
      {FileFormat::AscDetect, Utf8File(u"1,2,Name"), FileFormat::AscUtf8},
      {FileFormat::PoiDetect, ToBytes("1,2,Name"), FileFormat::PoiAnsi},
      {FileFormat::TxtDetect, Utf16File(u"Name\t1\t2"), FileFormat::TxtUnicode},
      {FileFormat::TxtDetect, Utf8File(u"Name\t1\t2\r\n"), FileFormat::TxtUtf8},
      {FileFormat::CsvUtf8, ToBytes("1,2,Name"), FileFormat::CsvAnsi},  // the file decides, not the name
      {FileFormat::TxtUnicode, ToBytes("Name\t1\t2"), FileFormat::TxtAnsi},
  };
  for (const auto& c : cases) {
    ResetToNew(document);
    EXPECT_EQ(read(c.given, c.file), (std::vector<Poi>{{u"Name", u"1.00000", u"2.00000", u"", u""}}))
        << static_cast<int>(c.given);
    EXPECT_EQ(readFormat, c.detected) << static_cast<int>(c.given);
  }

  // Without a mark UTF-16 is ANSI; its zero bytes are control characters the name rule drops.
  ResetToNew(document);
  Bytes noMark = Utf16File(u"Name\t1\t2");
  noMark.erase(noMark.begin(), noMark.begin() + 2);
  read(FileFormat::TxtDetect, noMark);
  EXPECT_EQ(readFormat, FileFormat::TxtAnsi);

  // A lone byte after the last UTF-16 character is half a character.
  ResetToNew(document);
  Bytes odd = Utf16File(u"1,2,AB");
  odd.push_back('C');
  EXPECT_EQ(read(FileFormat::CsvDetect, odd).at(0).name, u"AB");
}

TEST_F(DelimitedTextTest, TabFileStartingWithAQuoteIsAPhonebook) {
  EXPECT_EQ(read(FileFormat::TxtDetect, "\"Anna\",\"0123\",\"CELL\"\r\n"),
            (std::vector<Poi>{{u"Anna", u"", u"", u"0123", u"Cell"}}));
  EXPECT_EQ(readFormat, FileFormat::Phonebook);
  EXPECT_EQ(document.kind, DocumentKind::Phonebook);
}

class DelimitedTextWriteTest : public DelimitedTextTest {
 protected:
  void SetUp() override {
    add({u"Cafe", u"121.5", u"25.1", u"101", u"Room"});
    add({u"Say \"hi\"", u"", u"", u"", u"a,b"});
    add({u"Plain", u"-1.5", u"2", u"02 2882", u""});
    add({u"Solo", u"", u"", u"", u""});
  }
};

TEST_F(DelimitedTextWriteTest, EachLayoutQuotesAndCutsSeparatorsItsOwnWay) {
  EXPECT_EQ(writeText(FileFormat::CsvAnsi),
            "121.50000,25.10000,Cafe,Room,101\r\n"
            ",,\"Say \"\"hi\"\"\",\"a,b\",\r\n"
            "-1.50000,2.00000,Plain,,02 2882\r\n"
            ",,Solo\r\n");
  EXPECT_EQ(writeText(FileFormat::AscAnsi),
            "121.50000,25.10000,\"Cafe\",\"Room\",101\r\n"
            ",,\"Say \"\"hi\"\"\",\"a,b\",\r\n"
            "-1.50000,2.00000,\"Plain\",,02 2882\r\n"
            ",,\"Solo\"\r\n");
  EXPECT_EQ(writeText(FileFormat::PoiAnsi),
            "121.50000,25.10000,\"Cafe\",\"Room\",\"101\"\r\n"
            ",,\"Say \"\"hi\"\"\",\"a,b\",\r\n"
            "-1.50000,2.00000,\"Plain\",,\"02 2882\"\r\n"
            ",,\"Solo\"\r\n");
  EXPECT_EQ(writeText(FileFormat::TxtAnsi),
            "Cafe\t121.50000\t25.10000\t101\tRoom\r\n"
            "Say \"hi\"\t\t\t\ta,b\r\n"
            "Plain\t-1.50000\t2.00000\t02 2882\r\n"
            "Solo\r\n");
}

TEST_F(DelimitedTextWriteTest, UnicodeAndUtf8CarryTheirMark) {
  const std::u16string csv =
      u"121.50000,25.10000,Cafe,Room,101\r\n"
      u",,\"Say \"\"hi\"\"\",\"a,b\",\r\n"
      u"-1.50000,2.00000,Plain,,02 2882\r\n"
      u",,Solo\r\n";
  EXPECT_EQ(write(FileFormat::CsvUnicode), Utf16File(csv));
  EXPECT_EQ(write(FileFormat::CsvUtf8), Utf8File(csv));
  const std::u16string txt =
      u"Cafe\t121.50000\t25.10000\t101\tRoom\r\n"
      u"Say \"hi\"\t\t\t\ta,b\r\n"
      u"Plain\t-1.50000\t2.00000\t02 2882\r\n"
      u"Solo\r\n";
  EXPECT_EQ(write(FileFormat::TxtUnicode), Utf16File(txt));
  EXPECT_EQ(write(FileFormat::TxtUtf8), Utf8File(txt));
}

TEST_F(DelimitedTextWriteTest, WrittenLinesReadBackInEveryLayout) {
  const std::vector<Poi> written = pois();
  for (const FileFormat format : WrittenTextFormats()) {
    EXPECT_EQ(roundTrip(format), written) << FormatNumber(format);
    EXPECT_EQ(readFormat, format);
  }
}

// Quotes are doubled in the file, so a line of full-length texts of quotes is longer than the limit a
// line is cut to; and a text of quotes alone must not run into quotes around it, which a reader would
// take as one more literal quote.
TEST_F(DelimitedTextTest, TextsOfQuotesAloneReadBackInEveryCommaLayout) {
  for (const std::size_t length : {std::size_t{1}, std::size_t{2}, kMaxNameLength}) {
    const std::u16string quotes(length, u'"');
    add({quotes, u"-179.99999", u"-89.99999", u"123456789012345678", quotes});
  }
  const std::vector<Poi> written = pois();
  for (const FileFormat format : WrittenTextFormats()) {
    if (IsTab(format)) continue;
    EXPECT_EQ(roundTrip(format), written) << FormatNumber(format);
  }
}

TEST_F(DelimitedTextWriteTest, ExportWritesTheSelectedRows) {
  document.rows[2].selected = true;
  const Bytes bytes = write(FileFormat::CsvAnsi, FileOperation::Export);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "-1.50000,2.00000,Plain,,02 2882\r\n");
}

TEST_F(DelimitedTextWriteTest, FailedWritesReportTheError) {
  FailingSink sink;
  FileSession comma(document, FileOperation::Save, FileFormat::CsvUtf8, settings, port);
  EXPECT_EQ(WriteCommaText(comma, sink), kCannotWrite);
  FileSession tab(document, FileOperation::Save, FileFormat::TxtAnsi, settings, port);
  EXPECT_EQ(WriteTabText(tab, sink), kCannotWrite);
}

TEST_F(DelimitedTextTest, CoordinatesAreWrittenAsSignedDecimalWhateverTheDisplay) {
  document.display.dms = true;
  document.display.compass = true;
  add({u"P", u"-121.5", u"25.25", u"", u""});
  ASSERT_NE(document.text(0, kLng), u"-121.50000");
  EXPECT_EQ(writeText(FileFormat::CsvAnsi), "-121.50000,25.25000,P\r\n");
  EXPECT_EQ(writeText(FileFormat::TxtAnsi), "P\t-121.50000\t25.25000\r\n");
}

TEST_F(DelimitedTextTest, ForeignTextRoundTripsInEveryEncoding) {
  const struct {
    std::u16string text;
    int codePage;  // one in which ANSI can hold the text
  } cases[] = {
      {u"Café Façade ß", 1252},
      {u"Москва Кремль", 1251},
      {u"臺北車站", 950},
      {u"北京西站", 936},
  };
  for (const auto& c : cases) {
    settings.codePage = c.codePage;
    for (const FileFormat format :
         {FileFormat::CsvAnsi, FileFormat::AscUnicode, FileFormat::PoiUtf8, FileFormat::TxtAnsi, FileFormat::TxtUnicode,
          FileFormat::TxtUtf8, FileFormat::CsvUnicode, FileFormat::AscUtf8}) {
      ResetToNew(document);
      add({c.text, u"1", u"2", u"", c.text});
      EXPECT_EQ(roundTrip(format), (std::vector<Poi>{{c.text, u"1.00000", u"2.00000", u"", c.text}}))
          << Utf16ToUtf8(c.text) << ' ' << FormatNumber(format);
    }
  }
}

TEST_F(DelimitedTextTest, AnsiUsesTheConfiguredCodePage) {
  settings.codePage = 1251;
  add({u"Москва", u"37.6", u"55.75", u"", u""});
  EXPECT_EQ(write(FileFormat::TxtAnsi),
            test::Hex("CC EE F1 EA E2 E0 09 33 37 2E 36 30 30 30 30 09 35 35 2E 37 35 30 30 30 0D 0A"));
  const Bytes file = write(FileFormat::CsvAnsi);
  ResetToNew(document);
  EXPECT_EQ(read(FileFormat::CsvDetect, file).at(0).name, u"Москва");

  // Characters a code page lacks become '?'; a code page the converter does not know is taken as 1252.
  for (const int codePage : {1252, 12345}) {
    settings.codePage = codePage;
    EXPECT_EQ(writeText(FileFormat::CsvAnsi), "37.60000,55.75000,??????\r\n") << codePage;
  }
  // Read under another code page the same bytes are other letters.
  ResetToNew(document);
  EXPECT_EQ(read(FileFormat::CsvDetect, file).at(0).name, u"Ìîñêâà");
}

// Reading that grew with the square of the line would not end within the test's timeout.
TEST_F(DelimitedTextTest, HugeSingleLineIsCutToItsFields) {
  std::string line = "1,2,Name,";
  line.resize(50 * 1024 * 1024, 'x');
  EXPECT_EQ(read(FileFormat::CsvDetect, line),
            (std::vector<Poi>{{u"Name", u"1.00000", u"2.00000", u"", std::u16string(255, u'x')}}));
  ResetToNew(document);
  std::string tabs = "Name\t1\t2\t";
  tabs.resize(50 * 1024 * 1024, '\t');
  EXPECT_EQ(read(FileFormat::TxtDetect, Utf16File(Utf8ToUtf16(tabs))).size(), 1u);
}

TEST_F(DelimitedTextTest, CorpusFilesRead) {
  const auto readFile = [&](FileFormat format, std::string_view name) {
    ResetToNew(document);
    return read(format, test::ReadBytes(test::CorpusPath("text/" + std::string(name))));
  };
  // Four header lines have fewer than three fields.
  std::vector<Poi> pois = readFile(FileFormat::AscDetect, "tomtom_poi.asc");
  ASSERT_EQ(pois.size(), 86u);
  EXPECT_EQ(pois[0], (Poi{u"5066", u"-71.11928", u"42.43888", u"", u""}));
  EXPECT_EQ(readFormat, FileFormat::AscAnsi);

  pois = readFile(FileFormat::CsvDetect, "Speed_Cameras.csv");
  ASSERT_EQ(pois.size(), 60u);
  EXPECT_EQ(pois[0], (Poi{u"Camera E001", u"-75.74395", u"45.28146", u"", u"Speed Camera"}));

  // Opened by their extension these are tab text: without tabs each line is a name. Only the
  // comment line is skipped, and the points out of range are plain names like the rest.
  pois = readFile(FileFormat::TxtDetect, "pinpoi_asc.txt");
  ASSERT_EQ(pois.size(), 6u);
  EXPECT_EQ(pois[0].name, u"1.0 2.5 \"location1 to import\"");
  EXPECT_EQ(pois[3], (Poi{u"12.56789,", u"41.56721", u"", u"", u""}));  // "\"00040 ..." is no latitude
  EXPECT_EQ(readFile(FileFormat::TxtDetect, "pinpoi_csv.txt").size(), 5u);

  // Read as comma text, only the comma-separated lines give POIs; the out-of-range points are
  // separated by blanks and so never reach the range check.
  EXPECT_EQ(readFile(FileFormat::AscDetect, "pinpoi_asc.txt"),
            (std::vector<Poi>{{u"00040 DEMO LOCATION [A/Va/X]", u"12.56789", u"41.56721", u"", u""}}));
  EXPECT_EQ(readFile(FileFormat::CsvDetect, "pinpoi_csv.txt"),
            (std::vector<Poi>{{u"location1 to import", u"1.00000", u"2.50000", u"", u""},
                              {u"Location3 -to. import 012345678890", u"8.19783", u"39.69854", u"", u""}}));
}

}  // namespace
}  // namespace qf
