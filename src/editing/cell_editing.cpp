#include "editing/cell_editing.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/string_table.h"

namespace qf {

namespace {

constexpr std::size_t kEditLimits[] = {255, 23, 23, 18, 255};

constexpr std::u16string_view kSpeeds[] = {u"0",  u"20", u"30",  u"40",  u"50",  u"60",  u"70",
                                           u"80", u"90", u"100", u"110", u"120", u"130", u"140"};
constexpr int kDefaultSpeedItem = 5;  // "60"


bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsTelephoneCharacter(char16_t c) {
  return IsDigit(c) || c == u' ' || c == u'#' || c == u'*' || c == u'+' || c == u'-';
}

bool IsMyBasePointRow(const PoiDocument& document, int row) { return row == 0 && document.basePointPinned; }

// Fills the conversions %u, %.2u and %c of a format in order; "%:" prints a colon.
std::u16string FillConversions(std::u16string_view format, std::initializer_list<int> values) {
  std::u16string out;
  auto value = values.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    const std::u16string_view rest = format.substr(i + 1);
    if (rest.starts_with(u":") || rest.starts_with(u"%")) {
      out += rest[0];
      i += 1;
    } else if (rest.starts_with(u"c") && value != values.end()) {
      out += static_cast<char16_t>(*value++);
      i += 1;
    } else if (rest.starts_with(u"u") && value != values.end()) {
      const std::string digits = std::to_string(*value++);
      out.append(digits.begin(), digits.end());
      i += 1;
    } else if (rest.starts_with(u".2u") && value != values.end()) {
      const int number = *value++;
      const std::string digits = (number < 10 ? "0" : "") + std::to_string(number);
      out.append(digits.begin(), digits.end());
      i += 3;
    } else {
      out += format[i];
    }
  }
  return out;
}

CommitCheck Rejected(int messageId) { return {messageId, false, {}}; }

CommitCheck CheckCoordinate(const PoiDocument& document, int row, int column, std::u16string text) {
  if (text.empty()) {
    return IsMyBasePointRow(document, row) ? Rejected(kEmptyBasePointCoordinate) : CommitCheck{0, false, {}};
  }
  const bool longitude = column == kLng;
  if (!ParseCoordinateInput(text, longitude ? InputAxis::Longitude : InputAxis::Latitude, document.display)) {
    return Rejected(longitude ? kBadLongitude : kBadLatitude);
  }
  return {0, false, std::move(text)};
}

CommitCheck CheckName(const PoiDocument& document, int row, std::u16string text, bool checkName) {
  if (document.kind == DocumentKind::SafetyCamera && !IsMyBasePointRow(document, row)) {
    return {0, false, LoadString(kSafetyCameraWord)};
  }
  if (text.empty()) return Rejected(kEmptyName);
  if (text.find_first_of(u">|") != std::u16string::npos) return Rejected(kBadNameCharacter);
  const bool duplicate = checkName && FindRowByName(document, text, row) >= 0;
  return {0, duplicate, std::move(text)};
}

}  // namespace

std::size_t EditLimit(int column) { return kEditLimits[std::clamp(column, 0, 4)]; }

bool PassesTypingFilter(int column, char16_t c, bool control) {
  switch (column) {
    case kName:
      return c != u'>' && c != u'|';
    case kLng:
    case kLat: {
      if (control || IsDigit(c) || std::u16string_view(u" \"'+-.\u00B0").find(c) != std::u16string_view::npos) {
        return true;
      }
      const char16_t upper = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
      return column == kLng ? upper == u'E' || upper == u'W' : upper == u'N' || upper == u'S';
    }
    case kTel:
      return control || IsTelephoneCharacter(c);
    default:
      return true;
  }
}

std::u16string DefaultName(DocumentKind kind, const LocalTime& time) {
  if (kind == DocumentKind::SafetyCamera) return LoadString(kSafetyCameraWord);
  const int format = kind == DocumentKind::Phonebook ? kDefaultEntryName : kDefaultPoiName;
  const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  return FillConversions(LoadString(format),
                         {time.month, time.day, time.hour < 12 ? 'A' : 'P', hour12, time.minute, time.second});
}

FixedValues FixedValuesFor(DocumentKind kind, int column) {
  if (kind == DocumentKind::SafetyCamera && column == kTel) return {kSpeeds, kDefaultSpeedItem, kSpeedHint};
  if (kind == DocumentKind::SafetyCamera && column == kMemo) return {kCameraTypeNames, 0, kCameraTypeHint};
  if (kind == DocumentKind::Phonebook && column == kMemo) return {kPhoneTypes, 0, kPhoneTypeHint};
  return {};
}

int InitialItem(const FixedValues& values, std::u16string_view cellText) {
  const auto found = std::ranges::find(values.items, cellText);
  return found == values.items.end() ? values.defaultItem : static_cast<int>(found - values.items.begin());
}

// The hints of Name, Lng, Lat, Tel and Memo follow one another in the string table.
std::u16string EditHint(int column) {
  return LoadString(kNameEditHint + std::clamp(column, 0, 4)) + u' ' + LoadString(kTabHint);
}

CommitCheck CheckCommit(const PoiDocument& document, int row, int column, std::u16string text, bool checkName) {
  if (!FixedValuesFor(document.kind, column).items.empty()) return {0, false, std::move(text)};
  // Text that did not come through the edit box is cut as the box cuts what is typed.
  CutText(text, EditLimit(column));
  CleanText(text);
  switch (column) {
    case kLng:
    case kLat:
      return CheckCoordinate(document, row, column, std::move(text));
    case kName:
      return CheckName(document, row, std::move(text), checkName);
    case kTel:
      if (!std::ranges::all_of(text, IsTelephoneCharacter)) return Rejected(kBadTelephone);
      return {0, false, std::move(text)};
    default:
      return {0, false, std::move(text)};
  }
}

void CommitCell(PoiTable& table, int row, int column, std::u16string_view value) {
  const std::u16string_view old = table.document().text(row, column);
  if (old == value) return;
  if (column == kName && old.empty()) {
    table.commitNewRowName(row, value);
    return;
  }
  const PoiTable::Action action(table);
  table.setCell(row, column, value);
}

int NextEditColumn(const PoiDocument& document, int column, bool forward, bool lngFirst) {
  const std::array<int, 5> order = lngFirst ? std::array<int, 5>{kName, kLng, kLat, kTel, kMemo}
                                            : std::array<int, 5>{kName, kLat, kLng, kTel, kMemo};
  const auto editable = [&](int c) {
    if (document.kind == DocumentKind::Phonebook && (c == kLng || c == kLat)) return false;
    return !(document.richPoiFile && c == kMemo);
  };
  const auto at = std::ranges::find(order, column);
  int index = at == order.end() ? 0 : static_cast<int>(at - order.begin());
  const int size = static_cast<int>(order.size());
  do {
    index = (index + (forward ? 1 : size - 1)) % size;
  } while (!editable(order[static_cast<std::size_t>(index)]));
  return order[static_cast<std::size_t>(index)];
}

}  // namespace qf
