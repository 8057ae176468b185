#include "core/check_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/distances.h"

namespace qf {
namespace {

struct Poi {
  std::u16string name;
  double longitude;
  double latitude;
};

std::u16string Degrees(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", value);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

PoiDocument DocumentWith(const std::vector<Poi>& pois) {
  PoiDocument document;
  for (const Poi& poi : pois) {
    PoiRecord& record = document.rows.emplace_back(document.nextRowId++);
    record.setText(kName, poi.name);
    record.setText(kLng, Degrees(poi.longitude));
    record.setText(kLat, Degrees(poi.latitude));
  }
  return document;
}

// The sets by comparing every pair: rows joined through chains of related pairs, rows ascending.
std::vector<std::vector<int>> SetsOfEveryPair(int rows, const std::function<bool(int, int)>& related) {
  std::vector<int> set(static_cast<std::size_t>(rows));
  std::iota(set.begin(), set.end(), 0);
  std::function<int(int)> find = [&](int row) { return set[row] == row ? row : set[row] = find(set[row]); };
  for (int a = 0; a < rows; ++a) {
    for (int b = a + 1; b < rows; ++b) {
      if (related(a, b)) set[find(b)] = find(a);
    }
  }
  std::map<int, std::vector<int>> members;  // by first row
  std::map<int, int> firstOf;
  for (int row = 0; row < rows; ++row) members[firstOf.try_emplace(find(row), row).first->second].push_back(row);
  std::vector<std::vector<int>> sets;
  for (const auto& [first, rowsOfSet] : members) {
    if (rowsOfSet.size() > 1) sets.push_back(rowsOfSet);
  }
  return sets;
}

// The rows of each set; every row but the first is linked to another row of its set by a related pair.
std::vector<std::vector<int>> RowsOf(const std::vector<CheckSet>& sets, const std::function<bool(int, int)>& related) {
  std::vector<std::vector<int>> rows;
  for (const CheckSet& set : sets) {
    std::vector<int>& members = rows.emplace_back();
    for (const SetMember& member : set) members.push_back(member.row);
    EXPECT_EQ(set.front().linkedRow, -1);
    for (std::size_t i = 1; i < set.size(); ++i) {
      EXPECT_TRUE(std::ranges::any_of(set, [&](const SetMember& m) { return m.row == set[i].linkedRow; }));
      EXPECT_TRUE(related(set[i].row, set[i].linkedRow)) << set[i].row << " " << set[i].linkedRow;
    }
  }
  return rows;
}

// Clusters across the 180th meridian, at both poles and in the middle of a continent, with rows at
// one place: the sets are exactly the chains of near pairs, each row linked at its own distance.
TEST(CheckSets, NearSetsAreTheChainsOfNearPairs) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> spread(-0.3, 0.3);
  const double centres[][2] = {{179.9, 10}, {-179.95, 10.1}, {12, 89.85}, {-40, -89.9}, {5, 45}};
  std::vector<Poi> pois;
  for (int i = 0; i < 500; ++i) {
    const auto& centre = centres[i % 5];
    double longitude = centre[0] + spread(random) / (i % 7 == 0 ? 1000 : 1);
    if (longitude > 180) longitude -= 360;
    if (longitude < -180) longitude += 360;
    pois.push_back({u"P", longitude, std::clamp(centre[1] + spread(random) / 5, -90.0, 90.0)});
  }
  for (int i = 0; i < 20; ++i) pois.push_back(pois[static_cast<std::size_t>(i * 7)]);
  const PoiDocument document = DocumentWith(pois);
  for (const std::int32_t threshold : {0, 300, 3000, 20000}) {
    SCOPED_TRACE(threshold);
    const auto near = [&](int a, int b) { return DistanceBetween(document, a, b) <= threshold; };
    const auto sets = NearSets(document, threshold, nullptr);
    ASSERT_TRUE(sets);
    EXPECT_EQ(RowsOf(*sets, near), SetsOfEveryPair(document.rowCount(), near));
    for (const CheckSet& set : *sets) {
      for (std::size_t i = 1; i < set.size(); ++i) {
        EXPECT_EQ(set[i].distance, DistanceBetween(document, set[i].row, set[i].linkedRow));
      }
    }
  }
}

TEST(CheckSets, NearSetsJoinAcrossTheSeamAndOverThePole) {
  const struct {
    Poi a, b;
    bool near;  // within 10 metres
  } cases[] = {
      {{u"A", 179.99999, 10}, {u"B", -179.99999, 10}, true},
      {{u"A", -180, -30}, {u"B", 180, -30}, true},
      {{u"A", 0, 89.99996}, {u"B", 180, 89.99996}, true},
      {{u"A", -90, -89.99996}, {u"B", 90, -89.99996}, true},
      {{u"A", 0, 89.9999}, {u"B", 180, 89.9999}, false},
      {{u"A", 179.9999, 0}, {u"B", -179.9999, 0}, false},
  };
  for (const auto& c : cases) {
    const PoiDocument document = DocumentWith({c.a, c.b});
    SCOPED_TRACE(DistanceBetween(document, 0, 1));
    const auto sets = NearSets(document, 10, nullptr);
    ASSERT_TRUE(sets);
    EXPECT_EQ(sets->size(), c.near ? 1u : 0u);
  }
}

// Variants of a few words: in other case, with full-width letters or punctuation, shortened or
// lengthened; then with one empty name, which occurs in every name.
TEST(CheckSets, SimilarSetsAreTheChainsOfSimilarNames) {
  std::mt19937 random(11);
  std::vector<std::u16string> words(60);
  for (std::u16string& word : words) {
    for (std::size_t length = random() % 5 + 5; word.size() < length;) word += static_cast<char16_t>(u'a' + random() % 20);
  }
  std::vector<Poi> pois;
  for (int i = 0; i < 400; ++i) {
    std::u16string name = words[random() % words.size()];
    const std::size_t at = random() % name.size();
    switch (random() % 6) {
      case 0: name[at] = static_cast<char16_t>(name[at] - u'a' + u'A'); break;
      case 1: name[at] = static_cast<char16_t>(name[at] - u'a' + u'ａ'); break;
      case 2: name.insert(at, u"-"); break;
      case 3: name.resize(std::max<std::size_t>(at, 4)); break;
      case 4: name += u" 1"; break;
      default: break;
    }
    pois.push_back({name, 0, 0});
  }
  PoiDocument document = DocumentWith(pois);
  for (const bool withEmptyName : {false, true}) {
    if (withEmptyName) document.rows[7].setText(kName, u"");  // occurs in every name
    const auto similar = [&](int a, int b) { return SimilarNames(document.text(a, kName), document.text(b, kName)); };
    const auto sets = SimilarSets(document, nullptr);
    ASSERT_TRUE(sets);
    const auto expected = SetsOfEveryPair(document.rowCount(), similar);
    EXPECT_GT(expected.size(), withEmptyName ? 0u : 10u);
    EXPECT_EQ(RowsOf(*sets, similar), expected);
  }
}

TEST(CheckSets, ManyRowsAtOnePlaceOrOfOneNameMakeOneSet) {
  const PoiDocument document = DocumentWith(std::vector<Poi>(3000, {u"Same", 4.9, 52.37}));
  for (const auto& sets : {NearSets(document, 0, nullptr), SimilarSets(document, nullptr)}) {
    ASSERT_TRUE(sets);
    ASSERT_EQ(sets->size(), 1u);
    EXPECT_EQ(sets->front().size(), 3000u);
  }
}

TEST(CheckSets, APollThatAsksToStopStops) {
  const PoiDocument document = DocumentWith(std::vector<Poi>(10000, {u"Same", 4.9, 52.37}));
  const CheckPoll stop = [](CheckStage) { return true; };
  EXPECT_FALSE(NearSets(document, 10, stop));
  EXPECT_FALSE(SimilarSets(document, stop));
}

}  // namespace
}  // namespace qf
