#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/message_id.h"
#include "core/poi_document.h"
#include "core/profile_file.h"

namespace qf {

// The 24 option switches of section "Options", in file order.
enum class Switch : int {
  ShowMenuBar,
  ShowToolbar,
  LargeToolbar,
  WrapToolbar,
  LngFirst,
  DmsFormat,
  CompassDirection,
  AutoColumn,
  ShowDistance,
  MetricUnit,
  RecentFile,
  FadeWindow,
  ShadeTable,
  ShowStatusBar,
  SignalMark,
  OptimisePoi,
  CheckName,
  AutoBasePoint,
  OpenLast,
  TranslateName,
  BackupFile,
  GoogleMapsCookie,
  GoogleMapsMemo,
  GoogleMapsRoute,
};
inline constexpr int kSwitchCount = 24;

// A colour as the settings file stores it: 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return Colour{red} | Colour{green} << 8 | Colour{blue} << 16;
}
inline constexpr Colour kDefaultToolbarColour = Rgb(224, 248, 255);
inline constexpr int kCustomColourCount = 16;
inline constexpr int kMaxRecentFiles = 9;
inline constexpr int kMaxBasePoints = 100;
inline constexpr int kMinBasePointDialogSize = 360;

// A window rectangle as saved; a missing value gets a default that depends on the screen.
struct SavedRect {
  std::optional<int> left;
  std::optional<int> top;
  std::optional<int> width;
  std::optional<int> height;
  bool operator==(const SavedRect&) const = default;
};

// Section "Window".
struct WindowSettings {
  SavedRect rect;                   // the normal (restored) rectangle
  std::optional<int> show;          // "Show": the placement's show state
  std::optional<int> mapPaneWidth;  // "IE Pane"
  bool operator==(const WindowSettings&) const = default;
};

// Section "Font": the working table's font and background image.
struct FontSettings {
  std::u16string name;  // empty: the default GUI font, and height, weight, italic and colour are not read
  int height = 0;       // signed, as font heights are
  int weight = 400;
  bool italic = false;
  Colour colour = 0;
  std::filesystem::path background;  // "Bkgnd": empty unless it names an existing file that is not a folder
  bool useBackground = false;        // "Use Bkgnd": read only together with a background file
  bool operator==(const FontSettings&) const = default;
};

// Section "Base Points": the saved base points and their dialog.
struct BasePointSettings {
  std::vector<std::u16string> entries;  // "BP List 1", "BP List 2", ...: fields joined by '>', as stored
  int insertIndex = 0;                  // "Insert List" − 1: the entry used for automatic insertion
  int dialogWidth = kMinBasePointDialogSize;
  int dialogHeight = kMinBasePointDialogSize;
  bool operator==(const BasePointSettings&) const = default;
};

// Section "Open Device": the size of the Open GPS Device window, never below its least.
inline constexpr int kMinOpenDeviceWidth = 480;
inline constexpr int kMinOpenDeviceHeight = 360;
struct OpenDeviceSettings {
  int width = kMinOpenDeviceWidth;
  int height = kMinOpenDeviceHeight;
  bool operator==(const OpenDeviceSettings&) const = default;
};

// Section "Services": the web services the program asks.
enum class GeocoderProvider { Nominatim, Xml };  // "Geocoder": "nominatim" or "xml"
struct ServiceSettings {
  GeocoderProvider geocoder = GeocoderProvider::Nominatim;
  std::string geocoderHost;  // "Geocoder Host": a host name or a URL; empty: the provider's public service
  std::string geocoderKey;   // "Geocoder Key": sent only to the XML protocol's service, when not empty
  // "Map Tiles": the map's tile URL template; "Map Tiles Attribution": the HTML that credits them.
  std::string mapTiles = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
  std::string mapTilesAttribution =
      "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors";
  // "Device Address": where the navigation device's web server answers over USB (a link-local address).
  std::string deviceAddress = "169.254.255.1";
  // "Ephemeris Host": the host of the ephemeris download service, as "http://host" or a bare host name;
  // empty: none is known, and the download says it can not connect.
  std::string ephemerisHost{};
  // "Version File": the URL of the file that announces a new version; empty: no check is made.
  std::string versionFile{};
  // "TomTom Link", "Forum Link", "Home Link", "Mail Link": the targets of the Help menu's four links.
  std::string tomtomLink = "https://www.tomtom.com/";
  std::string forumLink = "https://discussions.tomtom.com/";
  std::string homeLink{};
  std::string mailLink{};
  bool operator==(const ServiceSettings&) const = default;
};

// The in-memory copy of the settings file that the program consults.
struct AppSettings {
  std::array<bool, kSwitchCount> switches = {true,  true,  true,  true,  false, false, false, true,
                                             false, false, true,  false, false, true,  false, true,
                                             false, false, false, false, true,  true,  true,  true};

  bool adjacentDistance = true;                                // "Adjacent Distance"
  int fileCount = 7;                                           // "File Count": 1..9
  std::vector<std::filesystem::path> recentFiles;              // "Recent List %d", most recent first
  int backupInterval = 10;                                     // "Backup Interval": minutes, 1..99
  int googleMapsLang = 0;                                      // "Google Maps Lang": 0..8
  int toolbarSpacing = 0;                                      // "Toolbar Spacing": pixels, 0..9
  Colour toolbarColour = kDefaultToolbarColour;                // "Toolbar Bkgnd"
  std::array<Colour, kCustomColourCount> customColours = [] {  // "Toolbar Bkgnd 0" to "Toolbar Bkgnd 15"
    std::array<Colour, kCustomColourCount> colours{};
    colours.fill(kDefaultToolbarColour);
    return colours;
  }();
  std::optional<std::u16string> toolbarButtons;  // "Toolbar Button" as stored; absent: the default buttons
  WindowSettings window;
  FontSettings font;
  BasePointSettings basePoints;
  SavedRect checkWindow;  // section "Check POI": the check-results window
  int codePage = 1252;    // "Code Page": the Windows code page of ANSI text files
  ServiceSettings services;
  OpenDeviceSettings openDevice;

  bool on(Switch s) const { return switches[static_cast<std::size_t>(s)]; }
  void set(Switch s, bool value) { switches[static_cast<std::size_t>(s)] = value; }
  // The options that shape coordinate and distance texts, as the document uses them.
  DisplayOptions displayOptions() const;

  bool operator==(const AppSettings&) const = default;
};

// The Windows code page usual for a locale such as "ru_RU" or "zh_TW"; 1252 when none is known.
int CodePageForLocale(std::string_view locale);
// Whether a system's ANSI code page can be this one: the single-byte 874 and 1250 to 1258 and the double-byte
// 932, 936, 949 and 950. Never UTF-8, UTF-16 or UTF-7: ANSI text has no byte-order mark that would tell them.
bool IsAnsiCodePage(int codePage);

// Everything the program reads from the file, with out-of-range values clamped or replaced; a "Code Page"
// that is not an ANSI code page is replaced by the locale's.
AppSettings LoadSettings(const ProfileFile& profile);

// A message for the user about the settings file; the defaults stand in for what it names.
struct SettingsWarning {
  MessageId id;
  std::u16string text;
  bool operator==(const SettingsWarning&) const = default;
};
// The settings a run starts with, and what could not be used of the file.
struct StartSettings {
  AppSettings settings;
  ProfileLoad file = ProfileLoad::Missing;
  std::vector<SettingsWarning> warnings;
};
// Reads the settings file for a run: a file that is not a regular file, cannot be read or is too large gives
// the default settings, a "Code Page" that is not ANSI the locale's, each with a warning. A missing file gives
// the defaults without one: a first run has no file yet.
StartSettings ReadSettingsFile(const std::filesystem::path& path);
// What the program writes back when the main window goes away, in the order the keys are first written.
void SaveSettings(const AppSettings& settings, ProfileFile& profile);
// Section "Profile", written at every start to describe the installation to a reader of the file.
void WriteProfileSection(ProfileFile& profile, std::string_view version);

// Keys that their dialogs write at once instead of at exit.
void SaveToolbarColour(const AppSettings& settings, ProfileFile& profile);
void SaveCustomColours(const AppSettings& settings, ProfileFile& profile);
void SaveToolbarButtons(const AppSettings& settings, ProfileFile& profile);  // removes the key when absent
// The whole "Base Points" section is replaced, so removed entries disappear from the file.
void SaveBasePointList(const AppSettings& settings, ProfileFile& profile);
void SaveBasePointIndex(const AppSettings& settings, ProfileFile& profile);
void SaveBasePointDialogSize(const AppSettings& settings, ProfileFile& profile);
void SaveCheckWindow(const AppSettings& settings, ProfileFile& profile);
void SaveOpenDeviceSize(const AppSettings& settings, ProfileFile& profile);

// "Profile"/"Last Notify": seconds since 1 January 2001 of the last new-version notice; 0 when never.
int ReadLastNotify(const ProfileFile& profile);
void WriteLastNotify(ProfileFile& profile, int seconds);

}  // namespace qf
