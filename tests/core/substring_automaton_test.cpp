#include "core/substring_automaton.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qf {
namespace {

std::vector<int> Found(const SubstringAutomaton& automaton, std::u16string_view text) {
  std::vector<int> found;
  automaton.scan(text, [&](int pattern) { found.push_back(pattern); });
  std::sort(found.begin(), found.end());
  return found;
}

TEST(SubstringAutomaton, ReportsEveryOccurrenceOfEveryPattern) {
  const std::vector<std::u16string_view> patterns{u"he", u"she", u"his", u"hers", u"h", u"", u"日本"};
  const SubstringAutomaton automaton(patterns);
  struct Case {
    std::u16string_view text;
    std::vector<int> found;
  };
  const Case cases[] = {
      {u"ushers", {0, 1, 3, 4, 5}},         // overlapping patterns ending inside one another
      {u"hishe", {0, 1, 2, 4, 4, 5}},       // one per occurrence
      {u"xyz", {5}},                        // only the empty pattern
      {u"", {5}},                           //
      {u"東日本", {5, 6}},                  // beyond Latin-1
      {u"hhe", {0, 4, 4, 5}},               // a failed edge falls back to the shorter suffix
  };
  for (const Case& c : cases) EXPECT_EQ(Found(automaton, c.text), c.found) << std::string(c.text.begin(), c.text.end());
}

TEST(SubstringAutomaton, WithoutPatternsFindsNothing) {
  EXPECT_TRUE(Found(SubstringAutomaton(), u"anything").empty());
}

}  // namespace
}  // namespace qf
