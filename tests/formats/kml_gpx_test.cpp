#include "formats/kml.h"
#include "formats/gpx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

using test::Poi;

std::string Kml(std::string_view placemarks) {
  return "<?xml version=\"1.0\"?><kml><Document><name>Doc</name>" + std::string(placemarks) + "</Document></kml>";
}

std::string Gpx(std::string_view waypoints) { return "<gpx version=\"1.1\">" + std::string(waypoints) + "</gpx>"; }

class KmlGpxTest : public testing::Test {
 protected:
  // Reads like the pipeline does: a zero byte follows the file.
  int read(FileFormat format, std::string_view file, FileOperation operation = FileOperation::Open) {
    std::vector<std::uint8_t> buffer(file.begin(), file.end());
    buffer.push_back(0);
    FileSession session(document, operation, format, settings, port);
    const auto bytes = std::span(buffer).first(file.size());
    return format == FileFormat::Kml ? ReadKml(session, bytes) : ReadGpx(session, bytes);
  }

  std::string write(FileFormat format, FileOperation operation = FileOperation::Save) {
    MemorySink sink;
    FileSession session(document, operation, format, settings, port);
    EXPECT_EQ(format == FileFormat::Kml ? WriteKml(session, sink) : WriteGpx(session, sink), 0);
    return {sink.bytes.begin(), sink.bytes.end()};
  }

  std::vector<Poi> pois() const { return test::Pois(document); }

  void add(const Poi& poi) {
    const int row = AppendPoi(document, poi.name, false);
    SetCell(document, row, kLng, poi.lng);
    SetCell(document, row, kLat, poi.lat);
    SetCell(document, row, kTel, poi.tel);
    SetCell(document, row, kMemo, poi.memo);
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
};

TEST_F(KmlGpxTest, KmlPlacemarksGiveNamePositionTelephoneAndMemo) {
  const struct {
    const char* placemark;
    Poi poi;
  } cases[] = {
      {"<Placemark id=\"a\"><NAME>Plain</NAME><Point><coordinates>\n  4.5,52.25,12</coordinates></Point></Placemark>",
       {u"Plain", u"4.50000", u"52.25000", u"", u""}},
      {"<Placemark><name>Cdata</name><description>lost<![CDATA[020 555<br/>Open <b>daily</b>]]></description>"
       "<Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Cdata", u"1.00000", u"2.00000", u"020 555", u"Open <b>daily</b>"}},
      // Without CDATA an encoded tag is no line break: all of it goes through the telephone rule.
      {"<Placemark><name>Encoded</name><description>020 555&lt;br/&gt;memo</description>"
       "<Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Encoded", u"1.00000", u"2.00000", u"020 555 ", u""}},
      {"<Placemark><name>Second line</name><description>\n+31 20<BR />memo &amp; more</description>"
       "<Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Second line", u"1.00000", u"2.00000", u"+31 20", u"memo & more"}},
      {"<Placemark><name>Memo only</name><description>\nJust a memo</description>"
       "<Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Memo only", u"1.00000", u"2.00000", u"", u"Just a memo"}},
      {"<Placemark><name>A &amp; B &#38; &lt;C &quot;D&quot;&nbsp;E</name>"
       "<Point><coordinates>-1.5,-2.5</coordinates></Point></Placemark>",
       {u"A & B &#38; <C \"D\" E", u"-1.50000", u"-2.50000", u"", u""}},
      {"<Placemark><name> <![CDATA[Rat &amp; <zoo]]> </name><Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Rat &amp; <zoo", u"1.00000", u"2.00000", u"", u""}},
      // A four-byte character right before the closing tag must not hide it.
      {"<Placemark><name>Emoji \xF0\x9F\x98\x80</name><Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Emoji \U0001F600", u"1.00000", u"2.00000", u"", u""}},
      // A closing tag inside the bytes a broken three-byte character claims is stepped over.
      {"<Placemark><name>Broken \xE0</name>x</name><Point><coordinates>1,2</coordinates></Point></Placemark>",
       {u"Broken \uFFFD</name x", u"1.00000", u"2.00000", u"", u""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.placemark);
    document = PoiDocument();
    ASSERT_EQ(read(FileFormat::Kml, Kml(c.placemark)), 0);
    EXPECT_EQ(pois(), std::vector<Poi>{c.poi});
  }
}

TEST_F(KmlGpxTest, KmlSkipsPlacemarksWithoutPointOrNameAndStopsAtFaults) {
  const std::string good = "<Placemark><name>Good</name><Point><coordinates>1,2</coordinates></Point></Placemark>";
  ASSERT_EQ(read(FileFormat::Kml,
                 Kml("<Placemark><name>Line</name><LineString><coordinates>1,2 3,4</coordinates></LineString>"
                     "</Placemark><Placemark><name> </name><Point><coordinates>1,2</coordinates></Point></Placemark>" +
                     good)),
            0);
  EXPECT_EQ(pois().size(), 1u);
  EXPECT_EQ(document.text(0, kName), u"Good");

  const char* faults[] = {
      "<Placemark><name>Open",
      "<Placemark><name>No end</name><Point><coordinates>1,2</coordinates></Point>",
      "<Placemark><name>Desc</name><description>never closed<Point><coordinates>1,2</coordinates></Point></Placemark>",
      "<Placemark><name>Coordinates</name><Point><coordinates>1,2</Point></Placemark>",
      "<Placemark",
  };
  for (const char* fault : faults) {
    SCOPED_TRACE(fault);
    document = PoiDocument();
    EXPECT_EQ(read(FileFormat::Kml, good + fault), kWrongContent);
    EXPECT_EQ(document.rowCount(), 1);  // what came before the fault stays
  }
}

TEST_F(KmlGpxTest, GpxWaypointsGiveNamePositionTelephoneAndMemo) {
  ASSERT_EQ(read(FileFormat::Gpx,
                 Gpx("<wptx lat=\"9\" lon=\"9\"><name>Not a waypoint</name></wptx>"
                     "<wpt lat=\"52.5\"  lon = \"-4.25\"><ele>3</ele><NAME>A &amp; B &#38;</NAME>"
                     "<cmt>+31 (0)20 1234 5678 99</cmt><desc>Caf\xC3\xA9 &lt;open&gt;</desc></wpt>"
                     "<wpt lat=\"2\" lon=\"1\"><name><![CDATA[In <CDATA>]]></name>"
                     "<desc><![CDATA[Kept &amp;]]></desc></wpt>"
                     "<wpt lon=\"1\" lat=\"2\"><name></name></wpt>"
                     "<wpt lon=\"1\" lat=\"2\"><name>Bare</name></wpt>")),
            0);
  EXPECT_EQ(pois(), (std::vector<Poi>{{u"A & B &#38;", u"-4.25000", u"52.50000", u"+31 0 20 1234 567", u"Café <open>"},
                                      {u"In <CDATA", u"1.00000", u"2.00000", u"", u"Kept &amp;"},
                                      {u"Bare", u"1.00000", u"2.00000", u"", u""}}));
}

TEST_F(KmlGpxTest, GpxStopsAtTagsItCannotRead) {
  const std::string good = "<wpt lat=\"2\" lon=\"1\"><name>Good</name></wpt>";
  const char* faults[] = {
      "<wpt lat=\"2\" lon=\"1\" ele=\"5\"><name>Ele</name></wpt>",
      "<wpt lat=\"2\"\tlon=\"1\"><name>Tab</name></wpt>",
      "<wpt lat=\"2\" lon=\"1\"/><name>Closed</name>",
      "<wpt lat=\"2\"><name>No lon</name></wpt>",
      "<wpt lat=2 lon=\"1\"><name>Unquoted</name></wpt>",
      "<wpt lat=\"2\" lon=\"1\"><name>No end</name>",
      "<wpt lat=\"2\" lon=\"1\"><name>Cmt</name><cmt>open</wpt>",
      "<wpt lat=\"2\" lon=\"1",
  };
  for (const char* fault : faults) {
    SCOPED_TRACE(fault);
    document = PoiDocument();
    EXPECT_EQ(read(FileFormat::Gpx, Gpx(good + fault)), kWrongContent);
    EXPECT_EQ(document.rowCount(), 1);
  }
}

TEST_F(KmlGpxTest, FilesWithoutAnElementOfTheFormatAreUnknownButEmptyFilesOfItAreNot) {
  std::string noise(4096, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  const std::string placemark = "<Placemark><name>P</name><Point><coordinates>1,2</coordinates></Point></Placemark>";
  const std::string waypoint = "<wpt lat=\"2\" lon=\"1\"><name>W</name></wpt>";
  const struct {
    FileFormat format;
    std::string file;
    int result;
    int rows;
  } cases[] = {
      {FileFormat::Kml, "", kUnknownContent, 0},
      {FileFormat::Kml, noise, kUnknownContent, 0},
      {FileFormat::Kml, Gpx(waypoint), kUnknownContent, 0},
      {FileFormat::Kml, "<kmlish><name>x</name></kmlish>", kUnknownContent, 0},
      {FileFormat::Kml, "<?xml version=\"1.0\"?>\r\n<KML xmlns=\"http://www.opengis.net/kml/2.2\">\r\n</KML>", 0, 0},
      {FileFormat::Kml, Kml("<Folder><name>Empty</name></Folder>"), 0, 0},
      {FileFormat::Kml, placemark, 0, 1},
      {FileFormat::Gpx, "", kUnknownContent, 0},
      {FileFormat::Gpx, noise, kUnknownContent, 0},
      {FileFormat::Gpx, Kml(placemark), kUnknownContent, 0},
      {FileFormat::Gpx, "<gpxish lat=\"2\" lon=\"1\"><name>x</name></gpxish>", kUnknownContent, 0},
      {FileFormat::Gpx, Gpx("<trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>"), 0, 0},
      {FileFormat::Gpx, "<gpx:gpx xmlns:gpx=\"http://www.topografix.com/GPX/1/1\"></gpx:gpx>", 0, 0},
      {FileFormat::Gpx, waypoint, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.format) << " " << c.file.substr(0, 60));
    document = PoiDocument();
    EXPECT_EQ(read(c.format, c.file), c.result);
    EXPECT_EQ(document.rowCount(), c.rows);
  }
}

TEST_F(KmlGpxTest, WritersPrintTheirTemplatesAndSkipRowsWithoutPosition) {
  add({u"Both <&>\"", u"4.50000", u"-52.25000", u"020 555", u"Memo & more"});
  add({u"Telephone", u"1.00000", u"2.00000", u"112", u""});
  add({u"Memo", u"1.00000", u"2.00000", u"", u"Just memo"});
  add({u"No latitude", u"1.00000", u"", u"", u""});
  EXPECT_EQ(write(FileFormat::Kml),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n"
            "<Document>\r\n"
            "<Placemark><name>Both &lt;&amp;&gt;&quot;</name><description>020 555\nMemo &amp; more</description>"
            "<Point><coordinates>4.50000,-52.25000</coordinates></Point></Placemark>\r\n"
            "<Placemark><name>Telephone</name><description>112</description>"
            "<Point><coordinates>1.00000,2.00000</coordinates></Point></Placemark>\r\n"
            "<Placemark><name>Memo</name><description>\nJust memo</description>"
            "<Point><coordinates>1.00000,2.00000</coordinates></Point></Placemark>\r\n"
            "</Document>\r\n</kml>\r\n");
  EXPECT_EQ(write(FileFormat::Gpx),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
            "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n"
            "<wpt lat=\"-52.25000\" lon=\"4.50000\">\r\n<name>Both &lt;&amp;&gt;&quot;</name>\r\n"
            "<cmt>020 555</cmt>\r\n<desc>Memo &amp; more</desc>\r\n</wpt>\r\n"
            "<wpt lat=\"2.00000\" lon=\"1.00000\">\r\n<name>Telephone</name>\r\n<cmt>112</cmt>\r\n</wpt>\r\n"
            "<wpt lat=\"2.00000\" lon=\"1.00000\">\r\n<name>Memo</name>\r\n<desc>Just memo</desc>\r\n</wpt>\r\n"
            "</gpx>\r\n");
}

TEST_F(KmlGpxTest, WrittenFilesReadBackUnchangedInBothFormats) {
  settings.set(Switch::DmsFormat, true);
  document.display.dms = true;
  document.display.compass = true;
  const std::vector<Poi> original = {
      {u"Café <Ünïcode & \"quotes\"", u"4.5", u"-52.25", u"+31 20 555", u"Memo & <b>"},
      {u"台北 101 \U0001F600", u"121.565", u"25.03394", u"", u"Москва &amp;"},
      {u"Telephone only", u"-0.00028", u"0", u"112", u""},
      // Full-length texts whose references take several times their length in the file.
      {std::u16string(85, u'&') + std::u16string(85, u'<') + std::u16string(85, u'"'), u"1", u"2", u"112",
       std::u16string(254, u'>') + u"&"},
  };
  // Coordinates are stored in the display form, degrees-minutes-seconds here.
  for (const Poi& poi : original) {
    add(poi);
    SetCoordinateText(document, document.rowCount() - 1, kLng, poi.lng, true);
    SetCoordinateText(document, document.rowCount() - 1, kLat, poi.lat, true);
  }
  const std::vector<Poi> stored = pois();
  for (const FileFormat format : {FileFormat::Kml, FileFormat::Gpx}) {
    SCOPED_TRACE(static_cast<int>(format));
    const std::string file = write(format);
    PoiDocument written = std::move(document);
    document = PoiDocument();
    document.display = written.display;
    ASSERT_EQ(read(format, file), 0);
    EXPECT_EQ(pois(), stored);
    document = std::move(written);
  }
}

TEST_F(KmlGpxTest, ExportWritesTheSelectionAndGoogleEarthModeCountsPlacemarks) {
  for (const char* name : {"A", "B", "C"}) add({Utf8ToUtf16(name), u"1.00000", u"2.00000", u"", u""});
  add({u"No position", u"", u"", u"", u""});
  document.rows[1].selected = true;
  document.rows[3].selected = true;
  EXPECT_EQ(write(FileFormat::Gpx, FileOperation::Export).find("<name>A"), std::string::npos);

  const auto googleEarth = [&] {
    MemorySink sink;
    FileSession session(document, FileOperation::Save, FileFormat::Kml, settings, port);
    int written = -1;
    EXPECT_EQ(WriteKmlForGoogleEarth(session, sink, written), 0);
    return written;
  };
  EXPECT_EQ(googleEarth(), 1);  // the selection, without the row that has no position
  for (PoiRecord& row : document.rows) row.selected = false;
  EXPECT_EQ(googleEarth(), 3);
}

TEST_F(KmlGpxTest, LargeFilesReadInPiecesLikeInOne) {
  // Above a megabyte the file is read in pieces at once unless "Check Name" is on; the result must
  // not tell. A nameless item just before a piece boundary takes the next one's name and end, so
  // its piece reaches into the next: then reading goes on alone from there.
  const int count = 16000;
  const auto number = [](int i) { return std::to_string(100000 + i); };
  // Nameless items keep their length, so every variant of a file has the same item starts.
  const auto makeFile = [&](FileFormat format, const std::set<int>& nameless, const char* fault,
                            std::vector<std::size_t>& starts) {
    std::string file;
    starts.clear();
    for (int i = 0; i < count; ++i) {
      starts.push_back(file.size());
      std::string name = "<name>POI " + number(i) + "</name>";
      if (nameless.contains(i)) name.assign(name.size(), ' ');
      const std::string x = number(i);
      file += format == FileFormat::Kml ? "<Placemark>" + name + "<description>12" + number(i) +
                                              "</description><Point><coordinates>4." + x +
                                              ",52</coordinates></Point></Placemark>\n"
                                        : "<wpt lat=\"52\" lon=\"4." + x + "\">" + name + "<desc>Memo " +
                                              number(i) + "</desc></wpt>\n";
      if (i == count * 3 / 4 + 500) file += fault;  // halfway between two boundaries
    }
    return file;
  };
  const auto beforeEveryBoundary = [&](const std::vector<std::size_t>& starts, std::size_t size) {
    std::set<int> items;
    for (std::size_t k = 1; k < 16; ++k) {
      const auto next = std::lower_bound(starts.begin(), starts.end(), size / 16 * k);
      items.insert(static_cast<int>(next - starts.begin()) - 1);
    }
    return items;
  };
  const auto readRows = [&](FileFormat format, const std::string& file, bool checkName, int& result) {
    document = PoiDocument();
    settings.set(Switch::CheckName, checkName);
    result = read(format, file, FileOperation::Import);
    std::set<RowId> ids;
    for (const PoiRecord& row : document.rows) ids.insert(row.id());
    EXPECT_EQ(ids.size(), document.rows.size());
    EXPECT_EQ(std::count_if(document.rows.begin(), document.rows.end(), [](const PoiRecord& row) { return row.focused; }),
              document.rows.empty() ? 0 : 1);
    return pois();
  };
  for (const FileFormat format : {FileFormat::Kml, FileFormat::Gpx}) {
    const char* fault =
        format == FileFormat::Kml ? "<Placemark><name>Broken</name><Point></Point></Placemark>" : "<wpt lat=\"1\" lon=\"2\"/>";
    for (const auto& [withNameless, withFault] : {std::pair{false, false}, std::pair{true, false},
                                                  std::pair{false, true}, std::pair{true, true}}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(format) << " " << withNameless << " " << withFault);
      std::vector<std::size_t> starts;
      const char* itemFault = withFault ? fault : "";
      std::string file = makeFile(format, {}, itemFault, starts);
      if (withNameless) file = makeFile(format, beforeEveryBoundary(starts, file.size()), itemFault, starts);
      ASSERT_GT(file.size(), 1u << 20);
      int inOrder = 0;
      int inPieces = 0;
      const std::vector<Poi> expected = readRows(format, file, true, inOrder);
      EXPECT_EQ(readRows(format, file, false, inPieces), expected);
      EXPECT_EQ(inPieces, inOrder);
      EXPECT_EQ(inOrder, withFault ? kWrongContent : 0);
    }
  }
}

TEST_F(KmlGpxTest, HugeUnclosedInputIsRefused) {
  // Every scan is linear, so files that never close their tags cost no more than reading them; a
  // scan that grew with the square of the file would not end within the test's timeout.
  std::string unclosedKml = "<Placemark><name>";
  unclosedKml.append(50 << 20, 'x');
  std::string unclosedGpx = "<wpt lat=\"1\" lon=\"2\"><name>a</name><desc>";
  unclosedGpx.append(50 << 20, '\xE4');
  EXPECT_EQ(read(FileFormat::Kml, unclosedKml), kWrongContent);
  EXPECT_EQ(read(FileFormat::Gpx, unclosedGpx), kWrongContent);
}

}  // namespace
}  // namespace qf
