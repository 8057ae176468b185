#include "core/app_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "core/unicode.h"

#include "support/test_support.h"

namespace qf {
namespace {

ProfileFile Parsed(std::string_view text) {
  ProfileFile profile;
  profile.parse(text);
  return profile;
}

TEST(AppSettingsTest, EmptyFileGivesDefaults) {
  const AppSettings settings = LoadSettings(ProfileFile{});
  EXPECT_EQ(settings, AppSettings{});
  EXPECT_TRUE(settings.on(Switch::ShowMenuBar));
  EXPECT_FALSE(settings.on(Switch::LngFirst));
  EXPECT_TRUE(settings.on(Switch::GoogleMapsRoute));
  EXPECT_EQ(settings.fileCount, 7);
  EXPECT_EQ(settings.backupInterval, 10);
  EXPECT_EQ(settings.toolbarColour, 16775392u);  // RGB(224,248,255)
  EXPECT_EQ(settings.customColours[15], 16775392u);
  EXPECT_EQ(settings.font.weight, 400);
  EXPECT_FALSE(settings.toolbarButtons.has_value());
  EXPECT_FALSE(settings.window.rect.left.has_value());
  EXPECT_EQ(settings.basePoints.insertIndex, 0);
}

TEST(AppSettingsTest, ClampsOrReplacesOutOfRangeNumbers) {
  const struct {
    const char* line;
    int AppSettings::*member;
    int expected;
  } cases[] = {
      {"File Count=0", &AppSettings::fileCount, 7},
      {"File Count=12", &AppSettings::fileCount, 7},
      {"File Count=9", &AppSettings::fileCount, 9},
      {"Backup Interval=0", &AppSettings::backupInterval, 10},
      {"Backup Interval=100", &AppSettings::backupInterval, 10},
      {"Backup Interval=99", &AppSettings::backupInterval, 99},
      {"Google Maps Lang=-3", &AppSettings::googleMapsLang, 0},
      {"Google Maps Lang=20", &AppSettings::googleMapsLang, 8},
      {"Google Maps Lang=5", &AppSettings::googleMapsLang, 5},
      {"Toolbar Spacing=-1", &AppSettings::toolbarSpacing, 0},
      {"Toolbar Spacing=10", &AppSettings::toolbarSpacing, 9},
      {"Toolbar Spacing=4px", &AppSettings::toolbarSpacing, 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadSettings(Parsed(std::string("[Options]\n") + c.line + "\n")).*c.member, c.expected) << c.line;
  }

  const auto basePoints = [](std::string_view lines) {
    return LoadSettings(Parsed("[Base Points]\n" + std::string(lines))).basePoints;
  };
  EXPECT_EQ(basePoints("Insert List=0\n").insertIndex, 0);
  EXPECT_EQ(basePoints("Insert List=150\n").insertIndex, 99);
  EXPECT_EQ(basePoints("Insert List=3\n").insertIndex, 2);
  EXPECT_EQ(basePoints("Width=200\nHeight=361\n").dialogWidth, 360);
  EXPECT_EQ(basePoints("Width=200\nHeight=361\n").dialogHeight, 361);
}

TEST(AppSettingsTest, OpenDeviceSizeIsNeverBelowItsLeast) {
  const auto size = [](std::string_view lines) {
    return LoadSettings(Parsed("[Open Device]\n" + std::string(lines))).openDevice;
  };
  EXPECT_EQ(size(""), (OpenDeviceSettings{480, 360}));
  EXPECT_EQ(size("Width=300\nHeight=700\n"), (OpenDeviceSettings{480, 700}));
  AppSettings settings;
  settings.openDevice = {640, 400};
  ProfileFile profile;
  SaveOpenDeviceSize(settings, profile);
  EXPECT_EQ(LoadSettings(profile).openDevice, (OpenDeviceSettings{640, 400}));
}

TEST(AppSettingsTest, AnyNonZeroSwitchIsOnAndIsWrittenBackAsOne) {
  ProfileFile profile = Parsed("[Options]\nShow Toolbar=5\nShow Menu Bar=abc\nLng First=-1\nDMS Format=\n");
  const AppSettings settings = LoadSettings(profile);
  EXPECT_TRUE(settings.on(Switch::ShowToolbar));
  EXPECT_FALSE(settings.on(Switch::ShowMenuBar));
  EXPECT_TRUE(settings.on(Switch::LngFirst));
  EXPECT_FALSE(settings.on(Switch::DmsFormat));  // empty: the default

  SaveSettings(settings, profile);
  EXPECT_EQ(profile.getString("Options", "Show Toolbar", ""), "1");
  EXPECT_EQ(profile.getString("Options", "Show Menu Bar", ""), "0");
  EXPECT_EQ(profile.getString("Options", "Lng First", ""), "1");
}

TEST(AppSettingsTest, RecentListStopsAtTheFirstGapAndAtTheFileCount) {
  const auto recent = [](std::string_view options) { return LoadSettings(Parsed(options)).recentFiles; };
  EXPECT_EQ(recent("[Options]\nFile Count=7\nRecent List 1=/a.ov2\nRecent List 3=/c.ov2\n"),
            (std::vector<std::filesystem::path>{"/a.ov2"}));
  EXPECT_EQ(recent("[Options]\nFile Count=2\nRecent List 1=/a.ov2\nRecent List 2=/b.ov2\nRecent List 3=/c.ov2\n"),
            (std::vector<std::filesystem::path>{"/a.ov2", "/b.ov2"}));
  EXPECT_TRUE(recent("[Options]\nRecent File=0\nRecent List 1=/a.ov2\n").empty());
}

TEST(AppSettingsTest, BackgroundImageCountsOnlyWhileItIsAFile) {
  const auto folder = test::TempDir();
  const auto image = folder / "paper.png";
  test::WriteBytes(image, {1});
  const auto font = [](const std::filesystem::path& background) {
    return LoadSettings(Parsed("[Font]\nUse Bkgnd=1\nBkgnd=" + background.string() + "\n")).font;
  };

  EXPECT_EQ(font(image).background, image);
  EXPECT_TRUE(font(image).useBackground);
  EXPECT_TRUE(font(folder).background.empty());
  EXPECT_FALSE(font(folder).useBackground);

  AppSettings settings = LoadSettings(Parsed("[Font]\nUse Bkgnd=1\nBkgnd=" + image.string() + "\n"));
  std::filesystem::remove(image);
  EXPECT_TRUE(font(image).background.empty());
  EXPECT_FALSE(font(image).useBackground);
  // Deleted while the program ran: not written at exit.
  ProfileFile saved;
  SaveSettings(settings, saved);
  EXPECT_EQ(saved.getString("Font", "Bkgnd", "absent"), "absent");
}

TEST(AppSettingsTest, FontDetailsAreReadOnlyWithAFaceName) {
  const char* details = "Height=-16\nWeight=700\nItalic=1\nColor=255\n";
  const FontSettings unnamed = LoadSettings(Parsed(std::string("[Font]\n") + details)).font;
  EXPECT_EQ(unnamed, FontSettings{});

  const FontSettings named =
      LoadSettings(Parsed(std::string("[Font]\nName=An Extraordinarily Long Font Face Name\n") + details)).font;
  EXPECT_EQ(named.name, u"An Extraordinarily Long Font Fa");  // 31 characters
  EXPECT_EQ(named.height, -16);
  EXPECT_EQ(named.weight, 700);
  EXPECT_TRUE(named.italic);
  EXPECT_EQ(named.colour, 255u);
}

TEST(AppSettingsTest, ToolbarKeysKeepTheirRawText) {
  const std::string longButtons(300, '1');
  const AppSettings settings =
      LoadSettings(Parsed("[Options]\nToolbar Bkgnd=255\nToolbar Bkgnd 3=-1\n"
                          "Toolbar Button=" +
                          longButtons + "\n"));
  EXPECT_EQ(settings.toolbarColour, 255u);
  EXPECT_EQ(settings.customColours[3], 0x00FFFFFFu);
  EXPECT_EQ(settings.customColours[4], kDefaultToolbarColour);
  EXPECT_EQ(settings.toolbarButtons, std::u16string(255, u'1'));
  // Stored empty is an arrangement without buttons, not the default one.
  EXPECT_EQ(LoadSettings(Parsed("[Options]\nToolbar Button=\n")).toolbarButtons, std::u16string());
  EXPECT_EQ(LoadSettings(Parsed("[Options]\n")).toolbarButtons, std::nullopt);
}

TEST(AppSettingsTest, FreshFileIsWrittenInSaveOrder) {
  AppSettings settings;
  settings.recentFiles = {"/data/b.ov2", "/data/a.ov2"};
  settings.window = {.rect = {.left = 10, .top = 20, .width = 800, .height = 600}, .show = 1, .mapPaneWidth = 300};
  settings.font.name = u"DejaVu Sans";
  settings.font.height = -13;
  settings.googleMapsLang = 2;
  ProfileFile profile;
  SaveSettings(settings, profile);
  EXPECT_EQ(profile.text(),
            "[Options]\n"
            "Show Menu Bar=1\nShow Toolbar=1\nLarge Toolbar=1\nWrap Toolbar=1\nLng First=0\nDMS Format=0\n"
            "Compass Direction=0\nAuto Column=1\nShow Distance=0\nMetric Unit=0\nRecent File=1\nFade Window=0\n"
            "Shade Table=0\nShow Status Bar=1\nSignal Mark=0\nOptimise POI=1\nCheck Name=0\nAuto BP=0\n"
            "Open Last=0\nTranslate Name=0\nBackup File=1\nGoogle Maps Cookie=1\nGoogle Maps Memo=1\n"
            "Google Maps Route=1\n"
            "Adjacent Distance=1\n"
            "File Count=7\nRecent List 1=/data/b.ov2\nRecent List 2=/data/a.ov2\n"
            "Backup Interval=10\n"
            "Google Maps Lang=2\nToolbar Spacing=0\nCode Page=1252\n"
            "[Window]\n"
            "Left=10\nTop=20\nWidth=800\nHeight=600\nShow=1\nIE Pane=300\n"
            "[Font]\n"
            "Name=DejaVu Sans\nHeight=-13\nWeight=400\nColor=0\nItalic=0\nUse Bkgnd=0\n");
}

TEST(AppSettingsTest, ServicesNameTheGeocoder) {
  EXPECT_EQ(LoadSettings(Parsed("")).services, ServiceSettings{});
  const ServiceSettings xml =
      LoadSettings(Parsed("[Services]\nGeocoder=xml\nGeocoder Host=http://127.0.0.1:8080\nGeocoder Key=k1\n")).services;
  ServiceSettings expected;
  expected.geocoder = GeocoderProvider::Xml;
  expected.geocoderHost = "http://127.0.0.1:8080";
  expected.geocoderKey = "k1";
  EXPECT_EQ(xml, expected);
  EXPECT_EQ(LoadSettings(Parsed("[Services]\nGeocoder=bing\n")).services.geocoder, GeocoderProvider::Nominatim);
}

TEST(AppSettingsTest, ServicesNameTheDeviceAndTheLinks) {
  const ServiceSettings defaults = LoadSettings(Parsed("")).services;
  EXPECT_EQ(defaults.deviceAddress, "169.254.255.1");
  EXPECT_TRUE(defaults.versionFile.empty());  // no request until someone names the file
  EXPECT_TRUE(defaults.ephemerisHost.empty());
  const ServiceSettings own = LoadSettings(Parsed("[Services]\nDevice Address=127.0.0.1:8081\n"
                                                  "Version File=http://127.0.0.1:8082/Quillfern/VersionEn.inf\n"
                                                  "Mail Link=mailto:someone@example.org\n")).services;
  EXPECT_EQ(own.deviceAddress, "127.0.0.1:8081");
  EXPECT_EQ(own.versionFile, "http://127.0.0.1:8082/Quillfern/VersionEn.inf");
  EXPECT_EQ(own.mailLink, "mailto:someone@example.org");
  EXPECT_EQ(own.tomtomLink, defaults.tomtomLink);
}

TEST(AppSettingsTest, ServicesNameTheMapTiles) {
  const ServiceSettings defaults = LoadSettings(Parsed("")).services;
  EXPECT_EQ(defaults.mapTiles, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
  EXPECT_NE(defaults.mapTilesAttribution.find("OpenStreetMap</a> contributors"), std::string::npos);
  EXPECT_EQ(LoadSettings(Parsed("[Services]\nMap Tiles=\n")).services.mapTiles, defaults.mapTiles);
  const ServiceSettings own = LoadSettings(Parsed("[Services]\nMap Tiles=http://127.0.0.1:8080/{z}/{x}/{y}.png\n"
                                                  "Map Tiles Attribution=Local <b>tiles</b>\n"))
                                  .services;
  EXPECT_EQ(own.mapTiles, "http://127.0.0.1:8080/{z}/{x}/{y}.png");
  EXPECT_EQ(own.mapTilesAttribution, "Local <b>tiles</b>");
}

TEST(AppSettingsTest, CodePageComesFromTheFileOrElseFromTheLocale) {
  const struct {
    std::string_view locale;
    int codePage;
  } cases[] = {{"de_DE", 1252}, {"fr", 1252},    {"en_US_POSIX", 1252}, {"ru_RU", 1251},     {"pl_PL", 1250},
               {"cs", 1250},    {"hu_HU", 1250}, {"zh_TW", 950},        {"zh_Hant_HK", 950}, {"zh_CN", 936},
               {"ja_JP", 932},  {"ko_KR", 949},  {"rup", 1252},         {"", 1252}};
  for (const auto& c : cases) EXPECT_EQ(CodePageForLocale(c.locale), c.codePage) << c.locale;

  ProfileFile profile = Parsed("[Options]\nCode Page=1251\n");
  AppSettings settings = LoadSettings(profile);
  EXPECT_EQ(settings.codePage, 1251);
  settings.codePage = 950;
  SaveSettings(settings, profile);
  EXPECT_EQ(profile.getInt("Options", "Code Page", 0), 950);
}

// ANSI text has no byte-order mark: written in UTF-8 or UTF-16 it would read back as other characters.
TEST(AppSettingsTest, CodePageMustBeAnAnsiCodePage) {
  const auto codePage = [](std::string_view value) {
    return LoadSettings(Parsed("[Options]\nCode Page=" + std::string(value) + "\n")).codePage;
  };
  for (const int ansi : {874, 932, 936, 949, 950, 1250, 1255, 1258}) EXPECT_EQ(codePage(std::to_string(ansi)), ansi);
  const int localeCodePage = LoadSettings(ProfileFile{}).codePage;
  for (const char* other : {"65001", "65000", "1200", "1201", "1249", "1259", "437", "0", "abc", "-1252"}) {
    EXPECT_EQ(codePage(other), localeCodePage) << other;
  }
}

// A run goes on with the defaults for whatever of the settings file it cannot use, and says so.
TEST(AppSettingsTest, ReadingTheSettingsFileWarnsOfWhatCannotBeUsed) {
  const auto folder = test::TempDir();
  const auto write = [&](const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return folder / name;
  };
  const auto good = write("good.ini", "[Options]\nShow Toolbar=0\nCode Page=1251\n");
  const auto utf8 = write("utf8.ini", "[Options]\nShow Toolbar=0\nCode Page=65001\n");
  const auto blankLines = write("blank.ini", std::string(16 * 1024 * 1024, '\n') + "[Options]\nShow Toolbar=0\n");
  const int localeCodePage = LoadSettings(ProfileFile{}).codePage;
  const struct {
    std::filesystem::path path;
    bool toolbar;
    int codePage;
    std::optional<SettingsWarning> warning;
  } cases[] = {
      {good, false, 1251, std::nullopt},
      {folder / "missing.ini", true, localeCodePage, std::nullopt},
      {utf8, false, localeCodePage,
       SettingsWarning{kCodePageNotAnsi, u"The code page of ANSI text files must be 874, 932, 936, 949, 950 or 1250 to 1258\nCode page " +
           Utf8ToUtf16(std::to_string(localeCodePage)) + u" is used instead of Code Page=65001"}},
      {folder, true, localeCodePage,
       SettingsWarning{kSettingsNotAFile, u"The settings file is not a file\nThe default settings are used\n\n" +
                                              Utf8ToUtf16(folder.string())}},
      {blankLines, true, localeCodePage,
       SettingsWarning{kSettingsTooLarge, u"The settings file is larger than 1 MB\nThe default settings are used\n\n" +
                                              Utf8ToUtf16(blankLines.string())}},
      {good / "x.ini", true, localeCodePage,
       SettingsWarning{kSettingsUnreadable, u"Can not read the settings file\nThe default settings are used\n\n" +
                                                Utf8ToUtf16((good / "x.ini").string())}},
  };
  for (const auto& c : cases) {
    const StartSettings start = ReadSettingsFile(c.path);
    EXPECT_EQ(start.settings.on(Switch::ShowToolbar), c.toolbar) << c.path;
    EXPECT_EQ(start.settings.codePage, c.codePage) << c.path;
    EXPECT_EQ(start.warnings, c.warning ? std::vector{*c.warning} : std::vector<SettingsWarning>{}) << c.path;
  }
}

TEST(AppSettingsTest, SaveWritesConditionalKeysOnlyWhenTheyApply) {
  AppSettings settings;
  settings.set(Switch::RecentFile, false);
  settings.set(Switch::BackupFile, false);
  settings.window.mapPaneWidth = 0;
  ProfileFile profile;
  SaveSettings(settings, profile);
  for (const char* key : {"File Count", "Recent List 1", "Backup Interval"}) {
    EXPECT_EQ(profile.getString("Options", key, "absent"), "absent") << key;
  }
  EXPECT_EQ(profile.getString("Window", "IE Pane", "absent"), "absent");

  // A shorter list leaves no old entries behind to come back later.
  ProfileFile shortened = Parsed("[Options]\nRecent List 1=/a\nRecent List 2=/b\nRecent List 3=/c\n");
  AppSettings one;
  one.recentFiles = {"/z"};
  SaveSettings(one, shortened);
  EXPECT_EQ(LoadSettings(shortened).recentFiles, (std::vector<std::filesystem::path>{"/z"}));
}

TEST(AppSettingsTest, BasePointListReplacesTheWholeSection) {
  ProfileFile profile = Parsed(
      "[Base Points]\nBP List 1=Home>1.00000>2.00000>>\nBP List 2=Work>3>4>>\nBP List 3=Old>5>6>>\nWidth=500\n"
      "[Options]\nX=1\n");
  AppSettings settings = LoadSettings(profile);
  ASSERT_EQ(settings.basePoints.entries.size(), 3u);
  settings.basePoints.entries = {u"Café>7.00000>8.00000>>"};
  settings.basePoints.insertIndex = 0;
  SaveBasePointList(settings, profile);
  SaveBasePointDialogSize(settings, profile);
  EXPECT_EQ(profile.text(),
            "[Base Points]\nBP List 1=Café>7.00000>8.00000>>\nInsert List=1\nWidth=500\nHeight=360\n"
            "[Options]\nX=1\n");
}

TEST(AppSettingsTest, DialogKeysAreWrittenOnTheirOwn) {
  AppSettings settings;
  settings.toolbarColour = Rgb(1, 2, 3);
  settings.toolbarButtons = u"0 1 51 2";
  settings.checkWindow = {.left = 5, .top = 6, .width = 320, .height = 240};
  ProfileFile profile;
  SaveToolbarColour(settings, profile);
  SaveCustomColours(settings, profile);
  SaveToolbarButtons(settings, profile);
  SaveCheckWindow(settings, profile);
  WriteLastNotify(profile, 12345);

  const AppSettings reloaded = LoadSettings(profile);
  EXPECT_EQ(reloaded.toolbarColour, 0x030201u);
  EXPECT_EQ(reloaded.customColours, settings.customColours);
  EXPECT_EQ(reloaded.toolbarButtons, settings.toolbarButtons);
  EXPECT_EQ(reloaded.checkWindow, settings.checkWindow);
  EXPECT_EQ(ReadLastNotify(profile), 12345);

  settings.toolbarButtons.reset();  // the customise dialog's Reset
  SaveToolbarButtons(settings, profile);
  EXPECT_EQ(profile.getString("Options", "Toolbar Button", "absent"), "absent");
}

TEST(AppSettingsTest, ProfileSectionDescribesTheInstallation) {
  ProfileFile profile = Parsed("[Profile]\nLast Notify=99\n");
  WriteProfileSection(profile, QUILLFERN_VERSION);
  EXPECT_EQ(profile.getString("Profile", "Product", ""), "Quillfern for TomTom");
  EXPECT_EQ(profile.getString("Profile", "Version", ""), QUILLFERN_VERSION);
  EXPECT_FALSE(profile.getString("Profile", "Company", "").empty());
  EXPECT_FALSE(profile.getString("Profile", "Written by", "").empty());
  EXPECT_EQ(ReadLastNotify(profile), 99);
}

TEST(AppSettingsTest, SavedSettingsLoadBackUnchanged) {
  const auto image = test::TempDir() / "bg.png";
  test::WriteBytes(image, {1});
  ProfileFile profile = Parsed(
      "[Options]\nShow Toolbar=7\nFile Count=3\nRecent List 1=/x/é.ov2\nRecent List 2=/y.ov2\nBackup Interval=0\n"
      "Google Maps Lang=-3\nToolbar Spacing=12\nAdjacent Distance=0\nMy Key=kept\n"
      "[Window]\nLeft=-8\nTop=x\nShow=3\n"
      "[Font]\nName=Mono\nHeight=-11\nItalic=2\nColor=-1\nUse Bkgnd=1\nBkgnd=" +
      image.string() + "\n");
  const AppSettings loaded = LoadSettings(profile);
  SaveSettings(loaded, profile);
  EXPECT_EQ(LoadSettings(Parsed(profile.text())), loaded);
  EXPECT_EQ(profile.getString("Options", "My Key", ""), "kept");
}

}  // namespace
}  // namespace qf
