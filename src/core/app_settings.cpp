#include "core/app_settings.h"

#include <unicode/uloc.h>

#include <algorithm>
#include <system_error>

#include "core/unicode.h"
#include "core/string_table.h"

namespace qf {
namespace {

constexpr std::string_view kOptions = "Options";
constexpr std::string_view kWindow = "Window";
constexpr std::string_view kFont = "Font";
constexpr std::string_view kProfile = "Profile";
constexpr std::string_view kCheckPoi = "Check POI";
constexpr std::string_view kBasePoints = "Base Points";
constexpr std::string_view kServices = "Services";
constexpr std::string_view kOpenDevice = "Open Device";

constexpr std::array<std::string_view, kSwitchCount> kSwitchKeys = {
    "Show Menu Bar", "Show Toolbar",       "Large Toolbar",    "Wrap Toolbar",      "Lng First",
    "DMS Format",    "Compass Direction",  "Auto Column",      "Show Distance",     "Metric Unit",
    "Recent File",   "Fade Window",        "Shade Table",      "Show Status Bar",   "Signal Mark",
    "Optimise POI",  "Check Name",         "Auto BP",          "Open Last",         "Translate Name",
    "Backup File",   "Google Maps Cookie", "Google Maps Memo", "Google Maps Route",
};

constexpr std::size_t kMaxFontName = 31;
constexpr std::size_t kMaxToolbarButtons = 255;
constexpr std::size_t kMaxBasePointText = 578;

std::string Numbered(std::string_view key, int number) { return std::string(key) + std::to_string(number); }

std::string CustomColourKey(std::size_t index) { return "Toolbar Bkgnd " + std::to_string(index); }

int InRangeOr(int value, int low, int high, int replacement) {
  return value >= low && value <= high ? value : replacement;
}

bool ReadSwitch(const ProfileFile& profile, std::string_view section, std::string_view key, bool fallback) {
  return profile.getInt(section, key, fallback ? 1 : 0) != 0;
}

void WriteSwitch(ProfileFile& profile, std::string_view section, std::string_view key, bool value) {
  profile.setString(section, key, value ? "1" : "0");
}

// Only the red, green and blue bytes of a stored colour mean anything.
int ColourValue(Colour colour) { return static_cast<int>(colour & 0x00FFFFFF); }

Colour ReadColour(const ProfileFile& profile, std::string_view section, std::string_view key, Colour fallback) {
  return static_cast<Colour>(profile.getInt(section, key, ColourValue(fallback))) & 0x00FFFFFF;
}

// A key that is missing or empty has no value; anything else reads as a number.
std::optional<int> ReadOptionalInt(const ProfileFile& profile, std::string_view section, std::string_view key) {
  if (profile.getString(section, key, "").empty()) return std::nullopt;
  return profile.getInt(section, key, 0);
}

void WriteOptionalInt(ProfileFile& profile, std::string_view section, std::string_view key, std::optional<int> value) {
  if (value) profile.setInt(section, key, *value);
}

SavedRect ReadRect(const ProfileFile& profile, std::string_view section) {
  return {.left = ReadOptionalInt(profile, section, "Left"),
          .top = ReadOptionalInt(profile, section, "Top"),
          .width = ReadOptionalInt(profile, section, "Width"),
          .height = ReadOptionalInt(profile, section, "Height")};
}

void WriteRect(ProfileFile& profile, std::string_view section, const SavedRect& rect) {
  WriteOptionalInt(profile, section, "Left", rect.left);
  WriteOptionalInt(profile, section, "Top", rect.top);
  WriteOptionalInt(profile, section, "Width", rect.width);
  WriteOptionalInt(profile, section, "Height", rect.height);
}

// Cuts to at most `limit` UTF-16 units without splitting a surrogate pair.
std::u16string ReadText(const ProfileFile& profile, std::string_view section, std::string_view key, std::size_t limit) {
  std::u16string text = Utf8ToUtf16(profile.getString(section, key, ""));
  if (text.size() > limit) {
    const bool splitsPair = text[limit - 1] >= 0xD800 && text[limit - 1] <= 0xDBFF;
    text.resize(splitsPair ? limit - 1 : limit);
  }
  return text;
}

bool IsExistingFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  return !path.empty() && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

void LoadFont(const ProfileFile& profile, FontSettings& font) {
  font.name = ReadText(profile, kFont, "Name", kMaxFontName);
  if (!font.name.empty()) {
    font.height = profile.getInt(kFont, "Height", font.height);
    font.weight = profile.getInt(kFont, "Weight", font.weight);
    font.italic = ReadSwitch(profile, kFont, "Italic", font.italic);
    font.colour = ReadColour(profile, kFont, "Color", font.colour);
  }
  const std::filesystem::path background = profile.getString(kFont, "Bkgnd", "");
  if (IsExistingFile(background)) {
    font.background = background;
    font.useBackground = ReadSwitch(profile, kFont, "Use Bkgnd", false);
  }
}

void LoadBasePoints(const ProfileFile& profile, BasePointSettings& basePoints) {
  basePoints.insertIndex = std::clamp(profile.getInt(kBasePoints, "Insert List", 1), 1, kMaxBasePoints) - 1;
  for (int number = 1; number <= kMaxBasePoints; ++number) {
    std::u16string entry = ReadText(profile, kBasePoints, Numbered("BP List ", number), kMaxBasePointText);
    if (entry.empty()) break;
    basePoints.entries.push_back(std::move(entry));
  }
  basePoints.dialogWidth = std::max(profile.getInt(kBasePoints, "Width", 0), kMinBasePointDialogSize);
  basePoints.dialogHeight = std::max(profile.getInt(kBasePoints, "Height", 0), kMinBasePointDialogSize);
}

void LoadRecentFiles(const ProfileFile& profile, AppSettings& settings) {
  if (!settings.on(Switch::RecentFile)) return;
  for (int number = 1; number <= settings.fileCount; ++number) {
    const std::string path = profile.getString(kOptions, Numbered("Recent List ", number), "");
    if (path.empty()) break;
    settings.recentFiles.emplace_back(path);
  }
}

void SaveRecentFiles(const AppSettings& settings, ProfileFile& profile) {
  profile.setInt(kOptions, "File Count", settings.fileCount);
  const int count = static_cast<int>(settings.recentFiles.size());
  for (int i = 0; i < count; ++i) {
    profile.setString(kOptions, Numbered("Recent List ", i + 1),
                      settings.recentFiles[static_cast<std::size_t>(i)].string());
  }
  // Entries left over from a longer list would come back when the file count is raised again.
  for (int number = count + 1; number <= kMaxRecentFiles; ++number) {
    profile.removeKey(kOptions, Numbered("Recent List ", number));
  }
}

void SaveFont(const FontSettings& font, ProfileFile& profile) {
  profile.setString(kFont, "Name", Utf16ToUtf8(font.name));
  profile.setInt(kFont, "Height", font.height);
  profile.setInt(kFont, "Weight", font.weight);
  profile.setInt(kFont, "Color", ColourValue(font.colour));
  WriteSwitch(profile, kFont, "Italic", font.italic);
  WriteSwitch(profile, kFont, "Use Bkgnd", font.useBackground);
  if (IsExistingFile(font.background)) profile.setString(kFont, "Bkgnd", font.background.string());
}

// The program never changes these, so they are only read: the user writes them into the file.
ServiceSettings LoadServices(const ProfileFile& profile) {
  ServiceSettings services;
  if (profile.getString(kServices, "Geocoder", "nominatim") == "xml") services.geocoder = GeocoderProvider::Xml;
  services.geocoderHost = profile.getString(kServices, "Geocoder Host", "");
  services.geocoderKey = profile.getString(kServices, "Geocoder Key", "");
  // A map without tiles shows nothing: an empty template is the default one.
  if (std::string tiles = profile.getString(kServices, "Map Tiles", ""); !tiles.empty()) services.mapTiles = tiles;
  services.mapTilesAttribution = profile.getString(kServices, "Map Tiles Attribution", services.mapTilesAttribution);
  if (std::string address = profile.getString(kServices, "Device Address", ""); !address.empty()) {
    services.deviceAddress = address;
  }
  services.ephemerisHost = profile.getString(kServices, "Ephemeris Host", "");
  services.versionFile = profile.getString(kServices, "Version File", "");
  services.tomtomLink = profile.getString(kServices, "TomTom Link", services.tomtomLink);
  services.forumLink = profile.getString(kServices, "Forum Link", services.forumLink);
  services.homeLink = profile.getString(kServices, "Home Link", "");
  services.mailLink = profile.getString(kServices, "Mail Link", "");
  return services;
}

// Without a stored "Code Page" the user's locale decides, as the system code page would.
int DefaultCodePage() { return CodePageForLocale(uloc_getDefault()); }

int StoredCodePage(const ProfileFile& profile) { return profile.getInt(kOptions, "Code Page", DefaultCodePage()); }

// Message ids of the settings file's problems.

std::optional<MessageId> FileProblem(ProfileLoad load) {
  switch (load) {
    case ProfileLoad::Read:
    case ProfileLoad::Missing:
      return std::nullopt;
    case ProfileLoad::NotAFile:
      return kSettingsNotAFile;
    case ProfileLoad::TooLarge:
      return kSettingsTooLarge;
    case ProfileLoad::Unreadable:
      break;
  }
  return kSettingsUnreadable;
}

}  // namespace

int CodePageForLocale(std::string_view locale) {
  struct Entry {
    std::string_view prefix;
    int codePage;
  };
  // Longer prefixes first: the Chinese scripts differ by region.
  static constexpr Entry kEntries[] = {
      {"zh_TW", 950}, {"zh_HK", 950}, {"zh_MO", 950}, {"zh_Hant", 950}, {"zh", 936},  {"ja", 932},  {"ko", 949},
      {"ru", 1251},   {"uk", 1251},   {"be", 1251},   {"bg", 1251},     {"sr", 1251}, {"mk", 1251}, {"pl", 1250},
      {"cs", 1250},   {"sk", 1250},   {"hu", 1250},   {"sl", 1250},     {"hr", 1250}, {"ro", 1250}, {"el", 1253},
      {"tr", 1254},   {"he", 1255},   {"iw", 1255},   {"ar", 1256},     {"fa", 1256}, {"et", 1257}, {"lv", 1257},
      {"lt", 1257},   {"vi", 1258},   {"th", 874},
  };
  for (const Entry& entry : kEntries) {
    if (!locale.starts_with(entry.prefix)) continue;
    const std::string_view rest = locale.substr(entry.prefix.size());
    if (rest.empty() || rest.front() == '_' || rest.front() == '-' || rest.front() == '.' || rest.front() == '@') {
      return entry.codePage;
    }
  }
  return 1252;
}

bool IsAnsiCodePage(int codePage) {
  return codePage == 874 || codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
         (codePage >= 1250 && codePage <= 1258);
}

DisplayOptions AppSettings::displayOptions() const {
  return {.dms = on(Switch::DmsFormat),
          .compass = on(Switch::CompassDirection),
          .metric = on(Switch::MetricUnit),
          .adjacentDistance = adjacentDistance,
          .showDistance = on(Switch::ShowDistance)};
}

AppSettings LoadSettings(const ProfileFile& profile) {
  AppSettings settings;
  for (std::size_t i = 0; i < kSwitchKeys.size(); ++i) {
    settings.switches[i] = ReadSwitch(profile, kOptions, kSwitchKeys[i], settings.switches[i]);
  }
  settings.fileCount = InRangeOr(profile.getInt(kOptions, "File Count", 7), 1, kMaxRecentFiles, 7);
  settings.backupInterval = InRangeOr(profile.getInt(kOptions, "Backup Interval", 10), 1, 99, 10);
  settings.googleMapsLang = std::clamp(profile.getInt(kOptions, "Google Maps Lang", 0), 0, 8);
  settings.toolbarColour = ReadColour(profile, kOptions, "Toolbar Bkgnd", kDefaultToolbarColour);
  for (std::size_t i = 0; i < settings.customColours.size(); ++i) {
    settings.customColours[i] = ReadColour(profile, kOptions, CustomColourKey(i), kDefaultToolbarColour);
  }
  LoadBasePoints(profile, settings.basePoints);
  LoadFont(profile, settings.font);
  settings.toolbarSpacing = std::clamp(profile.getInt(kOptions, "Toolbar Spacing", 0), 0, 9);
  // Stored empty, it stands for a toolbar without buttons.
  if (profile.hasKey(kOptions, "Toolbar Button")) {
    settings.toolbarButtons = ReadText(profile, kOptions, "Toolbar Button", kMaxToolbarButtons);
  }
  settings.adjacentDistance = ReadSwitch(profile, kOptions, "Adjacent Distance", true);
  LoadRecentFiles(profile, settings);
  settings.window = {.rect = ReadRect(profile, kWindow),
                     .show = ReadOptionalInt(profile, kWindow, "Show"),
                     .mapPaneWidth = ReadOptionalInt(profile, kWindow, "IE Pane")};
  settings.checkWindow = ReadRect(profile, kCheckPoi);
  const int codePage = StoredCodePage(profile);
  settings.codePage = IsAnsiCodePage(codePage) ? codePage : DefaultCodePage();
  settings.services = LoadServices(profile);
  settings.openDevice = {std::max(profile.getInt(kOpenDevice, "Width", 0), kMinOpenDeviceWidth),
                         std::max(profile.getInt(kOpenDevice, "Height", 0), kMinOpenDeviceHeight)};
  return settings;
}

StartSettings ReadSettingsFile(const std::filesystem::path& path) {
  ProfileFile profile;
  StartSettings start{.settings = {}, .file = profile.load(path), .warnings = {}};
  if (const std::optional<MessageId> problem = FileProblem(start.file)) {
    start.warnings.push_back({*problem, FormatMessage(*problem, Utf8ToUtf16(path.string()))});
  }
  start.settings = LoadSettings(profile);
  if (!IsAnsiCodePage(StoredCodePage(profile))) {
    start.warnings.push_back({kCodePageNotAnsi, FormatMessage(kCodePageNotAnsi, start.settings.codePage,
                                                              Utf8ToUtf16(profile.getString(kOptions, "Code Page", "")))});
  }
  return start;
}

void SaveSettings(const AppSettings& settings, ProfileFile& profile) {
  for (std::size_t i = 0; i < kSwitchKeys.size(); ++i) {
    WriteSwitch(profile, kOptions, kSwitchKeys[i], settings.switches[i]);
  }
  WriteSwitch(profile, kOptions, "Adjacent Distance", settings.adjacentDistance);
  if (settings.on(Switch::RecentFile)) SaveRecentFiles(settings, profile);
  if (settings.on(Switch::BackupFile)) profile.setInt(kOptions, "Backup Interval", settings.backupInterval);
  WriteRect(profile, kWindow, settings.window.rect);
  WriteOptionalInt(profile, kWindow, "Show", settings.window.show);
  if (settings.window.mapPaneWidth.value_or(0) != 0) profile.setInt(kWindow, "IE Pane", *settings.window.mapPaneWidth);
  SaveFont(settings.font, profile);
  profile.setInt(kOptions, "Google Maps Lang", settings.googleMapsLang);
  profile.setInt(kOptions, "Toolbar Spacing", settings.toolbarSpacing);
  profile.setInt(kOptions, "Code Page", settings.codePage);
}

void WriteProfileSection(ProfileFile& profile, std::string_view version) {
  profile.setString(kProfile, "Product", Utf16ToUtf8(LoadString(kProgramTitle)));
  profile.setString(kProfile, "Version", version);
  profile.setString(kProfile, "Company", "Copyright (C) the Quillfern developers");
  profile.setString(kProfile, "Written by", "The Quillfern developers");
}

void SaveToolbarColour(const AppSettings& settings, ProfileFile& profile) {
  profile.setInt(kOptions, "Toolbar Bkgnd", ColourValue(settings.toolbarColour));
}

void SaveCustomColours(const AppSettings& settings, ProfileFile& profile) {
  for (std::size_t i = 0; i < settings.customColours.size(); ++i) {
    profile.setInt(kOptions, CustomColourKey(i), ColourValue(settings.customColours[i]));
  }
}

void SaveToolbarButtons(const AppSettings& settings, ProfileFile& profile) {
  if (settings.toolbarButtons) {
    profile.setString(kOptions, "Toolbar Button", Utf16ToUtf8(*settings.toolbarButtons));
  } else {
    profile.removeKey(kOptions, "Toolbar Button");
  }
}

void SaveBasePointList(const AppSettings& settings, ProfileFile& profile) {
  profile.clearSection(kBasePoints);
  const auto& entries = settings.basePoints.entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    profile.setString(kBasePoints, Numbered("BP List ", static_cast<int>(i) + 1), Utf16ToUtf8(entries[i]));
  }
  SaveBasePointIndex(settings, profile);
}

void SaveBasePointIndex(const AppSettings& settings, ProfileFile& profile) {
  profile.setInt(kBasePoints, "Insert List", settings.basePoints.insertIndex + 1);
}

void SaveBasePointDialogSize(const AppSettings& settings, ProfileFile& profile) {
  profile.setInt(kBasePoints, "Width", settings.basePoints.dialogWidth);
  profile.setInt(kBasePoints, "Height", settings.basePoints.dialogHeight);
}

void SaveOpenDeviceSize(const AppSettings& settings, ProfileFile& profile) {
  profile.setInt(kOpenDevice, "Width", settings.openDevice.width);
  profile.setInt(kOpenDevice, "Height", settings.openDevice.height);
}

void SaveCheckWindow(const AppSettings& settings, ProfileFile& profile) {
  WriteRect(profile, kCheckPoi, settings.checkWindow);
}

int ReadLastNotify(const ProfileFile& profile) { return profile.getInt(kProfile, "Last Notify", 0); }

void WriteLastNotify(ProfileFile& profile, int seconds) { profile.setInt(kProfile, "Last Notify", seconds); }

}  // namespace qf
