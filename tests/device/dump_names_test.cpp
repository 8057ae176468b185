#include "device/dump_names.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(DumpNames, TimestampFromTheDigitGroupsOfTheDate) {
  struct Case {
    std::u16string_view date;
    std::u16string_view suffix;
  };
  for (const Case& c : {Case{u"17/05/2010 14:23:05", u"-20100517-1423"},
                        Case{u"2010-05-17", u"-17052010"},         // the groups as they come
                        Case{u"17.05.2010 14", u"-20100517"},      // no fifth group
                        Case{u"May 17, 2010", u""},                // two groups
                        Case{u"", u""},
                        Case{u" 1 // 2 -- 3 :: 4 .. 5 6", u"-321-45"}}) {
    EXPECT_EQ(TimestampSuffix(c.date), c.suffix) << std::string(c.date.begin(), c.date.end());
  }
}

TEST(DumpNames, FileNamesStayInTheDestination) {
  struct Case {
    std::u16string_view name;
    std::u16string_view file;
  };
  for (const Case& c : {Case{u"screen 1", u"screen 1.jpg"}, Case{u"../../etc/passwd", u"___.._etc_passwd.jpg"},
                        Case{u"..", u"__.jpg"}, Case{u".hidden", u"_hidden.jpg"}, Case{u"a\\b", u"a_b.jpg"},
                        Case{std::u16string_view(u"a\0b\nc", 5), u"a_b_c.jpg"}, Case{u"", u"_.jpg"},
                        Case{u"caf\u00e9.v2", u"caf\u00e9.v2.jpg"}}) {
    EXPECT_EQ(DumpFileName(c.name, u"", false, ImageFormat::Jpeg), c.file);
  }
}

TEST(DumpNames, ExtensionAndTimestampOfTheFormat) {
  EXPECT_EQ(DumpFileName(u"shot", u"17/05/2010 14:23:05", true, ImageFormat::Tiff), u"shot-20100517-1423.tif");
  EXPECT_EQ(DumpFileName(u"shot", u"17/05/2010 14:23:05", false, ImageFormat::Png), u"shot.png");
  EXPECT_EQ(DumpFileName(u"shot", u"", true, ImageFormat::Gif), u"shot.gif");
  EXPECT_EQ(DumpFileName(u"shot", u"", false, ImageFormat::Bmp), u"shot.bmp");
}

}  // namespace
}  // namespace qf
