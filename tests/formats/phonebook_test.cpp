#include "formats/phonebook.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

class FailingSink : public ByteSink {
 public:
  bool write(const void*, std::size_t) override { return false; }
};

struct Contact {
  std::u16string name;
  std::u16string telephone;
  std::u16string memo;
  bool operator==(const Contact&) const = default;
};

class PhonebookTest : public testing::Test {
 protected:
  int add(std::u16string_view name, std::u16string_view telephone, std::u16string_view memo = u"Default") {
    const int row = AppendPoi(document, name, false);
    SetTelephone(document, row, telephone);
    SetMemo(document, row, memo);
    return row;
  }

  std::string write(FileOperation operation = FileOperation::Save) {
    MemorySink sink;
    FileSession session(document, operation, FileFormat::Phonebook, settings, port);
    EXPECT_EQ(WritePhonebook(session, sink), 0);
    return {sink.bytes.begin(), sink.bytes.end()};
  }

  // Reads like the pipeline does: with a line feed after the file's last byte.
  std::vector<Contact> read(std::string_view file, FileOperation operation = FileOperation::Open) {
    Bytes bytes = ToBytes(file);
    bytes.push_back('\n');
    FileSession session(document, operation, FileFormat::Phonebook, settings, port);
    EXPECT_EQ(ReadPhonebook(session, std::span(bytes).first(file.size())), 0);
    eliminated = session.eliminatedCount();
    return contacts();
  }

  std::vector<Contact> contacts() const {
    std::vector<Contact> all;
    for (int row = 0; row < document.rowCount(); ++row) {
      all.push_back({std::u16string(document.text(row, kName)), std::u16string(document.text(row, kTel)),
                     std::u16string(document.text(row, kMemo))});
    }
    return all;
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
  int eliminated = 0;
};

std::string TwoByte(std::u16string_view name) {
  std::string out = ">>";
  for (char16_t c : name) {
    const std::uint16_t code = EncodeCharCode(c);
    out += static_cast<char>(code & 0xFF);
    out += static_cast<char>(code >> 8);
  }
  return out;
}

TEST_F(PhonebookTest, WritesExactLines) {
  document.kind = DocumentKind::Phonebook;
  add(u"Jo \"Bo\", Jr", u"+49 30 1234", u"Cell");
  add(u"Caf\u00E9", u"112", u"Home");
  add(u"No phone", u"", u"Work");
  add(u"\u4E2DA", u"5", u"Work");
  document.kind = DocumentKind::Poi;  // memos the phonebook rules would refuse
  add(u"Other", u"6", u"Mobile");
  add(u"Blank", u"7", u"");
  EXPECT_EQ(write(),
            "\"Jo 'Bo', Jr\",\"+49 30 1234\",\"CELL\"\r\n"
            "\"Caf\xE9\",\"112\",\"HOME\"\r\n"
            "\">>\xF1\x82\x41\x21\",\"5\",\"WORK\"\r\n"
            "\"Other\",\"6\",\"DEFAULT\"\r\n"
            "\"Blank\",\"7\",\"DEFAULT\"\r\n");
}

TEST_F(PhonebookTest, SaveWritesEveryRowAndExportTheSelected) {
  add(u"Base", u"1");
  add(u"Second", u"2");
  add(u"Third", u"3");
  document.basePointPinned = true;
  document.baseRow = 0;
  document.rows[2].selected = true;
  EXPECT_EQ(write(FileOperation::Save),
            "\"Base\",\"1\",\"DEFAULT\"\r\n\"Second\",\"2\",\"DEFAULT\"\r\n\"Third\",\"3\",\"DEFAULT\"\r\n");
  EXPECT_EQ(write(FileOperation::Export), "\"Third\",\"3\",\"DEFAULT\"\r\n");
}

TEST_F(PhonebookTest, FailedWriteIsReported) {
  add(u"A", u"1");
  FailingSink sink;
  FileSession session(document, FileOperation::Save, FileFormat::Phonebook, settings, port);
  EXPECT_EQ(WritePhonebook(session, sink), kCannotWrite);
}

TEST_F(PhonebookTest, ReadsLines) {
  const std::string wide = "\"" + TwoByte(u"\u4E2D\"A,") + "\",\"1\",\"HOME\"";
  const struct {
    std::string file;
    std::vector<Contact> expected;
  } cases[] = {
      {"\"Smith, Jo\",\"+1 555\",\"CELL\"", {{u"Smith, Jo", u"+1 555", u"Cell"}}},
      {"\"A\",\"1\",\"WORK\"\r\"B\",\"2\",\"HOME\"\n\"C\",\"3\",\"DEFAULT\"\r\n",
       {{u"A", u"1", u"Work"}, {u"B", u"2", u"Home"}, {u"C", u"3", u"Default"}}},
      {"\"A\",\"1\",\" \tCELL \x01\"", {{u"A", u"1", u"Cell"}}},
      {"\"A\",\"1\",\"cell\"\n\"B\",\"2\",\"FAX\"\n\"C\",\"3\"\n\"D\"",
       {{u"A", u"1", u"Default"}, {u"B", u"2", u"Default"}, {u"C", u"3", u"Default"}, {u"D", u"", u"Default"}}},
      {"\"Caf\xE9\",\"1\",\"HOME\"", {{u"Caf\u00E9", u"1", u"Home"}}},
      // In a two-byte name only a quote before a comma closes it.
      {wide, {{u"\u4E2D\"A,", u"1", u"Home"}}},
      // A name that is empty or becomes empty drops its line; an unbalanced quote ends with the line.
      {"\"\",\"1\",\"HOME\"\n\" \x01 \",\"2\",\"HOME\"\n\"Open,\"1\n\"B\",\"2\",\"WORK\"",
       {{u"Open,1", u"", u"Default"}, {u"B", u"2", u"Work"}}},
  };
  for (const auto& c : cases) {
    document = PoiDocument();
    EXPECT_EQ(read(c.file), c.expected) << c.file;
  }
}

TEST_F(PhonebookTest, LinesOfMoreThan530UnitsAreIgnored) {
  // Name, comma, "1", comma, "HOME": 7 units besides the name.
  const auto line = [](std::size_t nameLength) {
    return "\"" + std::string(nameLength, 'a') + "\",\"1\",\"HOME\"\r\n";
  };
  // Two-byte characters count once: 255 of them fit.
  const std::string wide = "\"" + TwoByte(std::u16string(255, u'\u4E2D')) + "\",\"1\",\"HOME\"\r\n";
  read(line(523) + line(524) + wide);
  ASSERT_EQ(document.rowCount(), 2);
  EXPECT_EQ(document.text(0, kName).size(), kMaxNameLength);
  EXPECT_EQ(document.text(1, kName), std::u16string(255, u'\u4E2D'));
}

TEST_F(PhonebookTest, WrittenFileReadsBack) {
  document.kind = DocumentKind::Phonebook;
  add(u"Jo \"Bo\", Jr", u"+49 30 1234", u"Cell");
  add(u"\u4E2D\u6587 \u00E9", u"*31#", u"Work");
  add(std::u16string(255, u'\uFF01'), u"123456789012345678", u"Home");
  add(u"Plain", u"1", u"Default");
  const std::string file = write();
  std::vector<Contact> expected = contacts();
  expected[0].name = u"Jo 'Bo', Jr";
  document = PoiDocument();
  EXPECT_EQ(read(file), expected);
}

TEST_F(PhonebookTest, OpenMakesAPhonebookAndImportSelectsNewRows) {
  read("\"A\",\"1\",\"CELL\"");
  EXPECT_EQ(document.kind, DocumentKind::Phonebook);

  document = PoiDocument();
  AppendPoi(document, u"Old", false);
  read("\"A\",\"1\",\"CELL\"", FileOperation::Import);
  EXPECT_EQ(document.kind, DocumentKind::Poi);
  EXPECT_FALSE(document.rows[0].selected);
  EXPECT_TRUE(document.rows[1].selected && document.rows[1].focused);

  // A rich POI document keeps its memos for the rich records.
  document = PoiDocument();
  document.richPoiFile = true;
  EXPECT_EQ(read("\"A\",\"1\",\"CELL\"", FileOperation::Import), (std::vector<Contact>{{u"A", u"1", u""}}));
}

TEST_F(PhonebookTest, CheckNameEliminatesRepeatedNames) {
  settings.set(Switch::CheckName, true);
  port.duplicateAnswers = {DuplicateAnswer::EliminateAll};
  read("\"A\",\"1\",\"CELL\"\n\"B\",\"2\",\"CELL\"\n\"A\",\"3\",\"HOME\"\n\"A\",\"4\",\"WORK\"");
  EXPECT_EQ(contacts(), (std::vector<Contact>{{u"A", u"1", u"Cell"}, {u"B", u"2", u"Cell"}}));
  EXPECT_EQ(eliminated, 2);
  EXPECT_EQ(port.askedNames, std::vector<std::u16string>{u"A"});
}

}  // namespace
}  // namespace qf
