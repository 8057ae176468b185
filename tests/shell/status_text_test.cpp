#include "shell/status_text.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(StatusText, DropsOneClosingFullStopAndKeepsEllipses) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Ready.", u"Ready"},
      {u"Reading the file data...", u"Reading the file data..."},
      {u"完成。", u"完成"},
      {u" Starts with a blank.", u" Starts with a blank."},
      {u"", u""},
      {u"Done..", u"Done.."},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(StatusText(text), shown);
  EXPECT_EQ(StatusText(std::u16string(300, u'x')).size(), 254u);
}

}  // namespace
}  // namespace qf
