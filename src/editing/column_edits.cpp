#include "editing/column_edits.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"

namespace qf {

namespace {

constexpr std::u16string_view kAddressMarker = u"=>";

// The rows an operation works on: the selected rows when some but not all are selected, else
// every row; never a My Base Point row.
std::vector<int> RowScope(const PoiDocument& document) {
  const auto selected = std::ranges::count_if(document.rows, &PoiRecord::selected);
  const bool onlySelected = selected > 0 && selected < document.rowCount();
  std::vector<int> rows;
  for (int row = document.basePointPinned ? 1 : 0; row < document.rowCount(); ++row) {
    if (!onlySelected || document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
  }
  return rows;
}

int ColumnOf(CombinePart part) {
  switch (part) {
    case CombinePart::Name:
      return kName;
    case CombinePart::Tel:
      return kTel;
    case CombinePart::Memo:
      return kMemo;
    default:
      return -1;
  }
}

// Serial numbers as Combine writes them.
class Serials {
 public:
  Serials(std::u16string_view text, std::size_t rows) {
    for (const char16_t c : text) next_ = next_ * 10 + (c - u'0');
    if (text.size() > 1 && text.front() == u'0') width_ = std::to_string(next_ + rows - (rows > 0 ? 1 : 0)).size();
  }
  std::u16string next() {
    std::string digits = std::to_string(next_++);
    if (digits.size() < width_) digits.insert(0, width_ - digits.size(), '0');
    return {digits.begin(), digits.end()};
  }

 private:
  unsigned long long next_ = 0;
  std::size_t width_ = 0;
};

std::u16string Part(const PoiDocument& document, int row, CombinePart part, const std::u16string& text,
                    Serials& serials) {
  switch (part) {
    case CombinePart::Text:
      return text;
    case CombinePart::Serial:
      return serials.next();
    default:
      return std::u16string(document.text(row, ColumnOf(part)));
  }
}

// The digits a name starts (or ends) with, when something else follows (or precedes) them.
std::size_t LeadingDigits(std::u16string_view name) {
  const std::size_t digits = std::min(name.find_first_not_of(u"0123456789"), name.size());
  return digits < name.size() ? digits : 0;
}

std::size_t TrailingDigits(std::u16string_view name) {
  const std::size_t last = name.find_last_not_of(u"0123456789");
  return last == std::u16string_view::npos ? 0 : name.size() - last - 1;
}

}  // namespace

bool CombinationAllowed(CombinePart front, CombinePart back, bool richPoiFile) {
  // Rows: the front part; columns: Name, Tel, Memo, Text, Serial as the back part.
  static constexpr bool kAllowed[5][5] = {
      {true, true, true, false, false},   // Text
      {true, false, false, false, false},  // Serial
      {false, true, true, true, true},     // Name
      {true, false, true, true, false},    // Tel
      {true, true, false, true, false},    // Memo
  };
  static constexpr int kBackColumn[5] = {3, 4, 0, 1, 2};  // back part -> column of the table above
  if (richPoiFile) {
    // The memo of a rich POI file belongs to its rich records.
    if (front == CombinePart::Memo) return false;
    if ((front == CombinePart::Text || front == CombinePart::Serial) && back == CombinePart::Memo) return false;
  }
  return kAllowed[static_cast<int>(front)][kBackColumn[static_cast<int>(back)]];
}

bool CombinationComplete(const Combination& combination, bool richPoiFile) {
  if (!CombinationAllowed(combination.front, combination.back, richPoiFile)) return false;
  const auto takesText = [&combination](CombinePart part) {
    return combination.front == part || combination.back == part;
  };
  if (takesText(CombinePart::Serial)) {
    return !combination.text.empty() &&
           combination.text.find_first_not_of(u"0123456789") == std::u16string::npos;
  }
  if (!takesText(CombinePart::Text)) return true;
  std::u16string text = combination.text;
  return CleanText(text) > 0;
}

int CombineTarget(const Combination& combination) {
  return ColumnOf(combination.front) >= 0 ? ColumnOf(combination.front) : ColumnOf(combination.back);
}

void Combine(PoiTable& table, const Combination& combination) {
  PoiDocument& document = table.document();
  const int target = CombineTarget(combination);
  const std::vector<int> rows = RowScope(document);
  Serials serials(combination.text, rows.size());
  const PoiTable::Action action(table, PoiTable::Show::WholeTable);
  for (const int row : rows) {
    std::u16string text = Part(document, row, combination.front, combination.text, serials);
    text += Part(document, row, combination.back, combination.text, serials);
    CutText(text, kMaxNameLength);
    switch (target) {
      case kName:
        // A name left empty would drop the POI; the row keeps the one it has.
        if (NormaliseName(text) > 0) table.changeCell(row, kName, text);
        break;
      case kTel:
        table.changeCell(row, kTel, TelephoneCellText(document, text));
        break;
      default:
        table.changeCell(row, kMemo, MemoCellText(document, text));
        break;
    }
  }
}

void Clear(PoiTable& table, const ClearChoice& choice) {
  PoiDocument& document = table.document();
  const bool serials = document.kind == DocumentKind::Poi;
  const bool coordinates = document.kind != DocumentKind::Phonebook;
  const PoiTable::Action action(table, PoiTable::Show::WholeTable);
  for (const int row : RowScope(document)) {
    if (serials && choice.leadingSerial) {
      if (const std::size_t digits = LeadingDigits(document.text(row, kName)); digits > 0) {
        std::u16string rest(document.text(row, kName).substr(digits));
        if (CleanText(rest) > 0) table.changeCell(row, kName, rest);
      }
    }
    if (serials && choice.trailingSerial) {
      const std::u16string_view name = document.text(row, kName);
      if (const std::size_t digits = TrailingDigits(name); digits > 0 && digits < name.size()) {
        std::u16string rest(name.substr(0, name.size() - digits));
        if (CleanText(rest) > 0) table.changeCell(row, kName, rest);
      }
    }
    for (const auto& [checked, column] : {std::pair{choice.lng && coordinates, kLng},
                                          std::pair{choice.lat && coordinates, kLat},
                                          std::pair{choice.tel, kTel}, std::pair{choice.memo, kMemo}}) {
      if (checked) table.changeCell(row, column, {});
    }
  }
}

void ClearColumn(PoiTable& table, int column) {
  PoiDocument& document = table.document();
  const PoiTable::Action action(table, PoiTable::Show::WholeTable);
  for (int row = document.basePointPinned ? 1 : 0; row < document.rowCount(); ++row) table.changeCell(row, column, {});
}

void ClearAddresses(PoiTable& table) {
  PoiDocument& document = table.document();
  const PoiTable::Action action(table, PoiTable::Show::WholeTable);
  for (int row = 0; row < document.rowCount(); ++row) {
    const std::u16string_view memo = document.text(row, kMemo);
    const std::size_t marker = memo.find(kAddressMarker);
    if (marker == std::u16string_view::npos) continue;
    std::u16string kept(memo.substr(0, marker));
    CleanText(kept);
    table.changeCell(row, kMemo, kept);
  }
}

void MessCoordinates(PoiTable& table, std::uint32_t seed) {
  PoiDocument& document = table.document();
  const bool anySelected = std::ranges::any_of(document.rows, &PoiRecord::selected);
  std::minstd_rand random(seed);
  const PoiTable::Action action(table, PoiTable::Show::WholeTable);
  for (int row = 0; row < document.rowCount(); ++row) {
    if (anySelected && !document.rows[static_cast<std::size_t>(row)].selected) continue;
    if (document.text(row, kLng).empty() || document.text(row, kLat).empty()) continue;
    for (const auto& [column, limit] : {std::pair{kLng, kMaxLongitudeUnits}, std::pair{kLat, kMaxLatitudeUnits}}) {
      const std::int64_t units = CoordinateToUnits(document.text(row, column), document.display) +
                                 static_cast<std::int64_t>(random() % 5) - 2;
      const auto clamped = static_cast<std::int32_t>(std::clamp<std::int64_t>(units, -limit, limit));
      table.changeCell(row, column, FormatUnits(clamped, static_cast<Axis>(column), document.display));
    }
  }
}

}  // namespace qf
