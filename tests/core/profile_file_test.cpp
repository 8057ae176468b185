#include "core/profile_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "support/test_support.h"

namespace qf {
namespace {

ProfileFile Parsed(std::string_view text) {
  ProfileFile profile;
  profile.parse(text);
  return profile;
}

TEST(ProfileFileTest, LooksUpKeysLikeTheProfileFunctions) {
  const ProfileFile profile = Parsed(
      "\xEF\xBB\xBF[Options]\r\n"
      "Show Menu Bar=0\r\n"
      "  recent list 1 =  /home/ann/a b.ov2  \r\n"
      "; Quoted=no\r\n"
      "Quoted=\"  keeps blanks \"\r\n"
      "Single='x'\r\n"
      "Empty=\r\n"
      "show menu bar=1\r\n"
      "[options]\n"
      "Later=1\n");

  EXPECT_EQ(profile.getString("Options", "Show Menu Bar", "?"), "0");
  EXPECT_EQ(profile.getString("OPTIONS", "Recent List 1", "?"), "/home/ann/a b.ov2");
  EXPECT_EQ(profile.getString("Options", "Quoted", "?"), "  keeps blanks ");
  EXPECT_EQ(profile.getString("Options", "Single", "?"), "x");
  EXPECT_EQ(profile.getString("Options", "Empty", "?"), "");
  EXPECT_EQ(profile.getString("Options", "; Quoted", "?"), "?");
  // Only the first section of a name is searched, as the profile functions do.
  EXPECT_EQ(profile.getString("Options", "Later", "?"), "?");
  EXPECT_EQ(profile.getString("Window", "Left", "fallback"), "fallback");
}

TEST(ProfileFileTest, ReadsIntegersFromLeadingDigits) {
  const struct {
    const char* value;
    int expected;
  } cases[] = {
      {"12abc", 12},
      {"-3", -3},
      {"+7", 7},
      {"abc", 0},
      {"- 3", 0},
      {"  42  ", 42},
      {"0x10", 0},
      {"007", 7},
      {"", 99},
      {"4294967298", INT_MAX},
      {"-99999999999", INT_MIN},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
  };
  for (const auto& c : cases) {
    const ProfileFile profile = Parsed(std::string("[S]\nKey=") + c.value + "\n");
    EXPECT_EQ(profile.getInt("S", "key", 99), c.expected) << "value \"" << c.value << "\"";
  }
  EXPECT_EQ(Parsed("").getInt("S", "Key", -5), -5);
}

TEST(ProfileFileTest, RoundTripKeepsHandEditsAndChangesOnlyWhatIsSet) {
  const std::string original =
      "; written by hand\n"
      "[Options]\n"
      "Show Menu Bar = 1\n"
      "My Own Key=something\n"
      "\n"
      "[Unknown Section]\n"
      "stray line without equals\n"
      "Whatever=1\n";
  ProfileFile profile = Parsed(original);
  EXPECT_EQ(profile.text(), original);
  EXPECT_EQ(Parsed("[A]\r\nx=1\r\n").text(), "[A]\nx=1\n");

  profile.setString("options", "SHOW MENU BAR", "0");
  profile.setInt("Options", "File Count", 5);
  profile.setString("Window", "Left", "10");
  EXPECT_EQ(profile.text(),
            "; written by hand\n"
            "[Options]\n"
            "Show Menu Bar=0\n"
            "My Own Key=something\n"
            "File Count=5\n"
            "\n"
            "[Unknown Section]\n"
            "stray line without equals\n"
            "Whatever=1\n"
            "[Window]\n"
            "Left=10\n");
}

TEST(ProfileFileTest, EveryValueReadsBackAsSet) {
  for (std::string_view value : {"plain", " padded ", "\"quoted\"", "'single'", "\"", "", "a=b;c", "\t"}) {
    ProfileFile profile;
    profile.setString("S", "K", value);
    EXPECT_EQ(Parsed(profile.text()).getString("S", "K", "?"), value) << profile.text();
  }
  ProfileFile profile;
  profile.setString("S", "K", "two\nlines");
  EXPECT_EQ(Parsed(profile.text()).getString("S", "K", "?"), "two lines");
}

TEST(ProfileFileTest, ClearingASectionRemovesItUnlessKeysAreWrittenAgain) {
  ProfileFile profile =
      Parsed("[Base Points]\nBP List 1=a\nBP List 2=b\n; note\n[Options]\nX=1\n[base points]\nBP List 3=c\n");
  profile.clearSection("BASE POINTS");
  EXPECT_EQ(profile.text(), "[Options]\nX=1\n");
  EXPECT_EQ(profile.getString("Base Points", "BP List 1", "?"), "?");

  profile.setString("Base Points", "BP List 1", "z");
  EXPECT_EQ(profile.text(), "[Base Points]\nBP List 1=z\n[Options]\nX=1\n");
}

TEST(ProfileFileTest, RemovesAKey) {
  ProfileFile profile = Parsed("[Options]\nToolbar Button=1 2 51\nX=1\n");
  profile.removeKey("options", "toolbar button");
  profile.removeKey("Missing", "Key");
  EXPECT_EQ(profile.text(), "[Options]\nX=1\n");
}

TEST(ProfileFileTest, LoadsAndSavesFiles) {
  const auto folder = test::TempDir();
  ProfileFile profile;
  EXPECT_TRUE(profile.load(folder / "missing.ini"));
  EXPECT_EQ(profile.text(), "");
  // A file that exists but cannot be read must not be mistaken for an empty one.
  EXPECT_FALSE(profile.load(folder));

  profile.setString("Font", "Name", "Ünïcode Sans");
  const auto path = folder / "new" / "folder" / "quillfern.ini";
  ASSERT_TRUE(profile.save(path));
  ProfileFile reloaded;
  ASSERT_TRUE(reloaded.load(path));
  EXPECT_EQ(reloaded.getString("font", "name", ""), "Ünïcode Sans");
}

}  // namespace
}  // namespace qf
