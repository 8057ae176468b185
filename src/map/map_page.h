#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/app_settings.h"
#include "core/poi_document.h"

namespace qf {

inline constexpr int kMapLanguageCount = 9;
// The language code of a "Google Maps Lang" index ("en", "en-GB", ... "es"); out of range: "en".
std::string MapLanguageCode(int language);

// The table's font, as the info window shows it.
struct PageFont {
  std::u16string face;
  int height = 0;  // signed, as font heights are
  int weight = 400;
  bool italic = false;
  std::uint32_t colour = 0;  // 0x00BBGGRR
};

// What the page is built with beyond the rows. The coordinate display switches and the document's
// kind come from the document itself, whose texts are written in them.
struct MapPageOptions {
  bool lngFirst = true;
  bool useCookie = false;   // "Google Maps Cookie"
  bool updateMemo = false;  // "Google Maps Memo"
  bool flashRoute = false;  // "Google Maps Route"
  int language = 0;         // "Google Maps Lang"
  PageFont font;
  std::filesystem::path programFolder;  // holds MarkerImage/; absolute
  std::filesystem::path extraScript;    // a MapTypeId4.js to include, or empty
  std::string leafletUrl = "file:///usr/share/javascript/leaflet";  // the folder of Leaflet
  std::string bridgeScriptUrl;  // the host's channel script, or empty for none
  std::string tileUrl = ServiceSettings{}.mapTiles;  // a Leaflet URL template
  std::string tileAttribution = ServiceSettings{}.mapTilesAttribution;
  std::string geocoderUrl = "https://nominatim.openstreetmap.org";
};

// The extra map script beside the program, when there is one.
std::filesystem::path ExtraMapScript(const std::filesystem::path& programFolder);

// The rows that get a marker: the selected ones when some but not all are selected, else all.
std::vector<int> ChosenRows(const PoiDocument& document);

// The CSS font size in pixels of a font height: positive points at 96 dpi, negative pixels, 0 the default.
int FontPixels(int height);
// The info window's font and colour rule.
std::string FontRule(const PageFont& font);
// The option variables, one line each.
std::string OptionLines(const PoiDocument& document, const MapPageOptions& options);
// The AddMarker line of a row; empty for a row without both coordinates.
std::string MarkerLine(const PoiDocument& document, int row);

struct MapPage {
  std::string text;       // UTF-8
  int firstMarkedRow = -1;  // the first row that got a marker, or -1
};
// The whole page for the chosen rows.
MapPage BuildMapPage(const PoiDocument& document, const MapPageOptions& options);

}  // namespace qf
