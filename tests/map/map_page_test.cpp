#include "map/map_page.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "support/test_support.h"

namespace qf {
namespace {

constexpr std::string_view kLoadMarker = "function LoadMarker(jYahooTileLayer)\r\n{\r\n";

// The AddMarker lines of a page, in order.
std::vector<std::string> MarkerLines(const std::string& page) {
  std::vector<std::string> lines;
  std::size_t at = page.find(kLoadMarker);
  if (at == std::string::npos) return lines;
  at += kLoadMarker.size();
  while (page.compare(at, 11, "\tAddMarker(") == 0) {
    const std::size_t end = page.find("\r\n", at);
    lines.push_back(page.substr(at, end + 2 - at));
    at = end + 2;
  }
  return lines;
}

// Reads a line as a script would: AddMarker's five arguments, the strings unescaped. Fails the
// test when the line is not exactly one call with two numbers and three single-quoted strings.
std::vector<std::u16string> ReadArguments(const std::string& line) {
  std::vector<std::u16string> arguments;
  const std::u16string text = Utf8ToUtf16(line);
  const std::u16string start = u"\tAddMarker(";
  EXPECT_TRUE(text.starts_with(start)) << line;
  std::size_t i = start.size();
  const auto readString = [&] {
    EXPECT_EQ(text[i], u'\'') << line;
    std::u16string value;
    for (++i; i < text.size() && text[i] != u'\''; ++i) {
      const char16_t c = text[i];
      EXPECT_TRUE(c != u'<' && c != u'\r' && c != u'\n' && c != 0x2028 && c != 0x2029) << line;
      if (c != u'\\') {
        value += c;
        continue;
      }
      const char16_t next = text[++i];
      if (next == u'x') {
        value += static_cast<char16_t>(std::stoi(Utf16ToUtf8(text.substr(i + 1, 2)), nullptr, 16));
        i += 2;
      } else if (next == u'u') {
        value += static_cast<char16_t>(std::stoi(Utf16ToUtf8(text.substr(i + 1, 4)), nullptr, 16));
        i += 4;
      } else {
        value += next == u'r' ? u'\r' : next == u'n' ? u'\n' : next;
      }
    }
    ++i;
    arguments.push_back(value);
  };
  const auto readNumber = [&] {
    const std::size_t end = text.find(u',', i);
    arguments.push_back(text.substr(i, end - i));
    for (const char16_t c : arguments.back()) EXPECT_TRUE(c == u'-' || c == u'.' || (c >= u'0' && c <= u'9')) << line;
    i = end;
  };
  const auto expectText = [&](std::u16string_view expected) {
    EXPECT_EQ(text.substr(i, expected.size()), expected) << line;
    i += expected.size();
  };
  readString();
  expectText(u", ");
  readNumber();
  expectText(u", ");
  readNumber();
  expectText(u", ");
  readString();
  expectText(u", ");
  readString();
  expectText(u");\r\n");
  EXPECT_EQ(i, text.size()) << line;
  return arguments;
}

class MapPageTest : public testing::Test {
 protected:
  int add(std::u16string_view name, std::u16string_view lng = u"4.50000", std::u16string_view lat = u"52.10000",
          std::u16string_view tel = u"", std::u16string_view memo = u"") {
    const int row = AppendPoi(document, name, false);
    PoiRecord& record = document.rows.back();
    record.setText(kLng, lng);
    record.setText(kLat, lat);
    record.setText(kTel, tel);
    record.setText(kMemo, memo);
    return row;
  }

  std::vector<std::string> markers() const { return MarkerLines(BuildMapPage(document, options).text); }

  PoiDocument document;
  MapPageOptions options;
};

TEST_F(MapPageTest, SomeButNotAllSelectedRowsGetMarkers) {
  for (int i = 0; i < 10; ++i) add(u"P" + Utf8ToUtf16(std::to_string(i)));
  EXPECT_EQ(markers().size(), 10u);  // none selected
  for (const int row : {2, 5, 7}) document.rows[static_cast<std::size_t>(row)].selected = true;
  EXPECT_EQ(ChosenRows(document), (std::vector<int>{2, 5, 7}));
  const std::vector<std::string> lines = markers();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(ReadArguments(lines[1])[0], u"P5");
  for (PoiRecord& record : document.rows) record.selected = true;
  EXPECT_EQ(markers().size(), 10u);
}

TEST_F(MapPageTest, RowsWithoutBothCoordinatesGetNoLineAndShiftNothing) {
  add(u"No lat", u"4.50000", u"");
  add(u"Inn", u"-4.25000", u"52.10000", u"+31 20", u"Dam 1");
  add(u"No lng", u"", u"52.10000");
  add(u"Hut", u"5.00000", u"-0.50000");
  const MapPage page = BuildMapPage(document, options);
  const std::vector<std::string> lines = MarkerLines(page.text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "\tAddMarker('Inn', 52.10000, -4.25000, '+31 20', 'Dam 1');\r\n");
  EXPECT_EQ(lines[1], "\tAddMarker('Hut', -0.50000, 5.00000, '', '');\r\n");
  EXPECT_EQ(page.firstMarkedRow, 1);
}

// Every 10,000 marker lines the rest goes on in a function of its own that the one before calls last,
// and the closing part ends the last one.
TEST_F(MapPageTest, ManyMarkersAreDealtIntoChainedFunctions) {
  for (int i = 0; i < 20001; ++i) add(u"P");
  const std::string page = BuildMapPage(document, options).text;
  std::size_t lines = 0;
  for (std::size_t at = page.find("\tAddMarker('"); at != std::string::npos; at = page.find("\tAddMarker('", at + 1)) ++lines;
  EXPECT_EQ(lines, 20001u);
  const std::size_t first = page.find("\tLoadMarkers1();\r\n}\r\nfunction LoadMarkers1()\r\n{\r\n");
  const std::size_t second = page.find("\tLoadMarkers2();\r\n}\r\nfunction LoadMarkers2()\r\n{\r\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(page.find("LoadMarkers3"), std::string::npos);
  EXPECT_EQ(std::count(page.begin() + static_cast<std::ptrdiff_t>(first), page.begin() + static_cast<std::ptrdiff_t>(second),
                       '\n'),
            10000 + 4);
}

TEST_F(MapPageTest, CoordinatesLeaveInPlainDecimalWhateverTheDisplay) {
  document.display.dms = true;
  document.display.compass = true;
  add(u"Inn");
  SetCoordinateText(document, 0, kLng, u"-4.25", true);
  SetCoordinateText(document, 0, kLat, u"52.1", true);
  ASSERT_NE(document.text(0, kLng), u"-4.25000");
  EXPECT_EQ(MarkerLine(document, 0), "\tAddMarker('Inn', 52.10000, -4.25000, '', '');\r\n");
}

TEST_F(MapPageTest, ApostrophesAndBackslashesAreEscaped) {
  add(u"Joe's \\ bar", u"1.00000", u"2.00000", u"", u"it's \"here\"");
  EXPECT_EQ(MarkerLine(document, 0), "\tAddMarker('Joe\\'s \\\\ bar', 2.00000, 1.00000, '', 'it\\'s \"here\"');\r\n");
}

// No text of a POI can end its string, the script element or the page.
TEST_F(MapPageTest, HostileTextsStayInsideTheirStrings) {
  const std::u16string texts[] = {u"</script><script>alert(1)</script>",
                                  u"<!-- a --> b",
                                  u"a'b\"c\\",
                                  u"\\'); alert(1); ('",
                                  u"line\r\nbreak\nand\rmore",
                                  u"sep\u2028ara\u2029tors",
                                  u"ctrl\x01\x1f\x7f",
                                  u"\U0001F600 pair and lone \xD800 half"};
  for (const std::u16string& text : texts) {
    document.rows.clear();
    add(text, u"1.00000", u"2.00000", u"", text);
    const std::vector<std::string> lines = markers();
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::u16string> arguments = ReadArguments(lines[0]);
    ASSERT_EQ(arguments.size(), 5u);
    const std::u16string expected = text.find(u'\xD800') == std::u16string::npos
                                        ? text
                                        : u"\U0001F600 pair and lone \uFFFD half";
    EXPECT_EQ(arguments[0], expected);
    EXPECT_EQ(arguments[4], expected);
  }
}

// Name and memo: 511 characters of table text taken, 510 written after escaping, never half an
// escape; the telephone: 18 characters.
TEST_F(MapPageTest, TextsAreCutToTheirLengths) {
  const struct {
    std::u16string text;
    std::u16string written;
  } cases[] = {
      {std::u16string(600, u'a'), std::u16string(510, u'a')},
      {std::u16string(300, u'\''), std::u16string(255, u'\'')},
      {std::u16string(509, u'a') + u"'", std::u16string(509, u'a')},
      {std::u16string(511, u'a') + u"b", std::u16string(510, u'a')},
      {std::u16string(200, u'<'), std::u16string(127, u'<')},
      {std::u16string(508, u'a') + u"\U0001F600", std::u16string(508, u'a') + u"\U0001F600"},
      {std::u16string(509, u'a') + u"\U0001F600", std::u16string(509, u'a')},
  };
  for (const auto& c : cases) {
    document.rows.clear();
    add(c.text, u"1.00000", u"2.00000", u"0123456789012345678999", c.text);
    const std::vector<std::u16string> arguments = ReadArguments(markers().at(0));
    EXPECT_EQ(arguments[0], c.written) << Utf16ToUtf8(c.text);
    EXPECT_EQ(arguments[3], u"012345678901234567");
    EXPECT_EQ(arguments[4], c.written);
  }
}

TEST_F(MapPageTest, FontRuleGivesSizeWeightFaceAndColour) {
  const struct {
    int height;
    int pixels;
  } sizes[] = {{0, 13}, {-16, 16}, {12, 16}, {9, 12}, {-11, 11}};
  for (const auto& s : sizes) EXPECT_EQ(FontPixels(s.height), s.pixels) << s.height;

  PageFont font{.face = u"DejaVu Sans", .height = 12, .weight = 700, .italic = true, .colour = Rgb(0x12, 0xAB, 0x05)};
  EXPECT_EQ(FontRule(font), "#InfoWnd, #IqrDirInfo\r\n{\r\n\tfont:  italic 700 16px \"DejaVu Sans\";\r\n"
                            "\tcolor: #12ab05;\r\n}\r\n");
  font.face = u"x\";}</style><script>";
  font.italic = false;
  const std::string rule = FontRule(font);
  EXPECT_EQ(rule.find("</"), std::string::npos) << rule;
  EXPECT_NE(rule.find("font:  normal 700 16px \"x\\22 ;}\\3C /style\\3E \\3C script\\3E \";"), std::string::npos) << rule;
}

TEST_F(MapPageTest, OptionVariablesFollowTheSwitchesAndTheDocument) {
  document.display.compass = true;
  document.kind = DocumentKind::SafetyCamera;
  options.lngFirst = false;
  options.updateMemo = true;
  EXPECT_EQ(OptionLines(document, options),
            "var e_bLngFirst = false;\r\nvar e_bDmsFormat = false;\r\nvar e_bCompassDir = true;\r\n"
            "var e_bMetricUnit = false;\r\nvar e_bSafetyCamera = true;\r\nvar e_bRichPoiFile = false;\r\n"
            "var e_bUseCookie = false;\r\nvar e_bUpdateMemo = true;\r\nvar e_bFlashRoute = false;\r\n");
}

TEST_F(MapPageTest, LanguageCodesFollowTheIndex) {
  const std::vector<std::string> codes = {"en", "en-GB", "en-AU", "zh-TW", "zh-CN", "fr", "de", "ja", "es"};
  for (int i = 0; i < kMapLanguageCount; ++i) EXPECT_EQ(MapLanguageCode(i), codes[static_cast<std::size_t>(i)]);
  EXPECT_EQ(MapLanguageCode(9), "en");
  EXPECT_EQ(MapLanguageCode(-1), "en");
}

// The generated parts come in the page's order, and every setting written into the page stays a
// string of its own.
TEST_F(MapPageTest, GeneratedPartsComeInOrderWithSafeSettings) {
  add(u"Inn");
  options.programFolder = "/opt/quill fern";
  options.bridgeScriptUrl = "qrc:///qtwebchannel/qwebchannel.js";
  options.leafletUrl = "file:///usr/share/javascript/leaflet/";
  options.tileUrl = "http://127.0.0.1:8/{z}/{x}/{y}.png?a=\"</script>";
  options.tileAttribution = "&copy; <a href=\"x\">Tiles</a>\n\\";
  options.geocoderUrl = "http://127.0.0.1:9";
  options.language = 6;
  const std::string page = BuildMapPage(document, options).text;
  const std::string inOrder[] = {
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"file:///usr/share/javascript/leaflet/leaflet.css\">\r\n",
      "<script type=\"text/javascript\" src=\"file:///usr/share/javascript/leaflet/leaflet.js\"></script>\r\n",
      "src=\"qrc:///qtwebchannel/qwebchannel.js\"",
      "<style type=\"text/css\">\r\nhtml, body, #Map\r\n{\r\n",
      "#InfoWnd, #IqrDirInfo\r\n",
      "</style>\r\n<script type=\"text/javascript\">\r\n",
      "var e_szMarkerImgUrl = \"file:///opt/quill%20fern/MarkerImage/\";\r\n",
      "var e_bLngFirst = true;\r\n",
      "var e_bFlashRoute = false;\r\n",
      "var e_szTileUrl = \"http://127.0.0.1:8/{z}/{x}/{y}.png?a=\\\"\\x3C/script>\";\r\n",
      "var e_szTileAttribution = \"&copy; \\x3Ca href=\\\"x\\\">Tiles\\x3C/a>\\n\\\\\";\r\n",
      "var e_szGeocoderUrl = \"http://127.0.0.1:9\";\r\n",
      "var e_szMapLang = \"de\";\r\n",
      std::string(kLoadMarker),
      "\tAddMarker('Inn', 52.10000, 4.50000, '', '');\r\n",
  };
  std::size_t at = 0;
  for (const std::string& piece : inOrder) {
    const std::size_t found = page.find(piece, at);
    ASSERT_NE(found, std::string::npos) << piece;
    at = found + piece.size();
  }
  EXPECT_EQ(page.find("MapTypeId4.js"), std::string::npos);
}

TEST_F(MapPageTest, AnExtraMapScriptBesideTheProgramIsIncluded) {
  const std::filesystem::path folder = test::TempDir();
  EXPECT_TRUE(ExtraMapScript(folder).empty());
  std::ofstream(folder / "MapTypeId4.js") << "// layers\n";
  options.extraScript = ExtraMapScript(folder);
  ASSERT_EQ(options.extraScript, folder / "MapTypeId4.js");
  const std::string page = BuildMapPage(document, options).text;
  const std::string element =
      "<script type=\"text/javascript\" src=\"file://" + (folder / "MapTypeId4.js").generic_string() + "\"></script>\r\n";
  EXPECT_NE(page.find(element), std::string::npos);
}

}  // namespace
}  // namespace qf
