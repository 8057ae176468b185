// Names at the edge of their 255 UTF-16 units, on every path that puts a name into a row: a longer
// name is cut to 255 units, never between the halves of a surrogate pair; Replace leaves a name
// that would reach 256 units as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "core/app_settings.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "editing/base_points.h"
#include "editing/cell_editing.h"
#include "editing/clipboard_edits.h"
#include "editing/column_edits.h"
#include "editing/find_replace.h"
#include "editing/poi_table.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

std::u16string Units(std::size_t count) { return std::u16string(count, u'n'); }
const std::u16string kPair = u"\U0001F600";

// What a name of a given length becomes in a row.
struct Edge {
  const char* what;
  std::u16string name;
  std::u16string stored;
};
const Edge kEdges[] = {
    {"254 units", Units(254), Units(254)},
    {"255 units", Units(255), Units(255)},
    {"256 units", Units(256), Units(255)},
    {"257 units", Units(257), Units(255)},
    {"a pair ending at unit 255", Units(253) + kPair, Units(253) + kPair},
    {"a pair starting at unit 255", Units(254) + kPair, Units(254)},
};

std::u16string OnlyName(const PoiDocument& document) {
  return document.rowCount() == 1 ? std::u16string(document.text(0, kName))
                                  : u"(rows: " + Utf8ToUtf16(std::to_string(document.rowCount())) + u")";
}

// A file of one POI with the name, read by the open pipeline.
std::u16string Opened(FileFormat format, const std::string& file) {
  const std::filesystem::path path = test::TempDir() / "poi";
  test::WriteBytes(path, {file.begin(), file.end()});
  PoiDocument document;
  test::ScriptedUserPort port;
  EXPECT_EQ(RunFileOperation(document, FileOperation::Open, format, path, AppSettings(), port), 0);
  return OnlyName(document);
}

std::string Ov2(const std::u16string& name) {
  std::string record = {2};
  const auto append32 = [&](std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) record.push_back(static_cast<char>(value >> shift));
  };
  append32(static_cast<std::uint32_t>(13 + name.size() + 1));
  append32(450000);
  append32(5210000);
  record.append(name.begin(), name.end());  // single-byte text: the names here are all 'n'
  record.push_back(0);
  return record;
}

struct Path {
  const char* what;
  std::function<std::u16string(const std::u16string& name)> store;
  bool takesPairs = true;
};

const Path kPaths[] = {
    {"name rule and AppendPoi",
     [](std::u16string name) {
       PoiDocument document;
       NormaliseName(name);
       AppendPoi(document, name, false);
       return OnlyName(document);
     }},
    {"cell commit",
     [](const std::u16string& name) {
       PoiDocument document;
       AppendPoi(document, u"Old", false);
       PoiTable table(document);
       const CommitCheck check = CheckCommit(document, 0, kName, name, false);
       if (check.messageId != 0) return u"(message " + Utf8ToUtf16(std::to_string(check.messageId)) + u")";
       CommitCell(table, 0, kName, check.value);
       return OnlyName(document);
     }},
    {"paste",
     [](const std::u16string& name) {
       PoiDocument document;
       PoiTable table(document);
       test::ScriptedUserPort port;
       ExchangeRows rows(1);
       rows[0].texts = {name, u"4.5", u"52.1", u"", u""};
       PasteRows(table, rows, false, port);
       return OnlyName(document);
     }},
    {"combine",
     [](const std::u16string& name) {
       PoiDocument document;
       AppendPoi(document, name.substr(0, 1), false);
       PoiTable table(document);
       Combine(table, {CombinePart::Name, CombinePart::Text, name.substr(1)});
       return OnlyName(document);
     }},
    {"My Base Point entry",
     [](const std::u16string& name) {
       PoiDocument document;
       PoiTable table(document);
       BasePointSettings saved;
       saved.entries = {name + u">4.50000>52.10000>>"};
       BasePointList list(saved, document.display);
       list.set(table, saved);
       return OnlyName(document);
     }},
    {"OV2 file", [](const std::u16string& name) { return Opened(FileFormat::Ov2, Ov2(name)); }, false},
    {"KML file",
     [](const std::u16string& name) {
       return Opened(FileFormat::Kml, "<kml><Document><Placemark><name>" + Utf16ToUtf8(name) +
                                          "</name><Point><coordinates>4.5,52.1</coordinates></Point></Placemark>"
                                          "</Document></kml>");
     }},
    {"GPX file",
     [](const std::u16string& name) {
       return Opened(FileFormat::Gpx, "<gpx version=\"1.1\"><wpt lat=\"52.1\" lon=\"4.5\"><name>" + Utf16ToUtf8(name) +
                                          "</name></wpt></gpx>");
     }},
    {"csv file",
     [](const std::u16string& name) {
       const std::string utf8Mark = "\xEF\xBB\xBF";
       return Opened(FileFormat::CsvDetect, utf8Mark + "4.5,52.1," + Utf16ToUtf8(name) + "\r\n");
     }},
};

TEST(NameLimitTest, EveryPathKeepsAtMost255UnitsAndNoHalfPair) {
  for (const Path& path : kPaths) {
    for (const Edge& edge : kEdges) {
      if (!path.takesPairs && edge.name.find(kPair) != std::u16string::npos) continue;
      EXPECT_EQ(path.store(edge.name), edge.stored) << path.what << ", " << edge.what;
    }
  }
}

TEST(NameLimitTest, ReplaceLeavesANameThatWouldReach256Units) {
  // The name is 253 units and an "x"; the "x" is replaced.
  const struct {
    const char* what;
    std::u16string replacement;
    bool replaced;
  } cases[] = {
      {"254 units", u"n", true},
      {"255 units", u"nn", true},
      {"256 units", u"nnn", false},
      {"257 units", u"nnnn", false},
      {"a pair ending at unit 255", kPair, true},
      {"a pair starting at unit 255", u"n" + kPair, false},
  };
  for (const auto& c : cases) {
    PoiDocument document;
    AppendPoi(document, Units(253) + u"x", false);
    PoiTable table(document);
    EXPECT_EQ(ReplaceAll(table, {true, true, true, u"x", c.replacement}, false), c.replaced) << c.what;
    EXPECT_EQ(document.text(0, kName), c.replaced ? Units(253) + c.replacement : Units(253) + u"x") << c.what;
  }
}

}  // namespace
}  // namespace qf
