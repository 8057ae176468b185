#include "core/poi_checks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/distances.h"
#include "core/unicode.h"

namespace qf {
namespace {

struct Poi {
  std::u16string name;
  std::u16string longitude;
  std::u16string latitude;
};

PoiDocument DocumentWith(const std::vector<Poi>& pois) {
  PoiDocument document;
  document.display.metric = true;
  for (const Poi& poi : pois) {
    PoiRecord& record = document.rows.emplace_back(document.nextRowId++);
    record.setText(kName, poi.name);
    record.setText(kLng, poi.longitude);
    record.setText(kLat, poi.latitude);
  }
  return document;
}

CheckSettings Checks(bool similar, bool near, bool empty, std::int32_t threshold = 1) {
  CheckSettings settings;
  settings.similarNames = similar;
  settings.nearDistances = near;
  settings.emptyCoordinates = empty;
  settings.thresholdMetres = threshold;
  return settings;
}

// The names of the shown group with their distances ("Alpha", "Gamma 1", ...).
std::vector<std::u16string> Group(const CheckRun& run) {
  std::vector<std::u16string> shown;
  for (const CheckResult& result : run.results()) {
    std::u16string text = result.texts[kName];
    if (result.distance != kNoDistance && result.distance != kBaseRowKey) {
      const std::string metres = std::to_string(result.distance);
      text += u' ' + std::u16string(metres.begin(), metres.end());
    }
    shown.push_back(text);
  }
  return shown;
}

using Names = std::vector<std::u16string>;

class PoiChecksTest : public testing::Test {
 protected:
  PoiDocument document = DocumentWith({{u"Alpha", u"121.50000", u"25.03300"},
                                       {u"Beta", u"", u"25.00000"},
                                       {u"Gamma", u"121.50000", u"25.03301"},
                                       {u"Delta", u"121.60000", u"25.10000"},
                                       {u"alpha centre", u"121.50000", u"25.03300"},
                                       {u"Epsilon", u"", u""}});
  CheckPoll keepGoing = [](CheckStage) { return false; };

  void deleteRow(CheckRun& run, int row) {
    const RowId id = document.rows[static_cast<std::size_t>(row)].id();
    document.rows.erase(document.rows.begin() + row);
    run.rowDeleted(document, id);
  }
  // Move Up and Move Down trade the texts of two rows, as the table does it.
  void swapTexts(CheckRun& run, int rowA, int rowB) {
    PoiRecord& a = document.rows[static_cast<std::size_t>(rowA)];
    PoiRecord& b = document.rows[static_cast<std::size_t>(rowB)];
    for (int column = kName; column <= kMemo; ++column) {
      const std::u16string text(a.text(column));
      a.setText(column, b.text(column));
      b.setText(column, text);
    }
    run.rowsSwapped(document, rowA, rowB);
  }
  void setCell(CheckRun& run, int row, int column, std::u16string_view text) {
    document.rows[static_cast<std::size_t>(row)].setText(column, text);
    run.rowChanged(document, row, column);
  }
};

TEST_F(PoiChecksTest, StagesRunEmptyThenNearThenSimilar) {
  CheckRun run(document, Checks(true, true, true));
  ASSERT_EQ(run.start(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(run.stage(), CheckStage::EmptyCoordinates);
  EXPECT_EQ(Group(run), (Names{u"Beta", u"Epsilon"}));

  ASSERT_EQ(run.continueCheck(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(run.stage(), CheckStage::NearDistances);
  EXPECT_EQ(run.position(), 0);
  EXPECT_EQ(Group(run), (Names{u"Alpha", u"Gamma 1", u"alpha centre 0"}));
  EXPECT_EQ(run.distanceText(run.results()[0], true), u"");
  EXPECT_EQ(run.distanceText(run.results()[1], true), u"1    m");

  ASSERT_EQ(run.continueCheck(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(run.position(), 2);
  EXPECT_EQ(Group(run), (Names{u"Gamma", u"alpha centre 1"}));

  ASSERT_EQ(run.continueCheck(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(run.stage(), CheckStage::SimilarNames);
  EXPECT_EQ(Group(run), (Names{u"Alpha", u"alpha centre"}));

  EXPECT_EQ(run.continueCheck(document, keepGoing), CheckOutcome::Finished);
  EXPECT_EQ(run.stage(), CheckStage::Finished);
}

TEST_F(PoiChecksTest, NothingFoundFinishesAtOnce) {
  PoiDocument clean = DocumentWith({{u"North", u"10.00000", u"50.00000"}, {u"South", u"10.00000", u"40.00000"}});
  CheckRun run(clean, Checks(true, true, true, 1000));
  EXPECT_EQ(run.start(clean, keepGoing), CheckOutcome::Finished);
  EXPECT_TRUE(run.results().empty());
}

TEST_F(PoiChecksTest, ThresholdZeroListsOnlyIdenticalPositions) {
  CheckRun run(document, Checks(false, true, false, 0));
  ASSERT_EQ(run.start(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(Group(run), (Names{u"Alpha", u"alpha centre 0"}));
  EXPECT_EQ(run.continueCheck(document, keepGoing), CheckOutcome::Finished);
}

TEST_F(PoiChecksTest, EscStopsTheWholeCheck) {
  CheckRun run(document, Checks(true, true, false, 0));
  int polls = 0;
  EXPECT_EQ(run.start(document, [&](CheckStage) { return ++polls == 1; }), CheckOutcome::Cancelled);
  EXPECT_EQ(polls, 1);
}

TEST(PoiChecks, SimilarNames) {
  struct Case {
    std::u16string a, b;
    bool similar;
  };
  const Case cases[] = {
      {u"Shell", u"Shell Station", true},                                              // the beginning of a longer name
      {u"Station Shell", u"shell", true},                                              // anywhere in it, ignoring case
      {u"SHELL", u"shell", true},         {u"Shell-Station", u"Shell Station", true},  // punctuation
      {u"ＳＨＥＬＬ", u"Shell", true},                                                 // full-width letters
      {u"カタカナ", u"かたかな", true},                                                // kana type
      {u"Shell", u"Esso", false},         {u"Café", u"Cafe", false},                   // accents still count
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SimilarNames(c.a, c.b), c.similar) << Utf16ToUtf8(c.a);
    EXPECT_EQ(SimilarNames(c.b, c.a), c.similar);
  }
}

TEST(PoiChecks, ThresholdParsing) {
  struct Case {
    std::u16string number;
    bool metric, largeUnit;
    std::optional<std::int32_t> metres;
  };
  const Case cases[] = {
      {u"250", true, false, 250},
      {u"2", true, true, 2000},
      {u"1", false, true, 1609},   // 1609.344 truncated
      {u"100", false, false, 30},  // 30.48 truncated
      {u"0", true, false, 0},
      {u"007", true, false, 7},
      {u"999999999", true, true, kNoDistance - 1},  // saturates instead of wrapping
      {u"1.5", true, true, std::nullopt},
      {u"-5", true, false, std::nullopt},
      {u"5 m", true, false, std::nullopt},
      {u"", true, false, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseThreshold(c.number, c.metric, c.largeUnit), c.metres) << Utf16ToUtf8(c.number);
  }
}

TEST(PoiChecks, AvailableChecksFollowKindAndSize) {
  PoiDocument document = DocumentWith({{u"A", u"1", u"1"}});
  CheckChoices choices = AvailableChecks(document);
  EXPECT_TRUE(!choices.similarNames && !choices.nearDistances && choices.emptyCoordinates);
  document = DocumentWith({{u"A", u"1", u"1"}, {u"B", u"1", u"1"}});
  document.kind = DocumentKind::SafetyCamera;
  choices = AvailableChecks(document);
  EXPECT_TRUE(!choices.similarNames && choices.nearDistances && choices.emptyCoordinates);
  document.kind = DocumentKind::Phonebook;
  choices = AvailableChecks(document);
  EXPECT_TRUE(choices.similarNames && !choices.nearDistances && !choices.emptyCoordinates);
}

TEST_F(PoiChecksTest, ResultsFollowEditsOfTheirRows) {
  CheckRun run(document, Checks(false, true, false));
  ASSERT_EQ(run.start(document, keepGoing), CheckOutcome::GroupFound);
  setCell(run, 2, kName, u"Gamma 2");
  EXPECT_EQ(run.results()[1].texts[kName], u"Gamma 2");

  setCell(run, 2, kLat, u"25.03310");  // a listed row moves: only its distance changes
  EXPECT_EQ(Group(run), (Names{u"Alpha", u"Gamma 2 11", u"alpha centre 0"}));
  setCell(run, 0, kLat, u"25.03310");  // the reference moves: every distance changes
  EXPECT_EQ(Group(run), (Names{u"Alpha", u"Gamma 2 0", u"alpha centre 11"}));

  ToggleDisplayOption(document, DisplayOption::Compass);
  run.displayOptionsChanged(document);
  EXPECT_EQ(run.results()[0].texts[kLng], u"E 121.50000");

  deleteRow(run, 0);  // the reference goes: no distance is left to show
  EXPECT_EQ(Group(run), (Names{u"Gamma 2", u"alpha centre"}));
}

TEST_F(PoiChecksTest, DeletedRowsLeaveTheListWithoutSkippingOthers) {
  document = DocumentWith({{u"Alpha", u"121.50000", u"25.03300"},
                           {u"Beta", u"", u"25.00000"},
                           {u"Gamma", u"121.50000", u"25.03301"},
                           {u"Gamma", u"121.50000", u"25.03301"},
                           {u"Delta", u"121.60000", u"25.10000"},
                           {u"alpha centre", u"121.50000", u"25.03300"}});
  CheckRun run(document, Checks(false, true, false, 0));
  ASSERT_EQ(run.start(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(Group(run), (Names{u"Alpha", u"alpha centre 0"}));
  // Delete All of the shown group, last row first, as the table does it.
  std::vector<int> all{0, 1};
  const std::vector<int> rows = run.rowsOfResults(document, all);
  EXPECT_EQ(rows, (std::vector<int>{5, 0}));
  for (const int row : rows) deleteRow(run, row);
  EXPECT_TRUE(run.results().empty());
  // Continue goes on with the rows after the deleted one: the two Gammas.
  ASSERT_EQ(run.continueCheck(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(Group(run), (Names{u"Gamma", u"Gamma 0"}));
}

TEST_F(PoiChecksTest, MovedRowsKeepTheListInTableOrderAndTheirResults) {
  CheckRun run(document, Checks(true, false, false));
  swapTexts(run, 0, 4);  // Move Up/Down in many steps, in one swap here
  ASSERT_EQ(run.start(document, keepGoing), CheckOutcome::GroupFound);
  EXPECT_EQ(Group(run), (Names{u"alpha centre", u"Alpha"}));
  // A shown row moved on: its result names the row it went to.
  swapTexts(run, 3, 4);
  std::vector<int> alpha{1};
  EXPECT_EQ(run.rowsOfResults(document, alpha), (std::vector<int>{3}));
  EXPECT_EQ(Group(run), (Names{u"alpha centre", u"Alpha"}));
}

TEST_F(PoiChecksTest, SortingTheResults) {
  PoiDocument many = DocumentWith({{u"POI 10", u"1.00000", u"1.00000"},
                                   {u"poi 9", u"", u"1.00000"},
                                   {u"POI 9", u"-2.00000", u""},
                                   {u"POI 100", u"", u""}});
  CheckRun run(many, Checks(false, false, true));
  ASSERT_EQ(run.start(many, keepGoing), CheckOutcome::GroupFound);
  run.sortByColumn(many, kName);
  EXPECT_EQ(Group(run), (Names{u"POI 9", u"poi 9", u"POI 100"}));  // numbers by value, exact text breaks ties
  run.sortByColumn(many, kName);
  EXPECT_FALSE(run.sortAscending());
  EXPECT_EQ(Group(run), (Names{u"POI 100", u"poi 9", u"POI 9"}));
  run.sortByColumn(many, kLng);  // another column keeps the direction; empty coordinates are lowest
  EXPECT_FALSE(run.sortAscending());
  EXPECT_EQ(Group(run), (Names{u"POI 9", u"POI 100", u"poi 9"}));
}

std::u16string Degrees(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", value);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

// Every group the check shows must be exactly what comparing all pairs finds, also across the
// 180th meridian and near the poles where the longitude band widens.
TEST(PoiChecks, NearGroupsMatchComparingEveryPair) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> spread(-0.6, 0.6);
  const double centres[][2] = {{179.8, 10}, {-179.9, 10.2}, {12, 89.7}, {-40, -89.8}, {5, 45}};
  std::vector<Poi> pois;
  for (int i = 0; i < 600; ++i) {
    const auto& centre = centres[i % 5];
    double longitude = centre[0] + spread(random);
    if (longitude > 180) longitude -= 360;
    if (longitude < -180) longitude += 360;
    pois.push_back({u"P", Degrees(longitude), Degrees(std::clamp(centre[1] + spread(random) / 4, -90.0, 90.0))});
  }
  PoiDocument document = DocumentWith(pois);
  std::vector<std::vector<std::int32_t>> expected;  // per group: row A, then each near row and its distance
  for (int a = 0; a < document.rowCount(); ++a) {
    std::vector<std::int32_t> group{a};
    for (int b = a + 1; b < document.rowCount(); ++b) {
      const std::int32_t distance = DistanceBetween(document, a, b);
      if (distance <= 20000) group.insert(group.end(), {b, distance});
    }
    if (group.size() > 1) expected.push_back(group);
  }
  std::vector<std::vector<std::int32_t>> shown;
  CheckRun run(document, Checks(false, true, false, 20000));
  for (CheckOutcome outcome = run.start(document, nullptr); outcome == CheckOutcome::GroupFound;
       outcome = run.continueCheck(document, nullptr)) {
    std::vector<std::int32_t> group;
    for (const CheckResult& result : run.results()) {
      group.push_back(RowOfId(document, result.id));
      if (result.distance != kBaseRowKey) group.push_back(result.distance);
    }
    shown.push_back(group);
  }
  EXPECT_GT(expected.size(), 100u);
  EXPECT_EQ(shown, expected);
}

// The same for names: empty, short and long, with case, width and punctuation differences.
TEST(PoiChecks, SimilarGroupsMatchComparingEveryPair) {
  std::mt19937 random(11);
  const std::u16string letters = u"abAB-ｂ ";
  std::vector<Poi> pois;
  for (int i = 0; i < 400; ++i) {
    std::u16string name;
    for (std::size_t length = random() % 6; name.size() < length;) name += letters[random() % letters.size()];
    pois.push_back({name, u"", u""});
  }
  PoiDocument document = DocumentWith(pois);
  std::vector<std::vector<int>> expected;
  for (int a = 0; a < document.rowCount(); ++a) {
    std::vector<int> group{a};
    for (int b = a + 1; b < document.rowCount(); ++b) {
      if (SimilarNames(document.text(a, kName), document.text(b, kName))) group.push_back(b);
    }
    if (group.size() > 1) expected.push_back(group);
  }
  std::vector<std::vector<int>> shown;
  CheckRun run(document, Checks(true, false, false));
  for (CheckOutcome outcome = run.start(document, nullptr); outcome == CheckOutcome::GroupFound;
       outcome = run.continueCheck(document, nullptr)) {
    std::vector<int> group;
    for (const CheckResult& result : run.results()) group.push_back(RowOfId(document, result.id));
    shown.push_back(group);
  }
  EXPECT_GT(expected.size(), 100u);
  EXPECT_EQ(shown, expected);
}

// Rows one kilometre apart on a grid: a check that compared every pair would not finish here.
TEST(PoiChecks, NearDistancesAvoidComparingEveryPair) {
  std::vector<Poi> grid;
  for (int i = 0; i < 300; ++i) {
    for (int j = 0; j < 300; ++j) {
      auto degrees = [](double value) {
        const std::string text = std::to_string(value);
        return std::u16string(text.begin(), text.end());
      };
      grid.push_back({u"P", degrees(5 + i * 0.01), degrees(45 + j * 0.009)});
    }
  }
  PoiDocument document = DocumentWith(grid);
  CheckRun run(document, Checks(false, true, false, 500));
  EXPECT_EQ(run.start(document, nullptr), CheckOutcome::Finished);
}

}  // namespace
}  // namespace qf
