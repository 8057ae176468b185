#include "shell/version_check.h"

#include <gtest/gtest.h>

#include "core/http_client.h"
#include "fakes/fake_version_file.h"

namespace qf {
namespace {

using std::chrono::sys_days;
using namespace std::chrono_literals;

TEST(VersionCheck, ClockCountsFromTheStartOf2001AndNoticesAreWeekly) {
  EXPECT_EQ(NotifyClock(sys_days{std::chrono::year{2001} / 1 / 1}), 0);
  EXPECT_EQ(NotifyClock(sys_days{std::chrono::year{2026} / 12 / 11} + 12h), 818'683'200);
  const int now = 818'683'200;
  EXPECT_FALSE(VersionCheckDue(now, now - 6 * 86'400));
  EXPECT_FALSE(VersionCheckDue(now, now - 7 * 86'400));
  EXPECT_TRUE(VersionCheckDue(now, now - 7 * 86'400 - 1));
  EXPECT_TRUE(VersionCheckDue(now, 0));
}

TEST(VersionCheck, OwnTextHasFourNumbersAndTheEdition) {
  EXPECT_EQ(OwnVersionText("0.1.0"), "v0.1.0.0 English, USA");
  EXPECT_EQ(OwnVersionText("3.4.1.7"), "v3.4.1.7 English, USA");
}

TEST(VersionCheck, OnlyATextuallyNewerVersionIsAnnounced) {
  const std::string own = "v3.4.1.7 English, USA";
  struct Case {
    std::string answer;
    bool newer;
  };
  const Case cases[] = {
      {"v3.4.2.0 Faster saving", true},
      {"v3.4.1.7 English, USA", false},
      {"v3.4.1.6 Older", false},
      {"v3.4.1.70 Longer token", true},  // the own text ends first
      {"v3.4.2.0", false},               // no blank
      {"<html>Not found</html>", false},
      {"", false},
      {"v4.0.0.0 " + std::string(247, 'x'), false},  // 256 bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnnouncedNewerVersion(c.answer, own, 1252).has_value(), c.newer) << c.answer;
  }
  // Compared as text, not as numbers.
  EXPECT_FALSE(AnnouncedNewerVersion("v3.4.10.0 New", "v3.4.9.0 English, USA", 1252));
  EXPECT_EQ(*AnnouncedNewerVersion("v3.4.2.0 Caf\xe9", own, 1252), u"v3.4.2.0 Caf\u00e9");
}

TEST(VersionCheck, AsksTheFileAndIgnoresErrorPages) {
  test::FakeVersionFile file;
  HttpClient http({.userAgent = "test"});
  file.answer("v9.0.0.0 Big");
  EXPECT_EQ(AskForNewerVersion(http, file.url(), "v0.1.0.0 English, USA", 1252), u"v9.0.0.0 Big");
  file.answer("v9.0.0.0 Gone", 404);
  EXPECT_FALSE(AskForNewerVersion(http, file.url(), "v0.1.0.0 English, USA", 1252));
  EXPECT_FALSE(AskForNewerVersion(http, "http://127.0.0.1:1/Quillfern/VersionEn.inf", "v0.1.0.0 English, USA", 1252));
}

}  // namespace
}  // namespace qf
