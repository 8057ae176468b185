#include "core/field_rules.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "core/coordinates.h"

namespace qf {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000'; }

bool IsDroppedFormatting(char16_t c) {
  return c < 0x20 || c == 0x200C || c == 0x200D || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x206A && c <= 0x206F);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// "Is this zero really a number?": an optional sign first, digits, at most one point.
bool IsPlainNumber(std::u16string text) {
  CleanText(text);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  bool digit = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      digit = true;
    } else if (text[i] == u'.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

std::u16string SpeedText(const std::u16string& digits) {
  long long value = 0;
  for (char16_t c : digits) value = std::min<long long>(value * 10 + (c - u'0'), 1000000);
  if (value == 0) return u"0";
  value = std::clamp<long long>(value, 20, 140) / 10 * 10;
  const std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

std::u16string TelephoneText(std::u16string text) {
  if (text.size() >= kMaxTelephoneLength + 1) {
    text.resize(kMaxTelephoneLength);
    CleanText(text);
  }
  std::u16string out;
  char16_t previous = u' ';  // drops blanks at the start
  for (char16_t c : text) {
    const bool kept = IsDigit(c) || c == u'+' || c == u'-' || c == u'*' || c == u'#' || c == u' ';
    const char16_t now = kept ? c : u' ';
    if (!(now == u' ' && previous == u' ')) out += now;
    previous = now;
  }
  return out;
}

bool OneOf(std::u16string_view text, std::span<const std::u16string_view> allowed) {
  return std::find(allowed.begin(), allowed.end(), text) != allowed.end();
}

}  // namespace

void CutText(std::u16string& text, std::size_t limit) {
  if (text.size() <= limit) return;
  const bool pairCut = limit > 0 && (text[limit - 1] & 0xFC00) == 0xD800 && (text[limit] & 0xFC00) == 0xDC00;
  text.resize(pairCut ? limit - 1 : limit);
}

std::size_t CleanText(std::u16string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  std::size_t out = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (!IsDroppedFormatting(text[i])) text[out++] = text[i];
  }
  text.resize(out);
  return out;
}

// Most names need no change at all; telling them apart in one pass keeps reading fast.
bool IsNormalName(std::u16string_view text) {
  if (text.empty() || text.size() > kMaxNameLength || IsBlank(text.front()) || IsBlank(text.back())) return false;
  return std::none_of(text.begin(), text.end(), [](char16_t c) {
    return c == u'>' || c == u'|' || IsDroppedFormatting(c);
  });
}

std::size_t NormaliseName(std::u16string& text) {
  if (IsNormalName(text)) return text.size();
  if (text.empty()) return 0;
  CutText(text, kMaxNameLength);
  for (char16_t& c : text) {
    if (c == u'>' || c == u'|' || c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  }
  CleanText(text);
  // Dropped control characters can leave nothing but blanks, which is no name either.
  if (std::all_of(text.begin(), text.end(), IsBlank)) text.clear();
  return text.size();
}

std::optional<CoordinateText> CoordinateCellText(const PoiDocument& document, int column, std::u16string_view text) {
  const Axis axis = column == kLng ? Axis::Longitude : Axis::Latitude;
  // Most files hold plain decimals, which need no reading through a double.
  if (const std::optional<std::int32_t> units = PlainDecimalUnits(text)) {
    if (!UnitsInRange(*units, axis)) return std::nullopt;
    return FormatUnits(*units, axis, document.display);
  }
  double x = LeadingNumber(text);
  bool valid = std::isfinite(x) && (x != 0 || (!text.empty() && IsPlainNumber(std::u16string(text))));
  if (valid) {
    if (x > -0.000005 && x <= 0) x = 0;
    valid = UnitsInRange(DegreesToUnits(x), axis);
  }
  if (!valid) return std::nullopt;
  return FormatCoordinate(x, axis, document.display);
}

void SetCoordinateText(PoiDocument& document, int row, int column, std::u16string_view text, bool clearIfInvalid) {
  if (const std::optional<CoordinateText> value = CoordinateCellText(document, column, text)) {
    SetCell(document, row, column, *value);
  } else if (clearIfInvalid) {
    SetCell(document, row, column, {});
  }
}

std::u16string TelephoneCellText(const PoiDocument& document, std::u16string_view text) {
  std::u16string value(text);
  if (!value.empty()) {
    CleanText(value);
    if (document.kind == DocumentKind::SafetyCamera) {
      const bool digits = !value.empty() && std::all_of(value.begin(), value.end(), IsDigit);
      value = digits ? SpeedText(value) : std::u16string();
    } else {
      value = TelephoneText(std::move(value));
    }
  }
  return value;
}

void SetTelephone(PoiDocument& document, int row, std::u16string_view text) {
  SetCell(document, row, kTel, TelephoneCellText(document, text));
}

std::u16string MemoCellText(const PoiDocument& document, std::u16string_view text) {
  std::u16string value(text);
  if (!value.empty()) {
    CutText(value, kMaxMemoLength);
    for (char16_t& c : value) {
      if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    }
    CleanText(value);
    if (document.kind == DocumentKind::SafetyCamera && !OneOf(value, kCameraTypeNames)) value.clear();
    if (document.kind == DocumentKind::Phonebook && !OneOf(value, kPhoneTypes)) value.clear();
  }
  return value;
}

void SetMemo(PoiDocument& document, int row, std::u16string_view text) {
  SetCell(document, row, kMemo, MemoCellText(document, text));
}

int AppendPoi(PoiDocument& document, std::u16string_view name, bool selectNew, std::size_t moreCharacters) {
  if (selectNew && !document.rows.empty()) document.rows.back().focused = false;
  PoiRecord& record = document.rows.emplace_back(document.nextRowId++);
  record.reserve(name.size() + moreCharacters);
  record.setText(kName, name);
  record.selected = selectNew;
  record.focused = selectNew;
  return document.rowCount() - 1;
}

void SetCell(PoiDocument& document, int row, int column, std::u16string_view text) {
  document.rows[static_cast<std::size_t>(row)].setText(column, text);
}

int FindRowByName(const PoiDocument& document, std::u16string_view name, int skipRow) {
  for (int row = 0; row < document.rowCount(); ++row) {
    if (row != skipRow && document.text(row, kName) == name) return row;
  }
  return -1;
}

}  // namespace qf
