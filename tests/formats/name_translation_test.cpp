#include "formats/name_translation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "core/unicode.h"
#include "formats/charcode.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

fs::path At(const fs::path& folder, std::u16string_view name) { return folder / Utf16ToUtf8(name); }

void MakeFile(const fs::path& path, const std::string& content = "x") { std::ofstream(path) << content; }

std::string Content(const fs::path& path) {
  std::string text;
  std::getline(std::ifstream(path), text);
  return text;
}

std::set<std::u16string> Names(const fs::path& folder) {
  std::set<std::u16string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(Utf8ToUtf16(entry.path().filename().string()));
  return names;
}

using test::CancellingPort;

TEST(NameTranslationTest, TakesOnlyDeviceFilesAndImagesFoldersAndComesBack) {
  const fs::path folder = test::TempDir();
  const struct {
    std::u16string name;
    bool folder;
    bool taken;
  } cases[] = {
      {u"台a.ov2", false, true},
      {u"台b.BMP", false, true},
      {u"台c.Ogg", false, true},
      {u"台d.rpf", false, true},
      {u"台e.VIF", false, true},
      {u"台Home_Images", true, true},
      {u"台_images", true, true},
      {u"台notes.txt", false, false},
      {u"台f", false, false},
      {u".台g.ov2", false, false},
      {u"台Images", true, false},
      {u"台x.ov2", true, false},
      {u"台Home_Images.txt", true, false},
      {u"台file_Images", false, false},
  };
  for (const auto& c : cases) {
    if (c.folder) {
      fs::create_directory(At(folder, c.name));
    } else {
      MakeFile(At(folder, c.name));
    }
  }
  // Links are never renamed, neither is what they point to.
  const fs::path outside = test::TempDir();
  MakeFile(At(outside, u"台o.ov2"));
  fs::create_symlink(At(outside, u"台o.ov2"), At(folder, u"台link.ov2"));
  // A name that is not UTF-8 would not survive the round trip.
  MakeFile(folder / "\xff\xfe.ov2");

  test::ScriptedUserPort port;
  std::vector<std::u16string> status;
  const auto collect = [&](std::u16string_view text) { status.emplace_back(text); };
  const TranslateNamesResult result = TranslateNames(folder, NameDirection::ToTomTom, port, collect);
  EXPECT_EQ(result.messageId, 0);
  EXPECT_EQ(result.count, 7);
  for (const auto& c : cases) {
    const std::u16string expected = c.taken ? ToTomTomCharCode(c.name) : c.name;
    EXPECT_TRUE(fs::exists(At(folder, expected))) << Utf16ToUtf8(c.name);
  }
  EXPECT_TRUE(fs::is_symlink(At(folder, u"台link.ov2")));
  EXPECT_TRUE(fs::exists(At(outside, u"台o.ov2")));
  EXPECT_TRUE(fs::exists(folder / "\xff\xfe.ov2"));
  ASSERT_EQ(status.size(), 8u);
  EXPECT_EQ(status.front(), u"Translating files/folders...");
  EXPECT_EQ(status.back().substr(0, 39), u"Translated 6 files/folders, translating");
  EXPECT_TRUE(status.back().ends_with(u", press Esc to stop..."));

  // Already in the chosen form: nothing to do.
  const std::set<std::u16string> translated = Names(folder);
  EXPECT_EQ(TranslateNames(folder, NameDirection::ToTomTom, port).count, 0);
  EXPECT_EQ(Names(folder), translated);

  EXPECT_EQ(TranslateNames(folder, NameDirection::ToWindows, port).count, 7);
  for (const auto& c : cases) EXPECT_TRUE(fs::exists(At(folder, c.name))) << Utf16ToUtf8(c.name);
  EXPECT_EQ(TranslateNames(folder, NameDirection::ToWindows, port).count, 0);
}

TEST(NameTranslationTest, ClashStopsWithoutReplacingAndKeepsEarlierRenames) {
  const fs::path folder = test::TempDir();
  const std::u16string names[] = {u"台1.ov2", u"台2.ov2", u"台3.ov2", u"台4.ov2", u"台5.ov2"};
  for (const auto& name : names) MakeFile(At(folder, name));
  MakeFile(At(folder, ToTomTomCharCode(u"台3.ov2")), "already there");

  test::ScriptedUserPort port;
  const TranslateNamesResult result = TranslateNames(folder, NameDirection::ToTomTom, port);
  EXPECT_EQ(result.messageId, kNameExists);
  EXPECT_EQ(result.name, ToTomTomCharCode(u"台3.ov2"));
  EXPECT_EQ(Content(At(folder, ToTomTomCharCode(u"台3.ov2"))), "already there");
  EXPECT_TRUE(fs::exists(At(folder, u"台3.ov2")));
  int renamed = 0;
  for (const auto& name : names) renamed += fs::exists(At(folder, ToTomTomCharCode(name))) && name != u"台3.ov2";
  EXPECT_EQ(result.count, renamed);
  EXPECT_EQ(Names(folder).size(), 6u);
}

TEST(NameTranslationTest, FailedRenameStopsAndNamesTheOldEntry) {
  const fs::path folder = test::TempDir();
  // Each character grows from three bytes to four: too long for the file system.
  const std::u16string name = std::u16string(70, u'台') + u".ov2";
  MakeFile(At(folder, name));
  test::ScriptedUserPort port;
  const TranslateNamesResult result = TranslateNames(folder, NameDirection::ToTomTom, port);
  EXPECT_EQ(result.messageId, kCannotRename);
  EXPECT_EQ(result.name, name);
  EXPECT_EQ(result.count, 0);
  EXPECT_TRUE(fs::exists(At(folder, name)));
}

TEST(NameTranslationTest, ReadOnlyEntriesAreRenamedAndKeepTheirPermissions) {
  const fs::path folder = test::TempDir();
  MakeFile(At(folder, u"台r.ov2"));
  fs::create_directory(At(folder, u"台r_Images"));
  const fs::perms fileMode = fs::perms::owner_read | fs::perms::group_read;
  const fs::perms folderMode = fs::perms::owner_read | fs::perms::owner_exec;
  fs::permissions(At(folder, u"台r.ov2"), fileMode);
  fs::permissions(At(folder, u"台r_Images"), folderMode);

  test::ScriptedUserPort port;
  const TranslateNamesResult result = TranslateNames(folder, NameDirection::ToTomTom, port);
  EXPECT_EQ(result.messageId, 0);
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(fs::status(At(folder, ToTomTomCharCode(u"台r.ov2"))).permissions(), fileMode);
  EXPECT_EQ(fs::status(At(folder, ToTomTomCharCode(u"台r_Images"))).permissions(), folderMode);
}

TEST(NameTranslationTest, EscStopsBetweenEntriesWithTheCountSoFar) {
  const fs::path folder = test::TempDir();
  for (const auto* name : {u"台1.ov2", u"台2.ov2", u"台3.ov2"}) MakeFile(At(folder, name));
  for (int polls : {0, 1, 2}) {
    CancellingPort port(polls);
    const TranslateNamesResult result = TranslateNames(folder, NameDirection::ToTomTom, port);
    EXPECT_EQ(result.messageId, 0);
    EXPECT_EQ(result.count, polls);
    test::ScriptedUserPort patient;
    EXPECT_EQ(TranslateNames(folder, NameDirection::ToWindows, patient).count, polls);
  }
}

TEST(NameTranslationTest, FolderThatCannotBeListed) {
  const fs::path folder = test::TempDir();
  MakeFile(folder / "file.ov2");
  test::ScriptedUserPort port;
  for (const fs::path& path : {folder / "missing", folder / "file.ov2"}) {
    const TranslateNamesResult result = TranslateNames(path, NameDirection::ToTomTom, port);
    EXPECT_EQ(result.messageId, kDiskStructureWrong);
    EXPECT_EQ(result.count, 0);
    EXPECT_TRUE(result.name.empty());
  }
}

TEST(NameTranslationTest, QueryNamesGoBothWays) {
  EXPECT_EQ(QueryWindowsName(u"台北.ov2"), ToTomTomCharCode(u"台北.ov2"));
  EXPECT_EQ(QueryTomTomName(QueryWindowsName(u"台北.ov2")), u"台北.ov2");
  EXPECT_EQ(QueryWindowsName(u"Paris.ov2"), u"Paris.ov2");
}

}  // namespace
}  // namespace qf
