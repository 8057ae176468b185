// What the fuzz targets share: the rules every document read must keep, and the comparison of the
// rows a round trip gives back with the rows the harness expects to survive it.
#pragma once

#include <algorithm>
#include <compare>
#include <string>
#include <string_view>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/poi_document.h"
#include "core/user_port.h"

namespace fuzz {

// Eliminates every duplicate it is asked about, so that reading with "Check Name" skips POIs.
class EliminatingPort : public qf::SilentUserPort {
 public:
  qf::DuplicateAnswer askDuplicateName(std::u16string_view) override { return qf::DuplicateAnswer::Eliminate; }
};

// The five texts of a row, as a comparable value.
struct Row {
  std::u16string name;
  std::u16string lng;
  std::u16string lat;
  std::u16string tel;
  std::u16string memo;
  auto operator<=>(const Row&) const = default;
};

inline Row RowOf(const qf::PoiRecord& record) {
  auto text = [&](int column) { return std::u16string(record.text(column)); };
  return {text(qf::kName), text(qf::kLng), text(qf::kLat), text(qf::kTel), text(qf::kMemo)};
}

inline std::vector<Row> RowsOf(const qf::PoiDocument& document) {
  std::vector<Row> rows;
  for (const qf::PoiRecord& record : document.rows) rows.push_back(RowOf(record));
  return rows;
}

inline bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000'; }

// The name rule, which keeps a blank that only came to the start or the end when a control character
// was dropped: a second pass takes it away.
inline std::u16string NormalisedName(std::u16string name) {
  qf::NormaliseName(name);
  qf::NormaliseName(name);
  return name;
}

// Whether a text is `core` with nothing but blanks around it.
inline bool OnlyBlanksAround(std::u16string_view text, std::u16string_view core) {
  const std::size_t start = text.find(core);
  if (start == std::u16string_view::npos) return false;
  const std::u16string_view before = text.substr(0, start);
  const std::u16string_view after = text.substr(start + core.size());
  return std::all_of(before.begin(), before.end(), IsBlank) && std::all_of(after.begin(), after.end(), IsBlank);
}

inline bool Contains(std::u16string_view text, bool (*test)(char16_t)) {
  return std::any_of(text.begin(), text.end(), test);
}

inline bool InRange(const qf::PoiDocument& document, std::u16string_view text, qf::Axis axis) {
  return text.empty() || qf::UnitsInRange(qf::CoordinateToUnits(text, document.display), axis);
}

inline bool IsTelephoneCharacter(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'*' || c == u'#' || c == u' ';
}

// Traps unless every row keeps the document's rules: a name of 1 to 255 characters that the name rule
// leaves as it is (but for blanks at either end), a telephone of at most 18 telephone characters, a memo of
// at most 255 characters without control characters, and coordinates that are empty or in range.
inline void CheckDocumentRules(const qf::PoiDocument& document) {
  for (const qf::PoiRecord& record : document.rows) {
    const std::u16string_view name = record.text(qf::kName);
    const std::u16string normalised = NormalisedName(std::u16string(name));
    if (normalised.empty() || name.size() > qf::kMaxNameLength || !OnlyBlanksAround(name, normalised)) {
      __builtin_trap();
    }

    const std::u16string_view telephone = record.text(qf::kTel);
    if (telephone.size() > qf::kMaxTelephoneLength || !std::all_of(telephone.begin(), telephone.end(),
                                                                   IsTelephoneCharacter)) {
      __builtin_trap();
    }
    const std::u16string_view memo = record.text(qf::kMemo);
    if (memo.size() > qf::kMaxMemoLength || Contains(memo, [](char16_t c) { return c < 0x20; })) __builtin_trap();
    if (!InRange(document, record.text(qf::kLng), qf::Axis::Longitude) ||
        !InRange(document, record.text(qf::kLat), qf::Axis::Latitude)) {
      __builtin_trap();
    }
  }
}

// Traps unless the document holds exactly the expected rows; `anyOrder` for writers that group rows.
inline void CheckRows(std::vector<Row> expected, const qf::PoiDocument& document, bool anyOrder = false) {
  std::vector<Row> actual = RowsOf(document);
  if (anyOrder) {
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
  }
  if (actual != expected) __builtin_trap();
}

}  // namespace fuzz
