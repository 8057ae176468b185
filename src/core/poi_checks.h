#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/poi_document.h"
#include "core/substring_automaton.h"

namespace qf {

// The stages run from the highest number down.
enum class CheckStage : int { Finished = -1, SimilarNames = 0, NearDistances = 1, EmptyCoordinates = 2 };

// The results window's title and the status text while a stage runs; the text when all are through.
const char* CheckTitle(CheckStage stage);
const char* CheckStatusText(CheckStage stage);
inline constexpr const char* kCheckFinishedText = "Finished checking the POI data";

// The check dialog's choices; they live as long as the program runs.
struct CheckSettings {
  bool similarNames = true;
  bool nearDistances = true;
  bool emptyCoordinates = true;
  std::u16string distanceNumber = u"10";
  bool largeUnit = false;  // "km" or "mi" instead of "m" or "ft"
  std::int32_t thresholdMetres = 10;
};

// Which check boxes the dialog offers for a document.
struct CheckChoices {
  bool similarNames;
  bool nearDistances;
  bool emptyCoordinates;
};
CheckChoices AvailableChecks(const PoiDocument& document);

// Metres, truncated, for a distance number in a unit; saturates below kNoDistance.
enum class DistanceUnit { Kilometre, Metre, Mile, Foot };
std::int32_t ThresholdMetres(double number, DistanceUnit unit);
// The dialog's distance number (cleaned, decimal digits only) in the unit its buttons offer;
// nothing when the text is not such a number.
std::optional<std::int32_t> ParseThreshold(std::u16string_view number, bool metric, bool largeUnit);

// Names that the similar-names stage lists together: the shorter occurs in the longer ignoring case,
// or their keys are equal.
bool SimilarNames(std::u16string_view a, std::u16string_view b);
// Equal for names that compare equal under the user locale ignoring case, symbols, kana type and width.
std::string SimilarNameKey(std::u16string_view name);

struct CheckResult {
  RowId id = 0;
  std::array<std::u16string, 5> texts;  // Name, Lng, Lat, Tel, Memo as the table showed them
  std::int32_t distance = kNoDistance;  // kBaseRowKey for the reference row of a near-distance group
};

enum class CheckOutcome { GroupFound, Finished, Cancelled };

// Asked after every row of a long stage with the running stage; true stops the whole check.
using CheckPoll = std::function<bool(CheckStage)>;

// One check from the dialog's OK to its end. The caller tells it about every edit of the table
// while it lives, so that the list of rows and the shown results stay true.
class CheckRun {
 public:
  CheckRun(const PoiDocument& document, const CheckSettings& settings);

  // The first stage, from its start.
  CheckOutcome start(const PoiDocument& document, const CheckPoll& poll);
  // "&Continue": the near-distance stage after the empty coordinates, otherwise the next row.
  CheckOutcome continueCheck(const PoiDocument& document, const CheckPoll& poll);

  CheckStage stage() const { return stage_; }
  int position() const { return position_; }
  const std::vector<CheckResult>& results() const { return results_; }
  // The Distance cell of a result.
  std::u16string distanceText(const CheckResult& result, bool metric) const;

  // The table rows of the chosen results, last row first, for the caller to delete one by one;
  // each deletion comes back through rowDeleted.
  std::vector<int> rowsOfResults(const PoiDocument& document, const std::vector<int>& resultIndices) const;

  // Sorts the results as a click on a column header does.
  void sortByColumn(const PoiDocument& document, int column);
  int sortColumn() const { return sortColumn_; }
  bool sortAscending() const { return sortAscending_; }

  // Following the table. A deleted row is named by its id, so the call may come before or after
  // the row leaves the document.
  void rowChanged(const PoiDocument& document, int row, int column);
  void rowDeleted(const PoiDocument& document, RowId id);
  // Move Up or Down traded the texts of two rows (their ids stay in place).
  void rowsSwapped(const PoiDocument& document, int rowA, int rowB);
  void displayOptionsChanged(const PoiDocument& document);

 private:
  CheckOutcome search(const PoiDocument& document, const CheckPoll& poll);
  bool findEmptyCoordinates(const PoiDocument& document);
  bool findNearRows(const PoiDocument& document);
  bool findSimilarNames(const PoiDocument& document);
  void prepareNearIndex(const PoiDocument& document);
  void prepareNameKeys(const PoiDocument& document);
  void addResult(const PoiDocument& document, int row, std::int32_t distance);
  CheckResult* resultOf(RowId id);
  // The table row of a listed id, -1 when it is gone.
  int rowOf(const PoiDocument& document, RowId id) const;
  void nextStage();

  CheckSettings settings_;
  std::vector<RowId> list_;                       // 0 marks a row deleted since the start
  mutable std::unordered_map<RowId, int> rowOf_;  // remade when the table's rows have shifted
  std::unordered_map<RowId, int> listIndex_;
  CheckStage stage_ = CheckStage::Finished;
  int position_ = 0;
  std::vector<CheckResult> results_;
  int sortColumn_ = -1;
  bool sortAscending_ = true;

  // Rows with both coordinates on a grid of latitude bands as wide as the threshold, each band
  // ordered by longitude, so that a row's near rows lie in three short runs.
  struct Located {
    std::int64_t band;
    double longitude;
    int listIndex;
  };
  struct Position {
    double longitude;
    double latitude;  // NaN without both coordinates
  };
  std::vector<Located> grid_;
  std::vector<Position> positions_;  // by list index
  double bandDegrees_ = 0;
  bool nearIndexStale_ = true;
  // Case-folded names and locale sort keys by list index; which rows have each distinct folded
  // name and which rows' names contain it, so that a name finds its similar names without
  // reading every other name.
  std::vector<std::u16string> foldedNames_;
  std::vector<std::string> nameKeys_;
  std::unordered_map<std::string_view, std::vector<int>> byKey_;
  std::vector<int> distinctName_;                 // by list index, -1 for a deleted row
  std::vector<std::vector<int>> withName_;        // by distinct name: list indices, ascending
  std::vector<std::vector<int>> containingName_;  // by distinct name: list indices, ascending
  SubstringAutomaton nameAutomaton_;              // over the distinct names
  bool nameKeysStale_ = true;
};

// The table row of an id; -1 when the row is gone.
int RowOfId(const PoiDocument& document, RowId id);

}  // namespace qf
