#include "editing/find_replace.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/coordinates.h"
#include "core/field_rules.h"

namespace qf {

namespace {

// Texts longer than this do not fit a cell.
constexpr std::size_t kCellCapacity = 256;

char16_t Folded(char16_t c) {
  return c < 0x80 ? (c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c)
                  : static_cast<char16_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT) & 0xFFFF);
}

// Where the find text next occurs in a text, case-sensitively or not.
class Matcher {
 public:
  explicit Matcher(const FindState& find) : matchCase_(find.matchCase), needle_(find.findText) {
    if (!matchCase_) std::ranges::transform(needle_, needle_.begin(), Folded);
  }

  std::size_t size() const { return needle_.size(); }

  std::size_t find(std::u16string_view text, std::size_t from = 0) const {
    if (needle_.empty() || text.size() < needle_.size()) return std::u16string_view::npos;
    if (matchCase_) return text.find(needle_, from);
    const auto equal = [](char16_t a, char16_t b) { return Folded(a) == b; };
    const auto found = std::search(text.begin() + static_cast<std::ptrdiff_t>(std::min(from, text.size())),
                                   text.end(), needle_.begin(), needle_.end(), equal);
    return found == text.end() ? std::u16string_view::npos : static_cast<std::size_t>(found - text.begin());
  }

 private:
  bool matchCase_;
  std::u16string needle_;
};

int LastColumn(const FindState& find) { return find.onlyName ? kName : kMemo; }

bool RowMatches(const PoiDocument& document, int row, const Matcher& matcher, int lastColumn) {
  for (int column = kName; column <= lastColumn; ++column) {
    if (matcher.find(document.text(row, column)) != std::u16string_view::npos) return true;
  }
  return false;
}

// The text with every occurrence replaced, left to right; nothing when it would not fit a cell.
std::optional<std::u16string> Replaced(std::u16string_view text, const Matcher& matcher,
                                       std::u16string_view replacement) {
  std::u16string out;
  std::size_t from = 0;
  for (std::size_t at = matcher.find(text); at != std::u16string_view::npos; at = matcher.find(text, from)) {
    out.append(text.substr(from, at - from)).append(replacement);
    if (out.size() >= kCellCapacity) return std::nullopt;
    from = at + matcher.size();
  }
  out.append(text.substr(from));
  if (out.size() >= kCellCapacity) return std::nullopt;
  return out;
}

// The names of the table, counted, so that the duplicate check of a replace-all stays linear.
class NameIndex {
 public:
  explicit NameIndex(const PoiDocument& document) {
    for (const PoiRecord& record : document.rows) ++counts_[std::u16string(record.text(kName))];
  }
  // Whether a row other than the one now named `current` has the name.
  bool takenByAnother(std::u16string_view name, std::u16string_view current) const {
    const auto found = counts_.find(std::u16string(name));
    const int count = found == counts_.end() ? 0 : found->second;
    return count > (name == current ? 1 : 0);
  }
  void rename(std::u16string_view from, std::u16string_view to) {
    --counts_[std::u16string(from)];
    ++counts_[std::u16string(to)];
  }

 private:
  std::unordered_map<std::u16string, int> counts_;
};

// The text a column's rule stores for a replaced text; nothing when the rule rejects it.
std::optional<std::u16string> StoredText(const PoiDocument& document, int row, int column, std::u16string text,
                                         const NameIndex* names) {
  switch (column) {
    case kName:
      if (text.empty() || text.find_first_of(u">|") != std::u16string::npos) return std::nullopt;
      if (names != nullptr && names->takenByAnother(text, document.text(row, kName))) return std::nullopt;
      return text;
    case kLng:
    case kLat: {
      ToPlainDecimal(text, document.display);
      const std::optional<CoordinateText> value = CoordinateCellText(document, column, text);
      if (!value) return std::nullopt;
      return std::u16string(value->view());
    }
    case kTel:
      return TelephoneCellText(document, text);
    default:
      if (document.richPoiFile) return std::nullopt;
      return MemoCellText(document, text);
  }
}

// Replaces in the searched cells of one row; whether anything was stored.
bool ReplaceInRow(PoiTable& table, const FindState& find, const Matcher& matcher, int row, NameIndex* names) {
  PoiDocument& document = table.document();
  bool changed = false;
  for (int column = kName; column <= LastColumn(find); ++column) {
    const std::u16string_view old = document.text(row, column);
    std::optional<std::u16string> text = Replaced(old, matcher, find.replaceText);
    if (!text) continue;
    CleanText(*text);
    if (*text == old) continue;
    std::optional<std::u16string> stored = StoredText(document, row, column, std::move(*text), names);
    if (!stored || *stored == old) continue;
    if (names != nullptr && column == kName) names->rename(old, *stored);
    table.setCell(row, column, *stored);
    changed = true;
  }
  return changed;
}

// Replaces findText in the rows from `start` on: in every row with `all`, else in the first row where
// something changes. A cell whose new text would not be valid, or would not fit, keeps its text.
// Returns the last row where something was replaced, or -1.
int ReplaceRows(PoiTable& table, const FindState& find, int start, bool all, bool checkName) {
  PoiDocument& document = table.document();
  table.clearSelection();
  const int rows = document.rowCount();
  if (start >= rows || find.findText.empty()) return -1;
  const Matcher matcher(find);
  std::optional<NameIndex> names;
  if (checkName) names.emplace(document);
  int replaced = -1;
  for (int step = 0; step < rows; ++step) {
    const int row = all ? start + step : (start + step) % rows;
    if (row >= rows) break;
    if (!ReplaceInRow(table, find, matcher, row, names ? &*names : nullptr)) continue;
    replaced = row;
    if (!all) break;
    table.selectAndFocus(row);
  }
  return replaced;
}

}  // namespace

int Search(PoiTable& table, const FindState& find, int start, bool selectAll) {
  PoiDocument& document = table.document();
  table.clearSelection();
  const int rows = document.rowCount();
  if (start >= rows) return -1;
  const Matcher matcher(find);
  int first = -1;
  for (int step = 0; step < rows; ++step) {
    const int row = selectAll ? start + step : (start + step) % rows;
    if (row >= rows) break;
    if (!RowMatches(document, row, matcher, LastColumn(find))) continue;
    table.selectAndFocus(row);
    if (first < 0) first = row;
    if (!selectAll) break;
  }
  table.notifyReset();
  return first;
}

int Find(PoiTable& table, const FindState& find) {
  const int row = Search(table, find, 0, find.selectAll);
  if (row >= 0) table.makeVisible(row);
  return row;
}

int FindNext(PoiTable& table, const FindState& find) {
  const PoiDocument& document = table.document();
  if (document.rows.empty()) return -1;
  const int selected = table.firstSelected();
  const int row = Search(table, find, selected < 0 ? 0 : (selected + 1) % document.rowCount(), false);
  if (row >= 0) table.makeVisible(row);
  return row;
}

bool ReplaceAll(PoiTable& table, const FindState& find, bool checkName) {
  PoiTable::Action action(table, PoiTable::Show::WholeTable);
  const bool replaced = ReplaceRows(table, find, 0, true, checkName) >= 0;
  action.reveal(table.firstSelected());
  return replaced;
}

int ReplaceNext(PoiTable& table, const FindState& find, bool checkName) {
  PoiDocument& document = table.document();
  const int selected = table.firstSelected();
  if (selected < 0) return FindNext(table, find);
  // Another matching row only becomes the selection.
  if (const int found = Search(table, find, selected, false); found != selected) {
    if (found >= 0) table.makeVisible(found);
    return found;
  }
  {
    // The selected row may keep its text, and the replacement go to a row after it.
    const PoiTable::Action action(table, PoiTable::Show::WholeTable);
    ReplaceRows(table, find, selected, false, checkName);
  }
  const int next = Search(table, find, (selected + 1) % document.rowCount(), false);
  if (next >= 0) table.makeVisible(next);
  return next;
}

}  // namespace qf
