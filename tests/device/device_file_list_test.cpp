#include "device/device_file_list.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

// A listing page of ov2 files in page order, each with its date and size cells, and bmp files.
DeviceListing Listing(const std::vector<std::array<std::string, 3>>& files, const std::vector<std::string>& bitmaps = {}) {
  std::string page = "<table>";
  for (const auto& [name, date, size] : files) {
    page += "<tr><td><a href=\"/personal/pois/" + name + ".ov2\">" + name + ".ov2</a></td><td>" + date +
            "</td><td>" + size + "</td></tr>";
  }
  for (const std::string& name : bitmaps) {
    page += "<tr><td><a href=\"/personal/pois/" + name + ".bmp\">" + name + ".bmp</a></td></tr>";
  }
  return ParseDeviceListing(page + "</table>", ListingPage::Pois);
}

std::vector<std::u16string> Names(const std::vector<DeviceFileRow>& rows) {
  std::vector<std::u16string> names;
  for (const DeviceFileRow& row : rows) names.push_back(row.name);
  return names;
}

TEST(DeviceFileList, RowsFollowTheListingWithTheFavoritesFirst) {
  const DeviceListing listing = Listing({{"Camping", "2024-03-01", "1.5 MB"}, {"FAVORITES", "2024-03-02", "2 KB"}, {"favorites", "2024-03-03", "3 KB"}},
                                        {"camping"});
  const std::vector<DeviceFileRow> rows = DeviceFileRows(listing);
  // The ov2 list runs against the page; only the first favourites entry of it is special.
  EXPECT_EQ(Names(rows), (std::vector<std::u16string>{u"favorites", u"FAVORITES", u"Camping"}));
  EXPECT_TRUE(rows[0].favorites);
  EXPECT_FALSE(rows[1].favorites);
  EXPECT_EQ(rows[2].date, u"2024-03-01");
  EXPECT_EQ(rows[2].size, u"1.5 MB");
  EXPECT_EQ(rows[2].position, 2);
  EXPECT_EQ(rows[2].companions, (std::array<bool, 4>{true, false, false, false}));
  EXPECT_EQ(SortableRowCount(rows), 2);
}

TEST(DeviceFileList, EveryOrderKeepsTheFavoritesFirst) {
  const DeviceListing listing = Listing({{"file10", "d1", "900 KB"}, {"Favorites", "d2", "1 KB"}, {"File2", "d3", "1.5 MB"}, {"file2", "d4", "12"}},
                                        {"file10"});
  struct Case {
    DeviceFileColumn column;
    bool ascending;
    std::vector<std::u16string> names;
  };
  const Case cases[] = {
      // Numbers by value, case aside; equal names by plain comparison.
      {DeviceFileColumn::Name, true, {u"Favorites", u"File2", u"file2", u"file10"}},
      {DeviceFileColumn::Name, false, {u"Favorites", u"file10", u"file2", u"File2"}},
      // "1.5 MB" is more than "900 KB".
      {DeviceFileColumn::Size, true, {u"Favorites", u"file2", u"file10", u"File2"}},
      {DeviceFileColumn::Size, false, {u"Favorites", u"File2", u"file10", u"file2"}},
      // By place in the listing's list, the reverse of the page.
      {DeviceFileColumn::Date, true, {u"Favorites", u"file2", u"File2", u"file10"}},
      // Rows with the file after those without.
      {DeviceFileColumn::Bmp, true, {u"Favorites", u"file2", u"File2", u"file10"}},
      {DeviceFileColumn::Bmp, false, {u"Favorites", u"file10", u"file2", u"File2"}},
  };
  for (const Case& c : cases) {
    std::vector<DeviceFileRow> rows = DeviceFileRows(listing);
    SortDeviceFileRows(rows, c.column, c.ascending);
    EXPECT_EQ(Names(rows), c.names) << static_cast<int>(c.column) << ' ' << c.ascending;
  }
}

TEST(DeviceFileList, SizeTextsCountKilobytesAndMegabytes) {
  EXPECT_EQ(DeviceSizeValue(u"900 KB"), 900.0 * 1024);
  EXPECT_EQ(DeviceSizeValue(u"1.5 MB"), 1.5 * 1048576);
  EXPECT_EQ(DeviceSizeValue(u"2 kb"), 2048.0);
  EXPECT_EQ(DeviceSizeValue(u"3mb"), 3.0 * 1048576);
  EXPECT_EQ(DeviceSizeValue(u"512"), 512.0);
  EXPECT_EQ(DeviceSizeValue(u""), 0.0);
}

}  // namespace
}  // namespace qf
