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

namespace qf {

namespace {

constexpr double kEarthRadiusMetres = 6378137.527506568;
constexpr double kDegreesPerRadian = 57.29577951308232;

std::u16string FoldCase(std::u16string_view text) {
  std::u16string folded(text.size() * 3 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), text.data(),
                                       static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
  folded.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
  return folded;
}

// The user locale's comparison that ignores case, width, kana type, punctuation and symbols:
// secondary strength drops the tertiary differences, shifted variables drop the symbols.
const icu::Collator* NameCollator() {
  static const std::unique_ptr<icu::Collator> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(icu::Collator::createInstance(icu::Locale::getDefault(), status));
    if (U_FAILURE(status)) return std::unique_ptr<icu::Collator>();
    c->setStrength(icu::Collator::SECONDARY);
    c->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, status);
    c->setMaxVariable(UCOL_REORDER_CODE_CURRENCY, status);
    return U_SUCCESS(status) ? std::move(c) : std::unique_ptr<icu::Collator>();
  }();
  return collator.get();
}

std::string NameKey(std::u16string_view name) {
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

bool FoldedSimilar(std::u16string_view a, std::u16string_view b) {
  return a.size() <= b.size() ? b.find(a) != std::u16string_view::npos : a.find(b) != std::u16string_view::npos;
}

std::unordered_map<RowId, int> RowsById(const PoiDocument& document) {
  std::unordered_map<RowId, int> rows;
  rows.reserve(document.rows.size());
  for (int row = 0; row < document.rowCount(); ++row) rows.emplace(document.rows[static_cast<std::size_t>(row)].id(), row);
  return rows;
}

int Find(const std::unordered_map<RowId, int>& rows, RowId id) {
  const auto found = rows.find(id);
  return found == rows.end() ? -1 : found->second;
}

double LatitudeOf(const PoiDocument& document, int row) {
  if (document.text(row, kLng).empty() || document.text(row, kLat).empty()) return std::nan("");
  return CoordinateToDegrees(document.text(row, kLat), document.display);
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

bool SimilarNames(std::u16string_view a, std::u16string_view b) {
  return FoldedSimilar(FoldCase(a), FoldCase(b)) || NameKey(a) == NameKey(b);
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
  const std::unordered_map<RowId, int> rows = RowsById(document);
  sortColumn_ = -1;
  sortAscending_ = true;
  while (stage_ != CheckStage::Finished) {
    bool found = false;
    switch (stage_) {
      case CheckStage::EmptyCoordinates:
        found = settings_.emptyCoordinates && findEmptyCoordinates(document, rows);
        break;
      case CheckStage::NearDistances:
        if (!settings_.nearDistances) break;
        prepareNearIndex(document, rows);
        for (; position_ < static_cast<int>(list_.size()) && !found; ++position_) {
          found = findNearRows(document, rows);
          if (poll && poll(stage_)) return CheckOutcome::Cancelled;
        }
        break;
      case CheckStage::SimilarNames:
        if (!settings_.similarNames) break;
        prepareNameKeys(document, rows);
        for (; position_ < static_cast<int>(list_.size()) && !found; ++position_) {
          found = findSimilarNames(document, rows);
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

bool CheckRun::findEmptyCoordinates(const PoiDocument& document, const std::unordered_map<RowId, int>& rows) {
  for (const RowId id : list_) {
    const int row = Find(rows, id);
    if (row >= 0 && (document.text(row, kLng).empty() || document.text(row, kLat).empty())) {
      addResult(document, row, kNoDistance);
    }
  }
  return !results_.empty();
}

void CheckRun::prepareNearIndex(const PoiDocument& document, const std::unordered_map<RowId, int>& rows) {
  if (!nearIndexStale_) return;
  latitudeOf_.assign(list_.size(), std::nan(""));
  byLatitude_.clear();
  for (std::size_t index = 0; index < list_.size(); ++index) {
    const int row = Find(rows, list_[index]);
    if (row < 0) continue;
    latitudeOf_[index] = LatitudeOf(document, row);
    if (!std::isnan(latitudeOf_[index])) byLatitude_.push_back({latitudeOf_[index], static_cast<int>(index)});
  }
  std::sort(byLatitude_.begin(), byLatitude_.end(),
            [](const Located& a, const Located& b) { return a.latitude < b.latitude; });
  nearIndexStale_ = false;
}

// Two points are at least the earth's radius times their latitude difference apart, so only rows
// in that band can be near; a little more covers truncation and rounding.
bool CheckRun::findNearRows(const PoiDocument& document, const std::unordered_map<RowId, int>& rows) {
  const double latitude = latitudeOf_[static_cast<std::size_t>(position_)];
  if (std::isnan(latitude) || list_[static_cast<std::size_t>(position_)] == 0) return false;
  const int rowA = Find(rows, list_[static_cast<std::size_t>(position_)]);
  if (rowA < 0) return false;
  const double band = (settings_.thresholdMetres + 2.0) / kEarthRadiusMetres * kDegreesPerRadian + 1e-5;
  auto first = std::lower_bound(byLatitude_.begin(), byLatitude_.end(), latitude - band,
                                [](const Located& a, double value) { return a.latitude < value; });
  std::vector<std::pair<int, std::int32_t>> near;  // list index, distance
  for (auto it = first; it != byLatitude_.end() && it->latitude <= latitude + band; ++it) {
    if (it->listIndex <= position_) continue;
    const int rowB = Find(rows, list_[static_cast<std::size_t>(it->listIndex)]);
    if (rowB < 0) continue;
    const std::int32_t distance = DistanceBetween(document, rowA, rowB);
    if (distance <= settings_.thresholdMetres) near.emplace_back(it->listIndex, distance);
  }
  if (near.empty()) return false;
  std::sort(near.begin(), near.end());
  addResult(document, rowA, kBaseRowKey);
  for (const auto& [index, distance] : near) {
    addResult(document, Find(rows, list_[static_cast<std::size_t>(index)]), distance);
  }
  return true;
}

void CheckRun::prepareNameKeys(const PoiDocument& document, const std::unordered_map<RowId, int>& rows) {
  if (!nameKeysStale_) return;
  foldedNames_.assign(list_.size(), {});
  nameKeys_.assign(list_.size(), {});
  for (std::size_t index = 0; index < list_.size(); ++index) {
    const int row = Find(rows, list_[index]);
    if (row < 0) continue;
    foldedNames_[index] = FoldCase(document.text(row, kName));
    nameKeys_[index] = NameKey(document.text(row, kName));
  }
  nameKeysStale_ = false;
}

bool CheckRun::findSimilarNames(const PoiDocument& document, const std::unordered_map<RowId, int>& rows) {
  const auto a = static_cast<std::size_t>(position_);
  const int rowA = list_[a] == 0 ? -1 : Find(rows, list_[a]);
  if (rowA < 0) return false;
  std::vector<int> similar;
  for (std::size_t b = a + 1; b < list_.size(); ++b) {
    if (list_[b] == 0) continue;
    if (FoldedSimilar(foldedNames_[a], foldedNames_[b]) || nameKeys_[a] == nameKeys_[b]) {
      const int rowB = Find(rows, list_[b]);
      if (rowB >= 0) similar.push_back(rowB);
    }
  }
  if (similar.empty()) return false;
  addResult(document, rowA, kNoDistance);
  for (const int row : similar) addResult(document, row, kNoDistance);
  return true;
}

void CheckRun::addResult(const PoiDocument& document, int row, std::int32_t distance) {
  CheckResult result{document.rows[static_cast<std::size_t>(row)].id(), {}, distance};
  for (int column = kName; column <= kMemo; ++column) result.texts[column] = document.text(row, column);
  results_.push_back(std::move(result));
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
  const std::unordered_map<RowId, int> rows = RowsById(document);
  std::vector<int> found;
  for (const int index : resultIndices) {
    const int row = Find(rows, results_[static_cast<std::size_t>(index)].id);
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
  const auto reference = std::find_if(results_.begin(), results_.end(),
                                      [](const CheckResult& r) { return r.distance == kBaseRowKey; });
  if (reference == results_.end()) return;
  if (reference->id == id) {
    const std::unordered_map<RowId, int> rows = RowsById(document);
    for (CheckResult& other : results_) {
      if (other.id == id) continue;
      const int otherRow = Find(rows, other.id);
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
  const auto result =
      std::find_if(results_.begin(), results_.end(), [id](const CheckResult& r) { return r.id == id; });
  if (result == results_.end()) return;
  const bool reference = stage_ == CheckStage::NearDistances && result->distance == kBaseRowKey;
  results_.erase(result);
  if (reference) {
    for (CheckResult& other : results_) other.distance = kNoDistance;
  }
}

void CheckRun::rowsSwapped(const PoiDocument& document, int rowA, int rowB) {
  const auto a = listIndex_.find(document.rows[static_cast<std::size_t>(rowA)].id());
  const auto b = listIndex_.find(document.rows[static_cast<std::size_t>(rowB)].id());
  if (a == listIndex_.end() || b == listIndex_.end()) return;
  std::swap(list_[static_cast<std::size_t>(a->second)], list_[static_cast<std::size_t>(b->second)]);
  std::swap(a->second, b->second);
  nearIndexStale_ = nameKeysStale_ = true;
}

void CheckRun::displayOptionsChanged(const PoiDocument& document) {
  const std::unordered_map<RowId, int> rows = RowsById(document);
  for (CheckResult& result : results_) {
    const int row = Find(rows, result.id);
    if (row < 0) continue;
    result.texts[kLng] = document.text(row, kLng);
    result.texts[kLat] = document.text(row, kLat);
  }
  nearIndexStale_ = true;
}

}  // namespace qf
