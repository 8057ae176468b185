#include "device/device_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qf {
namespace {

std::string Link(std::string_view path, std::string_view text) {
  return "<tr><td><a href=\"" + std::string(path) + "\">" + std::string(text) + "</a></td></tr>\n";
}

std::vector<std::u16string> Names(const DeviceListing& listing, DeviceFileKind kind) {
  std::vector<std::u16string> names;
  for (const DeviceListingEntry& entry : listing.lists[static_cast<std::size_t>(kind)]) names.push_back(entry.name);
  return names;
}

TEST(DeviceListing, SortsPoiFilesByKindInReversePageOrder) {
  const std::string page = "<html><table>" + Link("/personal/pois/Home.ov2", "Home.ov2") +
                           Link("/personal/pois/Home.bmp", "Home.bmp") +
                           Link("/personal/pois/notes.txt", "notes.txt") +
                           Link("/PERSONAL/Pois/Work.OV2", "  Work  .OV2") +  // any case; spaces trimmed
                           Link("/personal/pois/Alarm.ogg", "Alarm.ogg") + Link("/personal/pois/x.vif", "x.vif") +
                           Link("/personal/pois/y.rpf", "y.rpf") + Link("/personal/pois/noext", "noext") +
                           Link("/personal/pois/dot.", "dot.") + Link("/other/Elsewhere.ov2", "Elsewhere.ov2") +
                           "</table></html>";
  const DeviceListing listing = ParseDeviceListing(page, ListingPage::Pois);
  EXPECT_EQ(Names(listing, DeviceFileKind::Ov2), (std::vector<std::u16string>{u"Work", u"Home"}));
  EXPECT_EQ(Names(listing, DeviceFileKind::Bmp), std::vector<std::u16string>{u"Home"});
  EXPECT_EQ(Names(listing, DeviceFileKind::Ogg), std::vector<std::u16string>{u"Alarm"});
  EXPECT_EQ(Names(listing, DeviceFileKind::Rpf), std::vector<std::u16string>{u"y"});
  EXPECT_EQ(Names(listing, DeviceFileKind::Vif), std::vector<std::u16string>{u"x"});
  EXPECT_TRUE(listing.holds(DeviceFileKind::Bmp, u"HOME"));
  EXPECT_FALSE(listing.holds(DeviceFileKind::Ogg, u"Home"));
  // An entry remembers where its link ends, for the cells that follow.
  const DeviceListingEntry& home = listing.lists[0].back();
  EXPECT_EQ(listing.text.substr(home.after, 5), u"</td>");
}

TEST(DeviceListing, KeepsNamesAsTheyAre) {
  const std::string page = Link("/personal/pois/Caf%C3%A9", "Caf\xC3\xA9 #1?.ov2") +  // UTF-8, '#', '?'
                           Link("/personal/pois/a", std::string(251, 'a') + ".ov2") +  // 255 characters
                           Link("/personal/pois/b", std::string(252, 'b') + ".ov2");   // 256: ignored
  const DeviceListing listing = ParseDeviceListing(page, ListingPage::Pois);
  ASSERT_EQ(listing.lists[0].size(), 2u);
  EXPECT_EQ(listing.lists[0][0].name, std::u16string(251, u'a'));
  EXPECT_EQ(listing.lists[0][1].name, u"Caf\u00e9 #1?");
}

TEST(DeviceListing, ReadsEachScreenshotInterface) {
  const std::string dumps = Link("/dumps/a.bmp", "/dumps/a.bmp") + Link("/dumps/latest.bmp", "/dumps/LATEST.bmp") +
                            Link("/dumps/b.png", "/dumps/b.png") + Link("/dumps/c.bmp", "/dumps/c.bmp");
  EXPECT_EQ(Names(ParseDeviceListing(dumps, ListingPage::Dumps), DeviceFileKind::Ov2),
            (std::vector<std::u16string>{u"c", u"a"}));
  const std::string screenDump = Link("/personal/screendump/s1.png", "s1.png") +
                                 Link("/personal/screendump/latest.png", "latest.png") +
                                 Link("/personal/screendump/s2.bmp", "s2.bmp");
  EXPECT_EQ(Names(ParseDeviceListing(screenDump, ListingPage::ScreenDump), DeviceFileKind::Ov2),
            (std::vector<std::u16string>{u"latest", u"s1"}));
}

TEST(DeviceListing, CellsAfterTheLinkAreItsDateAndSize) {
  struct Case {
    std::string cells;
    std::u16string date;
    std::u16string size;
  };
  const Case cases[] = {
      {"<td>2024-05-01 12:00</td><td>12 KB</td>", u"2024-05-01 12:00", u"12 KB"},
      {"<td><img src=x></td><td> 1&amp;2 </td><td>&lt;3 MB</td>", u"1&2", u"<3 MB"},
      {"<td>" + std::string(63, 'd') + "</td><td>" + std::string(31, 's') + "</td>", std::u16string(63, u'd'),
       std::u16string(31, u's')},
      {"<td>" + std::string(64, 'd') + "</td><td>" + std::string(32, 's') + "</td>", u"", u""},
      {"<td>only a date</td>", u"only a date", u""},
  };
  for (const Case& c : cases) {
    const DeviceListing listing = ParseDeviceListing("<tr><td>" + std::string("<a href=\"/personal/pois/A.ov2\">A.ov2</a>") +
                                                         "</td>" + c.cells + "</tr>",
                                                     ListingPage::Pois);
    ASSERT_EQ(listing.lists[0].size(), 1u) << c.cells;
    const DeviceEntryCells cells = CellsAfter(listing, listing.lists[0][0].after);
    EXPECT_EQ(cells.date, c.date) << c.cells;
    EXPECT_EQ(cells.size, c.size) << c.cells;
  }
}

}  // namespace
}  // namespace qf
