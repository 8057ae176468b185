#include "device/device_save_rules.h"

#include <gtest/gtest.h>

#include "core/field_rules.h"
#include "support/test_support.h"

namespace qf {
namespace {

PoiDocument Document(int rows, std::u16string title) {
  PoiDocument document;
  document.title = std::move(title);
  for (int row = 0; row < rows; ++row) {
    document.rows.emplace_back();
    SetCell(document, row, kName, u"P");
    SetCell(document, row, kLng, u"4.00000");
    SetCell(document, row, kLat, u"52.00000");
  }
  return document;
}

TEST(DeviceSaveRules, RowsWithoutAPositionAreFound) {
  PoiDocument document = Document(4, u"Trip");
  SetCell(document, 1, kLng, u"");
  SetCell(document, 3, kLat, u"");
  EXPECT_EQ(RowsWithoutPosition(document), (std::vector<int>{1, 3}));
}

TEST(DeviceSaveRules, TheDeviceReadsNinetySixFavorites) {
  EXPECT_FALSE(OverFavoritesLimit(Document(96, u"Favorites")));
  EXPECT_TRUE(OverFavoritesLimit(Document(97, u"Favorites")));
  EXPECT_FALSE(OverFavoritesLimit(Document(97, u"Trip")));
  PoiDocument pinned = Document(97, u"Favorites");
  pinned.basePointPinned = true;
  EXPECT_FALSE(OverFavoritesLimit(pinned));
}

TEST(DeviceSaveRules, CompanionsAreTheFilesBesideTheDocument) {
  const auto folder = test::TempDir();
  test::WriteBytes(folder / "Trip.kml", {1});
  test::WriteBytes(folder / "Trip.bmp", {1});
  test::WriteBytes(folder / "Trip.vif", {1});
  std::filesystem::create_directory(folder / "Trip.ogg");  // a folder is no file
  EXPECT_EQ(CompanionsBeside(folder / "Trip.kml"), MaskOf(DeviceFileKind::Bmp) | MaskOf(DeviceFileKind::Vif));
  EXPECT_EQ(CompanionsBeside(folder / "Trip"), MaskOf(DeviceFileKind::Bmp) | MaskOf(DeviceFileKind::Vif));
  EXPECT_EQ(CompanionsBeside(folder / "Other.ov2"), 0u);
}

TEST(DeviceSaveRules, FilesOnTheDeviceAreJoined) {
  const DeviceListing listing = ParseDeviceListing(
      "<a href=\"/personal/pois/TRIP.ov2\">TRIP.ov2</a><a href=\"/personal/pois/trip.bmp\">trip.bmp</a>"
      "<a href=\"/personal/pois/trip.ogg\">trip.ogg</a>",
      ListingPage::Pois);
  const DeviceFileMask ov2AndBmp = MaskOf(DeviceFileKind::Ov2) | MaskOf(DeviceFileKind::Bmp);
  EXPECT_EQ(FilesOnDevice(listing, u"Trip", ov2AndBmp), u"ov2 | bmp");
  EXPECT_EQ(FilesOnDevice(listing, u"Trip", MaskOf(DeviceFileKind::Rpf)), u"");
  EXPECT_EQ(FilesOnDevice(listing, u"Other", ov2AndBmp), u"");
}

}  // namespace
}  // namespace qf
