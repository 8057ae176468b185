#include "core/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(ProfileFileTest, NewKeysGoAfterTheLastNonBlankLineOfTheirSection) {
  const struct {
    const char* before;
    const char* after;
  } cases[] = {
      {"[A]\nx=1\n\n\n[B]\n", "[A]\nx=1\nk=v\n\n\n[B]\n"},
      {"[A]\nx=1\n; note\n \n\t\n[B]\n", "[A]\nx=1\n; note\nk=v\n \n\t\n[B]\n"},
      {"[A]\n; one\n\n; two\n[B]\n", "[A]\n; one\n\n; two\nk=v\n[B]\n"},
      {"[A]\n\n\n[B]\n", "[A]\nk=v\n\n\n[B]\n"},
      {"[A]\n; lone", "[A]\n; lone\nk=v\n"},
  };
  for (const auto& c : cases) {
    ProfileFile profile = Parsed(c.before);
    profile.setString("A", "k", "v");
    EXPECT_EQ(profile.text(), c.after) << c.before;
  }
  // A removed key leaves the lines around it together, and a new key still goes before the trailing blanks.
  ProfileFile profile = Parsed("[A]\n; one\nx=1\n\n[B]\n");
  profile.removeKey("A", "x");
  profile.setString("A", "k", "v");
  EXPECT_EQ(profile.text(), "[A]\n; one\nk=v\n\n[B]\n");
}

TEST(ProfileFileTest, LoadsAndSavesFiles) {
  const auto folder = test::TempDir();
  ProfileFile profile;
  profile.setString("Font", "Name", "Ünïcode Sans");
  const auto path = folder / "new" / "folder" / "quillfern.ini";
  ASSERT_TRUE(profile.save(path));
  ProfileFile reloaded;
  ASSERT_EQ(reloaded.load(path), ProfileLoad::Read);
  EXPECT_EQ(reloaded.getString("font", "name", ""), "Ünïcode Sans");
}

// Whatever stands at the path, loading returns at once with an empty profile unless it read a whole file.
TEST(ProfileFileTest, TellsWhyAFileCannotBeLoaded) {
  const auto folder = test::TempDir();
  const auto pipe = folder / "pipe.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto largest = folder / "largest.ini";
  const auto tooLarge = folder / "too-large.ini";
  std::ofstream(largest, std::ios::binary) << "[A]\nk=v\n" << std::string(kMaxProfileSize - 8, '\n');
  std::ofstream(tooLarge, std::ios::binary) << "[A]\nk=v\n" << std::string(kMaxProfileSize - 7, '\n');
  const struct {
    std::filesystem::path path;
    ProfileLoad expected;
  } cases[] = {
      {folder / "missing.ini", ProfileLoad::Missing},
      {largest, ProfileLoad::Read},
      {folder, ProfileLoad::NotAFile},
      {pipe, ProfileLoad::NotAFile},
      {"/dev/zero", ProfileLoad::NotAFile},
      {tooLarge, ProfileLoad::TooLarge},
      {largest / "below-a-file.ini", ProfileLoad::Unreadable},
      // A regular file whose read fails, even for root.
      {"/proc/self/mem", ProfileLoad::Unreadable},
  };
  for (const auto& c : cases) {
    ProfileFile profile = Parsed("[A]\nstale=1\n");
    EXPECT_EQ(profile.load(c.path), c.expected) << c.path;
    EXPECT_EQ(profile.getString("A", "k", ""), c.expected == ProfileLoad::Read ? "v" : "") << c.path;
    EXPECT_EQ(profile.getString("A", "stale", ""), "") << c.path;
  }
}

}  // namespace
}  // namespace qf
