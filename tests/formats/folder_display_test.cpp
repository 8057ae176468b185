#include "formats/folder_display.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(FolderDisplayTest, NamesTheUsersFolders) {
  const UserFolders folders{"/home/ann", "/home/ann/Desktop", "/home/ann/Dokumente"};
  const struct {
    const char* path;
    std::u16string_view shown;
  } cases[] = {
      {"/home/ann", u"~"},
      {"/home/ann/", u"~"},
      {"/home/ann/maps/Nav2", u"~/maps/Nav2"},
      {"/home/ann/Desktop", u"Desktop"},
      {"/home/ann/Desktop/trip", u"Desktop/trip"},
      {"/home/ann/Dokumente/poi", u"My Documents/poi"},
      {"/home/ann/Desktops", u"~/Desktops"},   // only the folder itself and what it holds
      {"/home/anna/maps", u"/home/anna/maps"},
      {"/media/ann/TOMTOM", u"/media/ann/TOMTOM"},
      {"/", u"/"},
      {"/home/ann/caf\xC3\xA9", u"~/caf\u00E9"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderDisplayForm(c.path, folders), c.shown) << c.path;
}

TEST(FolderDisplayTest, SpecialFoldersThatAreNoneOfTheirOwn) {
  // Without a configured Desktop the desktop is the home folder; without a home nothing is short.
  EXPECT_EQ(FolderDisplayForm("/home/ann/maps", {"/home/ann", "/home/ann/", "/"}), u"~/maps");
  EXPECT_EQ(FolderDisplayForm("/home/ann/maps", {"", "", ""}), u"/home/ann/maps");
  EXPECT_EQ(FolderDisplayForm("/srv/share/docs/a", {"/home/ann", "", "/srv/share/docs"}), u"My Documents/a");
}

}  // namespace
}  // namespace qf
