// OV2 files travel both ways between us and GPSBabel, the common peer of TomTom users.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

using Poi = test::GpsbabelPoi;

std::vector<Poi> Rows(const PoiDocument& document) {
  std::vector<Poi> pois;
  for (const PoiRecord& row : document.rows) {
    pois.push_back({Utf16ToUtf8(row.text(kName)), CoordinateToUnits(row.text(kLng), document.display) / 1e5,
                    CoordinateToUnits(row.text(kLat), document.display) / 1e5});
  }
  return pois;
}

void ExpectSamePois(const std::vector<Poi>& ours, const std::vector<Poi>& theirs) {
  ASSERT_EQ(ours.size(), theirs.size());
  for (std::size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(ours[i].name, theirs[i].name) << i;
    EXPECT_NEAR(ours[i].longitude, theirs[i].longitude, 0.000006) << ours[i].name;
    EXPECT_NEAR(ours[i].latitude, theirs[i].latitude, 0.000006) << ours[i].name;
  }
}

PoiDocument LatinDocument() {
  PoiDocument document;
  const struct {
    std::u16string_view name, lng, lat;
  } rows[] = {
      {u"Aebi Frères, Bogis-Bossey", u"6.17021", u"46.35438"},
      {u"Mühle Severy", u"6.44952", u"46.5682"},
      {u"Straße ÄÖÜ äöü ß", u"6.45", u"46.57"},
      {u"Château d'Ô ÿ", u"-1.25", u"-33.5"},
      {u"Señor Ñandú", u"-70.25", u"-33.45"},
      {u"Plain", u"179.99999", u"-89.99999"},
      {u"Near one", u"6.45001", u"46.57001"},
      {u"Near two", u"6.45002", u"46.57002"},
  };
  for (const auto& row : rows) {
    const int r = AppendPoi(document, row.name, false);
    SetCoordinateText(document, r, kLng, row.lng, false);
    SetCoordinateText(document, r, kLat, row.lat, false);
  }
  return document;
}

PoiDocument Open(const fs::path& path, FileFormat format = FileFormat::Ov2) {
  PoiDocument document;
  test::ScriptedUserPort port;
  EXPECT_EQ(RunFileOperation(document, FileOperation::Open, format, path, AppSettings{}, port), 0);
  return document;
}

TEST(GpsbabelInteropTest, GpsbabelReadsWhatWeWritePlainAndOptimised) {
  for (const bool optimise : {false, true}) {
    PoiDocument document = LatinDocument();
    AppSettings settings;
    settings.set(Switch::OptimisePoi, optimise);
    test::ScriptedUserPort port;
    const fs::path path = test::TempDir() / "ours.ov2";
    ASSERT_EQ(RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, path, settings, port), 0);
    // The optimised file comes back grouped by location, which is the order GPSBabel sees too.
    ExpectSamePois(Rows(Open(path)), test::ReadWithGpsbabel(path, "tomtom"));
    if (!optimise) ExpectSamePois(Rows(document), test::ReadWithGpsbabel(path, "tomtom"));
  }
}

TEST(GpsbabelInteropTest, WeReadWhatGpsbabelWrites) {
  const fs::path dir = test::TempDir();
  std::ofstream(dir / "in.csv") << "No,Latitude,Longitude,Name\n"
                                   "1,52.37,4.89,Café \"du Nord\" & fils\n"
                                   "2,-33.45,-70.25,Señor Ñandú\n"
                                   "3,46.5682,6.44952,Mühle Severy\n"
                                   "4,0,0,Null Island\n";
  ASSERT_EQ(test::Gpsbabel("-i unicsv -f '" + (dir / "in.csv").string() + "' -o tomtom -F '" +
                           (dir / "babel.ov2").string() + "'"),
            0);
  // GPSBabel truncates negative coordinates towards zero when it writes (-70.25 becomes -70.24999),
  // so positions are compared with what it reads back itself.
  const std::vector<Poi> ours = Rows(Open(dir / "babel.ov2"));
  ExpectSamePois(ours, test::ReadWithGpsbabel(dir / "babel.ov2", "tomtom"));
  const std::vector<std::string> names = {"Café \"du Nord\" & fils", "Señor Ñandú", "Mühle Severy", "Null Island"};
  ASSERT_EQ(ours.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(ours[i].name, names[i]);
}

TEST(GpsbabelInteropTest, CorpusFilesReadAsGpsbabelReadsThem) {
  for (const char* file : {"ov2/tomtom.ov2", "ov2/ov2-arc-out.ov2", "ov2/ov2-geo-out.ov2", "ov2/stations_DE.ov2",
                           "ov2/chateaux.ov2", "ov2/pinpoi_test.ov2"}) {
    SCOPED_TRACE(file);
    ExpectSamePois(Rows(Open(test::CorpusPath(file))), test::ReadWithGpsbabel(test::CorpusPath(file), "tomtom"));
  }
}

TEST(GpsbabelInteropTest, CorpusKmlAndGpxFilesReadAsGpsbabelReadsThem) {
  const struct {
    const char* file;
    FileFormat format;
    const char* gpsbabelFormat;
  } files[] = {
      {"gpx/tomtom.gpx", FileFormat::Gpx, "gpx"},
      {"gpx/pinpoi_test.gpx", FileFormat::Gpx, "gpx"},
      {"gpx/grapheme.gpx", FileFormat::Gpx, "gpx"},
      {"gpx/spb_metro_norm_ru-gpi.gpx", FileFormat::Gpx, "gpx"},
      {"kml/kml-points.kml", FileFormat::Kml, "kml"},
      {"kml/pinpoi_test1.kml", FileFormat::Kml, "kml"},
      {"kml/pinpoi_test2.kml", FileFormat::Kml, "kml"},
      {"kml/earth-gc.kml", FileFormat::Kml, "kml"},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.file);
    const fs::path path = test::CorpusPath(f.file);
    ExpectSamePois(Rows(Open(path, f.format)), test::ReadWithGpsbabel(path, f.gpsbabelFormat));
  }
}

TEST(GpsbabelInteropTest, OurGpxReaderStopsAtASelfClosingWaypoint) {
  // A wpt tag must end right after its lat and lon values; the first "<wpt .../>" (a place
  // without a name) ends the reading with kWrongContent. What came before it equals GPSBabel's POIs.
  const fs::path path = test::CorpusPath("gpx/gis.osm_places_free_1.gpx");
  PoiDocument document;
  test::ScriptedUserPort port;
  EXPECT_EQ(RunFileOperation(document, FileOperation::Import, FileFormat::Gpx, path, AppSettings{}, port),
            kWrongContent);
  std::vector<Poi> theirs = test::ReadWithGpsbabel(path, "gpx");
  ASSERT_EQ(document.rowCount(), 79);
  theirs.resize(79);
  ExpectSamePois(Rows(document), theirs);
}

TEST(GpsbabelInteropTest, GpsbabelReadsTheKmlAndGpxWeWrite) {
  PoiDocument document = LatinDocument();
  for (const auto& [name, lng, lat] : {std::tuple{u"<Tag> & \"quotes\" 'apostrophe'", u"4.5", u"52.25"},
                                       std::tuple{u"台北 101 и Москва", u"121.565", u"25.03394"},
                                       std::tuple{u"Emoji \U0001F600 end", u"-70.25", u"-33.45"}}) {
    const int row = AppendPoi(document, name, false);
    SetCoordinateText(document, row, kLng, lng, false);
    SetCoordinateText(document, row, kLat, lat, false);
  }
  for (const auto& [format, gpsbabelFormat, extension] :
       {std::tuple{FileFormat::Kml, "kml", "kml"}, std::tuple{FileFormat::Gpx, "gpx", "gpx"}}) {
    SCOPED_TRACE(gpsbabelFormat);
    test::ScriptedUserPort port;
    const fs::path path = test::TempDir() / (std::string("ours.") + extension);
    PoiDocument copy = document;
    ASSERT_EQ(RunFileOperation(copy, FileOperation::Save, format, path, AppSettings{}, port), 0);
    ExpectSamePois(Rows(document), test::ReadWithGpsbabel(path, gpsbabelFormat));
  }
}

}  // namespace
}  // namespace qf
