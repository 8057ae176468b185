#include "map/map_page_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/message_id.h"
#include "support/test_support.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MapPageFile, EachLoadReplacesThePageInAPrivateFolderThatTheEndRemoves) {
  const fs::path parent = test::TempDir();
  test::ScriptedUserPort port;
  fs::path page;
  {
    MapPageFile file(parent);
    ASSERT_TRUE(file.write("<html>one</html>", port));
    ASSERT_TRUE(file.write("<html>two</html>", port));
    page = file.path();
    EXPECT_EQ(page.filename(), "Qfn.htm");
    EXPECT_EQ(Read(page), "<html>two</html>");
    EXPECT_EQ(fs::status(page.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(page.parent_path()), fs::directory_iterator()), 1);
  }
  EXPECT_FALSE(fs::exists(page.parent_path()));
  EXPECT_TRUE(port.messages.empty());
}

TEST(MapPageFile, AFolderThatCannotBeMadeSaysWhichFileAndWhy) {
  test::ScriptedUserPort port;
  MapPageFile file(test::TempDir() / "missing" / "deeper");
  EXPECT_FALSE(file.write("<html></html>", port));
  ASSERT_EQ(port.messages.size(), 1u);
  EXPECT_EQ(port.messages[0].first, kCannotWrite);
  EXPECT_NE(port.messages[0].second.find(u"Qfn.htm"), std::u16string::npos);
  EXPECT_NE(port.messages[0].second.find(u"No such file or directory"), std::u16string::npos);
  EXPECT_TRUE(file.path().empty());
}

}  // namespace
}  // namespace qf
