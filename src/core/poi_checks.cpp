#include "core/poi_checks.h"

#include <unicode/coll.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "core/coordinates.h"
#include "core/distances.h"
#include "core/field_rules.h"
#include "core/unicode.h"

namespace qf {

namespace {

// The user locale's comparison that ignores case, width, kana type, punctuation and symbols:
// secondary strength drops the tertiary differences, shifted variables drop the symbols. The POSIX
// locale orders punctuation as letters, so a user without a locale gets the root order.
const icu::Collator* NameCollator() {
  static const std::unique_ptr<icu::Collator> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale = icu::Locale::getDefault();
    if (std::string_view(locale.getVariant()) == "POSIX") locale = icu::Locale::getRoot();
    std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status)) return std::unique_ptr<icu::Collator>();
    c->setStrength(icu::Collator::SECONDARY);
    c->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, status);
    c->setMaxVariable(UCOL_REORDER_CODE_CURRENCY, status);
    return U_SUCCESS(status) ? std::move(c) : std::unique_ptr<icu::Collator>();
  }();
  return collator.get();
}

bool FoldedSimilar(std::u16string_view a, std::u16string_view b) {
  return a.size() <= b.size() ? b.find(a) != std::u16string_view::npos : a.find(b) != std::u16string_view::npos;
}

std::int64_t BandOf(double latitude, double bandDegrees) {
  return static_cast<std::int64_t>(std::floor(latitude / bandDegrees));
}

// Digit runs by their value, other text without regard to case; exact comparison breaks ties.
int CompareLogical(std::u16string_view a, std::u16string_view b) {
  auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      std::size_t endA = i, endB = j;
      while (endA < a.size() && isDigit(a[endA])) ++endA;
      while (endB < b.size() && isDigit(b[endB])) ++endB;
      std::u16string_view runA = a.substr(i, endA - i), runB = b.substr(j, endB - j);
      while (runA.size() > 1 && runA[0] == u'0') runA.remove_prefix(1);
      while (runB.size() > 1 && runB[0] == u'0') runB.remove_prefix(1);
      if (runA.size() != runB.size()) return runA.size() < runB.size() ? -1 : 1;
      if (const int order = runA.compare(runB)) return order;
      i = endA, j = endB;
      continue;
    }
    const UChar32 ca = u_foldCase(a[i], U_FOLD_CASE_DEFAULT), cb = u_foldCase(b[j], U_FOLD_CASE_DEFAULT);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i, ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b);
}

// Empty coordinates sort before every value.
int CompareCoordinate(std::u16string_view a, std::u16string_view b, const DisplayOptions& options) {
  if (a.empty() || b.empty()) return static_cast<int>(!a.empty()) - static_cast<int>(!b.empty());
  const double x = CoordinateToDegrees(a, options), y = CoordinateToDegrees(b, options);
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

const char* CheckTitle(CheckStage stage) {
  switch (stage) {
    case CheckStage::EmptyCoordinates:
      return "Empty Coordinates of POIs";
    case CheckStage::NearDistances:
      return "Near Distances of POIs";
    default:
      return "Similar Names of POIs";
  }
}

const char* CheckStatusText(CheckStage stage) {
  switch (stage) {
    case CheckStage::EmptyCoordinates:
      return "Checking the empty coordinates of POIs, press Esc to stop...";
    case CheckStage::NearDistances:
      return "Checking the near distances of POIs, press Esc to stop...";
    default:
      return "Checking the similar names of POIs, press Esc to stop...";
  }
}

CheckChoices AvailableChecks(const PoiDocument& document) {
  const bool twoRows = document.rowCount() >= 2;
  return {twoRows && document.kind != DocumentKind::SafetyCamera, twoRows && document.kind != DocumentKind::Phonebook,
          document.kind != DocumentKind::Phonebook};
}

std::int32_t ThresholdMetres(double number, DistanceUnit unit) {
  static constexpr double kMetresPer[] = {1000, 1, 1609.344, 0.3048};
  const double metres = std::trunc(number * kMetresPer[static_cast<int>(unit)]);
  if (!(metres >= 0)) return 0;
  return metres < kNoDistance ? static_cast<std::int32_t>(metres) : kNoDistance - 1;
}

std::optional<std::int32_t> ParseThreshold(std::u16string_view number, bool metric, bool largeUnit) {
  std::u16string text(number);
  CleanText(text);
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
    return std::nullopt;
  }
  double value = 0;
  for (char16_t c : text) value = value * 10 + (c - u'0');
  const DistanceUnit unit = metric ? (largeUnit ? DistanceUnit::Kilometre : DistanceUnit::Metre)
                                   : (largeUnit ? DistanceUnit::Mile : DistanceUnit::Foot);
  return ThresholdMetres(value, unit);
}

std::string SimilarNameKey(std::u16string_view name) {
  const icu::Collator* collator = NameCollator();
  if (!collator) {
    const std::u16string folded = FoldCase(name);
    return std::string(reinterpret_cast<const char*>(folded.data()), folded.size() * 2);
  }
  const icu::UnicodeString text(false, name.data(), static_cast<int32_t>(name.size()));
  std::string key(64, '\0');
  for (;;) {
    const int32_t size =
        collator->getSortKey(text, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (size <= static_cast<int32_t>(key.size())) {
      key.resize(static_cast<std::size_t>(size));
      return key;
    }
    key.resize(static_cast<std::size_t>(size));
  }
}

bool SimilarNames(std::u16string_view a, std::u16string_view b) {
  return FoldedSimilar(FoldCase(a), FoldCase(b)) || SimilarNameKey(a) == SimilarNameKey(b);
}

int RowOfId(const PoiDocument& document, RowId id) {
  const auto found = std::find_if(document.rows.begin(), document.rows.end(),
                                  [id](const PoiRecord& record) { return record.id() == id; });
  return found == document.rows.end() ? -1 : static_cast<int>(found - document.rows.begin());
}

CheckRun::CheckRun(const PoiDocument& document, const CheckSettings& settings) : settings_(settings) {
  list_.reserve(document.rows.size());
  listIndex_.reserve(document.rows.size());
  for (const PoiRecord& record : document.rows) {
    listIndex_.emplace(record.id(), static_cast<int>(list_.size()));
    list_.push_back(record.id());
  }
}

CheckOutcome CheckRun::start(const PoiDocument& document, const CheckPoll& poll) {
  stage_ = CheckStage::EmptyCoordinates;
  position_ = 0;
  return search(document, poll);
}

CheckOutcome CheckRun::continueCheck(const PoiDocument& document, const CheckPoll& poll) {
  results_.clear();
  if (stage_ == CheckStage::EmptyCoordinates) {
    nextStage();
  } else {
    ++position_;
  }
  return search(document, poll);
}

void CheckRun::nextStage() {
  stage_ = static_cast<CheckStage>(static_cast<int>(stage_) - 1);
  position_ = 0;
}

CheckOutcome CheckRun::search(const PoiDocument& document, const CheckPoll& poll) {
  sortColumn_ = -1;
  sortAscending_ = true;
  while (stage_ != CheckStage::Finished) {
    bool found = false;
    switch (stage_) {
      case CheckStage::EmptyCoordinates:
        found = settings_.emptyCoordinates && findEmptyCoordinates(document);
        break;
      case CheckStage::NearDistances:
        if (!settings_.nearDistances) break;
        prepareNearIndex(document);
        for (; position_ < static_cast<int>(list_.size()) && !found; ++position_) {
          found = findNearRows(document);
          if (poll && poll(stage_)) return CheckOutcome::Cancelled;
        }
        break;
      case CheckStage::SimilarNames:
        if (!settings_.similarNames) break;
        prepareNameKeys(document);
        for (; position_ < static_cast<int>(list_.size()) && !found; ++position_) {
          found = findSimilarNames(document);
          if (poll && poll(stage_)) return CheckOutcome::Cancelled;
        }
        break;
      case CheckStage::Finished:
        break;
    }
    if (found) {
      if (stage_ != CheckStage::EmptyCoordinates) --position_;  // the loop stepped past the shown row
      return CheckOutcome::GroupFound;
    }
    nextStage();
  }
  return CheckOutcome::Finished;
}

bool CheckRun::findEmptyCoordinates(const PoiDocument& document) {
  for (const RowId id : list_) {
    const int row = id == 0 ? -1 : rowOf(document, id);
    if (row >= 0 && (document.text(row, kLng).empty() || document.text(row, kLat).empty())) {
      addResult(document, row, kNoDistance);
    }
  }
  return !results_.empty();
}

void CheckRun::prepareNearIndex(const PoiDocument& document) {
  if (!nearIndexStale_) return;
  bandDegrees_ = NearReachDegrees(settings_.thresholdMetres);
  positions_.assign(list_.size(), {0, std::nan("")});
  grid_.clear();
  for (std::size_t index = 0; index < list_.size(); ++index) {
    const int row = rowOf(document, list_[index]);
    if (row < 0 || document.text(row, kLng).empty() || document.text(row, kLat).empty()) continue;
    const Position position{CoordinateToDegrees(document.text(row, kLng), document.display),
                            CoordinateToDegrees(document.text(row, kLat), document.display)};
    positions_[index] = position;
    grid_.push_back({BandOf(position.latitude, bandDegrees_), position.longitude, static_cast<int>(index)});
  }
  std::sort(grid_.begin(), grid_.end(), [](const Located& a, const Located& b) {
    return a.band != b.band ? a.band < b.band : a.longitude < b.longitude;
  });
  nearIndexStale_ = false;
}

bool CheckRun::findNearRows(const PoiDocument& document) {
  const Position a = positions_[static_cast<std::size_t>(position_)];
  const RowId id = list_[static_cast<std::size_t>(position_)];
  const int rowA = id == 0 || std::isnan(a.latitude) ? -1 : rowOf(document, id);
  if (rowA < 0) return false;
  std::vector<std::pair<int, std::int32_t>> near;  // list index, distance
  auto visit = [&](std::int64_t band, double west, double east) {
    auto it =
        std::lower_bound(grid_.begin(), grid_.end(), std::pair(band, west), [](const Located& l, const auto& key) {
          return l.band != key.first ? l.band < key.first : l.longitude < key.second;
        });
    for (; it != grid_.end() && it->band == band && it->longitude <= east; ++it) {
      if (it->listIndex <= position_) continue;
      const int rowB = rowOf(document, list_[static_cast<std::size_t>(it->listIndex)]);
      if (rowB < 0) continue;
      const std::int32_t distance = DistanceBetween(document, rowA, rowB);
      if (distance <= settings_.thresholdMetres) near.emplace_back(it->listIndex, distance);
    }
  };
  const double reach = LongitudeReach(a.latitude, bandDegrees_);
  const std::int64_t band = BandOf(a.latitude, bandDegrees_);
  for (std::int64_t b = band - 1; b <= band + 1; ++b) {
    if (reach >= 180) {
      visit(b, -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity());
      continue;
    }
    visit(b, a.longitude - reach, a.longitude + reach);
    if (a.longitude - reach < -180) visit(b, a.longitude - reach + 360, 180);
    if (a.longitude + reach > 180) visit(b, -180, a.longitude + reach - 360);
  }
  if (near.empty()) return false;
  std::sort(near.begin(), near.end());
  addResult(document, rowA, kBaseRowKey);
  for (const auto& [index, distance] : near) {
    addResult(document, rowOf(document, list_[static_cast<std::size_t>(index)]), distance);
  }
  return true;
}

void CheckRun::prepareNameKeys(const PoiDocument& document) {
  if (!nameKeysStale_) return;
  foldedNames_.assign(list_.size(), {});
  nameKeys_.assign(list_.size(), {});
  distinctName_.assign(list_.size(), -1);
  byKey_.clear();
  std::unordered_map<std::u16string_view, int> numberOf;
  std::vector<std::u16string_view> distinct;
  withName_.clear();
  std::vector<std::size_t> present;
  for (std::size_t index = 0; index < list_.size(); ++index) {
    const int row = list_[index] == 0 ? -1 : rowOf(document, list_[index]);
    if (row < 0) continue;
    present.push_back(index);
    foldedNames_[index] = FoldCase(document.text(row, kName));
    nameKeys_[index] = SimilarNameKey(document.text(row, kName));
  }
  // The views below point into the strings above, which stay in place until the next rebuild.
  for (const std::size_t index : present) {
    const auto [found, added] = numberOf.try_emplace(foldedNames_[index], static_cast<int>(distinct.size()));
    if (added) {
      distinct.push_back(found->first);
      withName_.emplace_back();
    }
    distinctName_[index] = found->second;
    withName_[static_cast<std::size_t>(found->second)].push_back(static_cast<int>(index));
    byKey_[nameKeys_[index]].push_back(static_cast<int>(index));
  }
  nameAutomaton_ = SubstringAutomaton(distinct);
  containingName_.assign(distinct.size(), {});
  for (const std::size_t index : present) {
    nameAutomaton_.scan(foldedNames_[index], [&](int name) {
      std::vector<int>& containing = containingName_[static_cast<std::size_t>(name)];
      if (containing.empty() || containing.back() != static_cast<int>(index)) {
        containing.push_back(static_cast<int>(index));
      }
    });
  }
  nameKeysStale_ = false;
}

// The later rows whose names contain A's name, are contained in it, or equal it in the locale's
// comparison.
bool CheckRun::findSimilarNames(const PoiDocument& document) {
  const auto a = static_cast<std::size_t>(position_);
  const int rowA = list_[a] == 0 ? -1 : rowOf(document, list_[a]);
  if (rowA < 0 || distinctName_[a] < 0) return false;
  std::vector<int> similar;
  auto addLater = [&](const std::vector<int>& indices) {
    similar.insert(similar.end(), std::upper_bound(indices.begin(), indices.end(), position_), indices.end());
  };
  if (const auto found = byKey_.find(nameKeys_[a]); found != byKey_.end()) addLater(found->second);
  addLater(containingName_[static_cast<std::size_t>(distinctName_[a])]);
  nameAutomaton_.scan(foldedNames_[a], [&](int name) { addLater(withName_[static_cast<std::size_t>(name)]); });
  std::sort(similar.begin(), similar.end());
  similar.erase(std::unique(similar.begin(), similar.end()), similar.end());
  std::vector<int> similarRows;
  for (const int b : similar) {
    const RowId id = list_[static_cast<std::size_t>(b)];
    const int row = id == 0 ? -1 : rowOf(document, id);
    if (row >= 0) similarRows.push_back(row);
  }
  if (similarRows.empty()) return false;
  addResult(document, rowA, kNoDistance);
  for (const int row : similarRows) addResult(document, row, kNoDistance);
  return true;
}

void CheckRun::addResult(const PoiDocument& document, int row, std::int32_t distance) {
  CheckResult result{document.rows[static_cast<std::size_t>(row)].id(), {}, distance};
  for (int column = kName; column <= kMemo; ++column) result.texts[column] = document.text(row, column);
  results_.push_back(std::move(result));
}

int CheckRun::rowOf(const PoiDocument& document, RowId id) const {
  auto valid = [&](auto found) {
    return found != rowOf_.end() && found->second < document.rowCount() &&
           document.rows[static_cast<std::size_t>(found->second)].id() == id;
  };
  if (const auto found = rowOf_.find(id); valid(found)) return found->second;
  // Rows were inserted, deleted or moved since the map was made.
  rowOf_.clear();
  rowOf_.reserve(document.rows.size());
  for (int row = 0; row < document.rowCount(); ++row)
    rowOf_.emplace(document.rows[static_cast<std::size_t>(row)].id(), row);
  const auto found = rowOf_.find(id);
  return valid(found) ? found->second : -1;
}

CheckResult* CheckRun::resultOf(RowId id) {
  const auto found =
      std::find_if(results_.begin(), results_.end(), [id](const CheckResult& result) { return result.id == id; });
  return found == results_.end() ? nullptr : &*found;
}

std::u16string CheckRun::distanceText(const CheckResult& result, bool metric) const {
  if (result.distance == kNoDistance || result.distance == kBaseRowKey) return {};
  return FormatDistance(result.distance, metric);
}

std::vector<int> CheckRun::rowsOfResults(const PoiDocument& document, const std::vector<int>& resultIndices) const {
  std::vector<int> found;
  for (const int index : resultIndices) {
    const int row = rowOf(document, results_[static_cast<std::size_t>(index)].id);
    if (row >= 0) found.push_back(row);
  }
  std::sort(found.begin(), found.end(), std::greater<>());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

void CheckRun::sortByColumn(const PoiDocument& document, int column) {
  if (column == sortColumn_) sortAscending_ = !sortAscending_;
  sortColumn_ = column;
  const DisplayOptions& options = document.display;
  auto compare = [&](const CheckResult& a, const CheckResult& b) {
    if (column == kDistance) return a.distance < b.distance ? -1 : (a.distance > b.distance ? 1 : 0);
    if (column == kLng || column == kLat) return CompareCoordinate(a.texts[column], b.texts[column], options);
    return CompareLogical(a.texts[column], b.texts[column]);
  };
  std::stable_sort(results_.begin(), results_.end(), [&](const CheckResult& a, const CheckResult& b) {
    return sortAscending_ ? compare(a, b) < 0 : compare(b, a) < 0;
  });
}

void CheckRun::rowChanged(const PoiDocument& document, int row, int column) {
  const RowId id = document.rows[static_cast<std::size_t>(row)].id();
  if (!listIndex_.contains(id) || column < kName || column > kMemo) return;
  if (column == kName) nameKeysStale_ = true;
  if (column == kLng || column == kLat) nearIndexStale_ = true;
  CheckResult* result = resultOf(id);
  if (!result) return;
  result->texts[column] = document.text(row, column);
  if (stage_ != CheckStage::NearDistances || (column != kLng && column != kLat)) return;
  const auto reference =
      std::find_if(results_.begin(), results_.end(), [](const CheckResult& r) { return r.distance == kBaseRowKey; });
  if (reference == results_.end()) return;
  if (reference->id == id) {
    for (CheckResult& other : results_) {
      if (other.id == id) continue;
      const int otherRow = rowOf(document, other.id);
      other.distance = otherRow < 0 ? kNoDistance : DistanceBetween(document, row, otherRow);
    }
  } else {
    const int referenceRow = RowOfId(document, reference->id);
    result->distance = referenceRow < 0 ? kNoDistance : DistanceBetween(document, referenceRow, row);
  }
}

void CheckRun::rowDeleted(const PoiDocument& /*document*/, RowId id) {
  const auto found = listIndex_.find(id);
  if (found == listIndex_.end()) return;
  // The place stays, empty, so positions of the other rows keep their meaning.
  list_[static_cast<std::size_t>(found->second)] = 0;
  listIndex_.erase(found);
  const auto result = std::find_if(results_.begin(), results_.end(), [id](const CheckResult& r) { return r.id == id; });
  if (result == results_.end()) return;
  const bool reference = stage_ == CheckStage::NearDistances && result->distance == kBaseRowKey;
  results_.erase(result);
  if (reference) {
    for (CheckResult& other : results_) other.distance = kNoDistance;
  }
}

// Moving a row swaps the texts of two rows, not their ids: the list, which holds the ids in table
// order, stays in table order, and the results go with their texts to the other id.
void CheckRun::rowsSwapped(const PoiDocument& document, int rowA, int rowB) {
  const RowId idA = document.rows[static_cast<std::size_t>(rowA)].id();
  const RowId idB = document.rows[static_cast<std::size_t>(rowB)].id();
  for (CheckResult& result : results_) {
    if (result.id == idA || result.id == idB) result.id = result.id == idA ? idB : idA;
  }
  if (listIndex_.contains(idA) || listIndex_.contains(idB)) nearIndexStale_ = nameKeysStale_ = true;
}

void CheckRun::displayOptionsChanged(const PoiDocument& document) {
  for (CheckResult& result : results_) {
    const int row = rowOf(document, result.id);
    if (row < 0) continue;
    result.texts[kLng] = document.text(row, kLng);
    result.texts[kLat] = document.text(row, kLat);
  }
  nearIndexStale_ = true;
}

}  // namespace qf
