#include "shell/document_icon.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

bool Loads(const std::filesystem::path& path) { return path.filename() == "cameras.bmp"; }

TEST(DocumentIcon, KindPathAndBitmapDecide) {
  struct Case {
    DocumentKind kind;
    const char* path;
    const char16_t* title;
    DocumentIcon expected;
  };
  const Case cases[] = {
      {DocumentKind::Poi, "", u"Untitled", DocumentIcon::None},
      {DocumentKind::Poi, "", u"Favorites", DocumentIcon::Favorites},
      {DocumentKind::Poi, "", u"from device", DocumentIcon::Poi},
      {DocumentKind::Phonebook, "", u"Untitled", DocumentIcon::None},
      {DocumentKind::Phonebook, "", u"from device", DocumentIcon::SafetyCamera},
      {DocumentKind::Phonebook, "/d/phones.txt", u"phones", DocumentIcon::Phonebook},
      {DocumentKind::SafetyCamera, "/d/speed.ov2", u"speed", DocumentIcon::SafetyCamera},
      {DocumentKind::Poi, "/d/cameras.OV2", u"cameras", DocumentIcon::BesideBitmap},
      {DocumentKind::Poi, "/d/Favorites.ov2", u"Favorites", DocumentIcon::Favorites},
      {DocumentKind::Poi, "/d/cafes.ov2", u"cafes", DocumentIcon::Poi},
      {DocumentKind::Poi, "/d/cafes.kml", u"cafes", DocumentIcon::None},
  };
  for (const Case& c : cases) {
    PoiDocument document;
    document.kind = c.kind;
    document.path = c.path;
    document.title = c.title;
    const DocumentIconChoice choice = ChooseDocumentIcon(document, Loads);
    EXPECT_EQ(choice.icon, c.expected) << c.path;
    if (c.expected == DocumentIcon::BesideBitmap) {
      EXPECT_EQ(choice.bitmap, "/d/cameras.bmp");
    }
  }
}

}  // namespace
}  // namespace qf
