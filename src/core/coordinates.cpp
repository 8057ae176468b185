#include "core/coordinates.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "core/field_rules.h"

namespace qf {

namespace {

constexpr double kUnitsPerDegree = 100000.0;
// Half a hundredth of an arc second: truncating the seconds then rounds them to the nearest hundredth.
constexpr double kHalfHundredthSecond = 1.388888888888889e-06;
constexpr char16_t kDegreeSign = u'\u00B0';
// Room for "%.5f" of any double: 309 integer digits, the point and the decimals.
constexpr std::size_t kFixedRoom = 320;
constexpr std::int64_t kMaxExponent = 100000;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
// isspace() of the C locale, as strtod skips it.
bool IsCSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Whether a number that from_chars found out of range is too large rather than too small:
// the power of ten of its first significant digit plus its exponent decides.
bool TooLarge(std::string_view number) {
  const std::size_t exponentAt = std::min(number.find_first_of("eE"), number.size());
  const std::string_view mantissa = number.substr(0, exponentAt);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_not_of("0.");
  if (first == std::string_view::npos) return false;
  std::int64_t magnitude = first < point ? static_cast<std::int64_t>(point - first)
                                         : -static_cast<std::int64_t>(first - point - 1);
  std::int64_t exponent = 0;
  bool negative = false;
  for (char c : number.substr(std::min(exponentAt + 1, number.size()))) {
    if (c == '-') negative = true;
    if (c >= '0' && c <= '9') exponent = std::min(exponent * 10 + (c - '0'), kMaxExponent);
  }
  magnitude += negative ? -exponent : exponent;
  return magnitude > 0;
}

// Converts the ASCII characters of an unsigned decimal number (digits, point, exponent).
double ConvertNumber(std::u16string_view number) {
  std::array<char, 64> stack;
  std::string heap;
  char* chars = stack.data();
  if (number.size() > stack.size()) {
    heap.resize(number.size());
    chars = heap.data();
  }
  std::transform(number.begin(), number.end(), chars, [](char16_t c) { return static_cast<char>(c); });
  double value = 0;
  if (std::from_chars(chars, chars + number.size(), value).ec == std::errc::result_out_of_range) {
    value = TooLarge({chars, number.size()}) ? HUGE_VAL : 0.0;
  }
  return value;
}

struct NumberScan {
  double value = 0;
  std::size_t end = 0;  // 0: no number at the start of the text
};

// Reads a decimal number at the start of the text as strtod does in the C locale, but without hex, inf and
// nan. With signRead the caller has taken the sign already, so neither blanks nor a sign may come first.
NumberScan ScanNumber(std::u16string_view text, bool signRead = false) {
  std::size_t i = 0;
  bool negative = false;
  if (!signRead) {
    while (i < text.size() && IsCSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  }
  const std::size_t start = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  std::size_t digits = i - start;
  if (i < text.size() && text[i] == u'.') {
    const std::size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    digits += i - fraction;
  }
  if (digits == 0) return {};
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) ++j;
    const std::size_t exponent = j;
    while (j < text.size() && IsDigit(text[j])) ++j;
    if (j > exponent) i = j;
  }
  const double value = ConvertNumber(text.substr(start, i - start));
  return {negative ? -value : value, i};
}

// A display text with its compass letter or sign taken off: the text is "-" + rest when minus is set.
struct SignedText {
  bool minus = false;
  std::u16string_view rest;
};

SignedText WithoutCompass(std::u16string_view text) {
  if (text.empty() || text[0] == u'-' || IsDigit(text[0])) return {false, text};
  const bool minus = text[0] == u'S' || text[0] == u'W';
  return {minus, text.substr(std::min<std::size_t>(2, text.size()))};
}

char16_t CompassLetter(Axis axis, bool negative) {
  if (axis == Axis::Longitude) return negative ? u'W' : u'E';
  return negative ? u'S' : u'N';
}

// The sign of a coordinate text: a minus, or with compass letters E/W or N/S and a blank.
void AppendSign(CoordinateText& text, bool negative, Axis axis, bool compass) {
  if (compass) {
    text.append(CompassLetter(axis, negative));
    text.append(u' ');
  } else if (negative) {
    text.append(u'-');
  }
}

void AppendInteger(CoordinateText& text, std::int64_t value, int minDigits) {
  std::array<char, 24> chars;
  const char* end = std::to_chars(chars.data(), chars.data() + chars.size(), value).ptr;
  for (auto digits = end - chars.data(); digits < minDigits; ++digits) text.append(u'0');
  text.append(std::string_view(chars.data(), end));
}

// "%.<precision>f" of |value| into chars (kFixedRoom characters); returns the length.
std::size_t FixedMagnitude(double value, int precision, char* chars) {
  return std::to_chars(chars, chars + kFixedRoom, std::fabs(value), std::chars_format::fixed, precision).ptr - chars;
}

bool ShowsZero(std::string_view digits) { return digits.find_first_not_of("0.") == std::string_view::npos; }

// "%.5f" of the value, except that a value that shows as zero has no sign.
std::u16string PlainDecimal(double degrees) {
  std::array<char, kFixedRoom> chars;
  const std::string_view digits(chars.data(), FixedMagnitude(degrees, 5, chars.data()));
  std::u16string text(degrees < 0 && !ShowsZero(digits) ? u"-" : u"");
  text.append(digits.begin(), digits.end());
  return text;
}

// Whole units as d° mm' ss.hh", rounded to the nearest hundredth of an arc second.
void AppendDms(CoordinateText& text, double units) {
  double c = units / kUnitsPerDegree + kHalfHundredthSecond;
  const double d = std::trunc(c);
  c = (c - d) * 60;
  const double m = std::trunc(c);
  c = (c - m) * 60;
  const double s = std::trunc(c);
  const double h = std::trunc((c - s) * 100);
  AppendInteger(text, static_cast<std::int64_t>(d), 1);
  text.append(kDegreeSign);
  text.append(u' ');
  AppendInteger(text, static_cast<std::int64_t>(m), 2);
  text.append("' ");
  AppendInteger(text, static_cast<std::int64_t>(s), 2);
  text.append(u'.');
  AppendInteger(text, static_cast<std::int64_t>(h), 2);
  text.append(u'"');
}

// The 26 characters besides digits that typed coordinates may hold (after upper-casing).
bool IsDegreeMark(char16_t c) {
  return c == u'\u00B0' || c == u'\u02DA' || c == u'\u2218' || c == u'\u309C' || c == u'\uFF9F';
}
bool IsMinuteMark(char16_t c) {
  return c == u'\'' || c == u'\u0092' || c == u'\u00B4' || c == u'\u2019' || c == u'\u2032' || c == u'\uFF07' ||
         c == u'\u3001';
}
bool IsSecondMark(char16_t c) {
  return c == u'"' || c == u'\u0094' || c == u'\u201D' || c == u'\u301E' || c == u'\uFF02' || c == u'\u2033';
}
bool IsCompassLetter(char16_t c) { return c == u'E' || c == u'W' || c == u'S' || c == u'N'; }
bool IsTypedCharacter(char16_t c) {
  return IsDigit(c) || c == u'-' || c == u'+' || c == u'.' || c == u' ' || IsCompassLetter(c) || IsDegreeMark(c) ||
         IsMinuteMark(c) || IsSecondMark(c);
}

// Upper-cases the text and checks that it holds only characters a coordinate of this axis may hold.
bool UpperCaseTyped(std::u16string& text, InputAxis axis) {
  for (char16_t& c : text) {
    if (IsDigit(c)) continue;
    const UChar32 upper = u_toupper(c);
    if (upper > 0xFFFF) return false;
    c = static_cast<char16_t>(upper);
    if (!IsTypedCharacter(c)) return false;
    if (axis == InputAxis::Longitude && (c == u'S' || c == u'N')) return false;
    if (axis == InputAxis::Latitude && (c == u'E' || c == u'W')) return false;
  }
  return true;
}

void SkipBlanks(std::u16string_view text, std::size_t& i) {
  while (i < text.size() && text[i] == u' ') ++i;
}

enum Component { kDegrees = 0, kMinutes = 1, kSeconds = 2, kNoComponent = -1 };

Component MarkComponent(char16_t c) {
  if (IsDegreeMark(c)) return kDegrees;
  if (IsMinuteMark(c)) return kMinutes;
  if (IsSecondMark(c)) return kSeconds;
  return kNoComponent;
}

// Degrees, minutes and seconds of a typed coordinate, split at marks and blanks.
class TypedComponents {
 public:
  // A mark assigns the token to its own component, a blank or the end to the first free one.
  void assign(Component component, std::u16string_view token) {
    if (component == kNoComponent) component = firstFree();
    if (component == kNoComponent || tokens_[component]) return;
    tokens_[component] = token;
    if (first_ == kNoComponent) first_ = component;
  }

  // A compass letter decides the direction (a minus sign in front of the number is then ignored);
  // without one the sign of the first number does, even when that number is zero.
  double value(char16_t compassLetter) const {
    std::array<double, 3> values{};
    for (int c = kDegrees; c <= kSeconds; ++c) {
      if (tokens_[c]) values[c] = LeadingNumber(*tokens_[c]);
    }
    bool minus = false;
    if (first_ != kNoComponent) {
      double& first = values[first_];
      minus = first < 0 || (first == 0 && tokens_[first_]->starts_with(u'-'));
      if (minus) first = -first;
    }
    const double magnitude = values[kDegrees] + values[kMinutes] / 60 + values[kSeconds] / 3600;
    const bool negative = compassLetter != 0 ? compassLetter == u'W' || compassLetter == u'S' : minus;
    return negative ? -magnitude : magnitude;
  }

 private:
  // Once the seconds are taken, a blank assigns nothing.
  Component firstFree() const {
    if (tokens_[kSeconds]) return kNoComponent;
    return tokens_[kDegrees] ? (tokens_[kMinutes] ? kSeconds : kMinutes) : kDegrees;
  }

  std::array<std::optional<std::u16string_view>, 3> tokens_;
  Component first_ = kNoComponent;
};

// Reads a cleaned, upper-cased typed coordinate; nothing when it is malformed.
std::optional<double> ReadTypedCoordinate(std::u16string& text) {
  std::size_t i = 0;
  char16_t leadingLetter = 0;
  if (IsCompassLetter(text[0])) {
    leadingLetter = text[0];
    SkipBlanks(text, ++i);
    if (i == text.size()) return std::nullopt;
  }
  const std::size_t numberStart = i;
  if (text[i] == u'+' || text[i] == u'-') {
    if (++i == text.size()) return std::nullopt;
    std::size_t afterBlanks = i;
    SkipBlanks(text, afterBlanks);
    text.erase(i, afterBlanks - i);
  }
  if (i == text.size() || !(IsDigit(text[i]) || text[i] == u'.')) return std::nullopt;

  const std::u16string_view chars(text);
  TypedComponents components;
  char16_t trailingLetter = 0;
  std::size_t tokenStart = numberStart;
  for (i = numberStart; i < chars.size();) {
    const char16_t c = chars[i];
    if (c == u' ' || MarkComponent(c) != kNoComponent) {
      components.assign(MarkComponent(c), chars.substr(tokenStart, i - tokenStart));
      SkipBlanks(chars, ++i);
      tokenStart = i;
    } else {
      if (IsCompassLetter(c) && trailingLetter == 0) trailingLetter = c;
      ++i;
    }
  }
  if (tokenStart < chars.size()) components.assign(kNoComponent, chars.substr(tokenStart));

  return components.value(leadingLetter != 0 ? leadingLetter : trailingLetter);
}

}  // namespace

std::int32_t DegreesToUnits(double degrees) {
  const double scaled = degrees * kUnitsPerDegree;
  const double rounded = std::trunc(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
  if (std::isnan(rounded)) return kMissingUnits;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::lowest();
  constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(rounded, kLowest, kHighest));
}

bool UnitsInRange(std::int64_t units, Axis axis) {
  const std::int64_t limit = axis == Axis::Longitude ? kMaxLongitudeUnits : kMaxLatitudeUnits;
  return units >= -limit && units <= limit;
}

std::optional<std::int32_t> PlainDecimalUnits(std::u16string_view text) {
  constexpr std::size_t kWholeDigits = 3;
  constexpr std::size_t kUnitDigits = 5;
  // Up to twelve decimals a value is so far from any halfway point between two units that the
  // double nearest to it, and its product with 100000, lie on the same side: rounding here then
  // agrees with reading through a double. Exactly halfway, the double decides, so that is left to it.
  constexpr std::size_t kFractionDigits = 12;
  static constexpr auto kPowers = [] {
    std::array<std::int64_t, kFractionDigits + 1> powers{1};
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
    return powers;
  }();
  const bool minus = text.starts_with(u'-');
  std::size_t i = minus ? 1 : 0;
  std::int64_t value = 0;
  // One digit more than allowed is read, to tell a longer number; sixteen digits fit in 64 bits.
  const auto readDigits = [&](std::size_t most) {
    const std::size_t start = i;
    for (; i < text.size() && i - start <= most && IsDigit(text[i]); ++i) value = value * 10 + (text[i] - u'0');
    return i - start;
  };
  const std::size_t whole = readDigits(kWholeDigits);
  if (whole == 0 || whole > kWholeDigits) return std::nullopt;
  std::size_t fraction = 0;
  if (i < text.size()) {
    if (text[i++] != u'.') return std::nullopt;
    fraction = readDigits(kFractionDigits);
    if (fraction == 0 || fraction > kFractionDigits || i != text.size()) return std::nullopt;
  }
  std::int64_t units = value * kPowers[kUnitDigits - std::min(fraction, kUnitDigits)];
  if (fraction > kUnitDigits) {
    const std::int64_t divisor = kPowers[fraction - kUnitDigits];
    const std::int64_t rest = value % divisor;
    if (2 * rest == divisor) return std::nullopt;
    units = value / divisor + (2 * rest > divisor ? 1 : 0);
  }
  return static_cast<std::int32_t>(minus ? -units : units);
}

double LeadingNumber(std::u16string_view text) { return ScanNumber(text).value; }

CoordinateText FormatCoordinate(double degrees, Axis axis, const DisplayOptions& options) {
  CoordinateText text;
  if (!(std::fabs(degrees) < kMaxFormattableDegrees)) return text;
  if (options.dms) {
    const double units = std::trunc(std::fabs(degrees) * kUnitsPerDegree + 0.5);
    AppendSign(text, degrees < 0 && units > 0, axis, options.compass);
    AppendDms(text, units);
  } else {
    std::array<char, kFixedRoom> chars;
    const std::string_view digits(chars.data(), FixedMagnitude(degrees, 5, chars.data()));
    AppendSign(text, degrees < 0 && !ShowsZero(digits), axis, options.compass);
    text.append(digits);
  }
  return text;
}

CoordinateText FormatUnits(std::int32_t units, Axis axis, const DisplayOptions& options) {
  if (options.dms) return FormatCoordinate(units / kUnitsPerDegree, axis, options);
  // Straight from the integer: the same text as "%.5f" of units / 100000.0, without a double round trip.
  std::int64_t magnitude = units < 0 ? -std::int64_t{units} : units;
  std::array<char, 24> chars;
  char* digits = chars.data() + chars.size();
  for (int place = 0; place < 5; ++place, magnitude /= 10) *--digits = static_cast<char>('0' + magnitude % 10);
  *--digits = '.';
  do {
    *--digits = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  CoordinateText text;
  AppendSign(text, units < 0, axis, options.compass);
  text.append(std::string_view(digits, chars.data() + chars.size() - digits));
  return text;
}

double ParseCoordinateText(std::u16string_view text) {
  auto [minus, rest] = WithoutCompass(text);
  if (!minus && rest.starts_with(u'-')) {
    minus = true;
    rest.remove_prefix(1);
  }
  const NumberScan degrees = ScanNumber(rest);
  double value = degrees.value;
  const std::size_t minutesBlank = rest.find(u' ', degrees.end);
  if (minutesBlank != std::u16string_view::npos) {
    value += LeadingNumber(rest.substr(minutesBlank + 1)) / 60;
    const std::size_t secondsBlank = rest.find(u' ', minutesBlank + 1);
    if (secondsBlank != std::u16string_view::npos) value += LeadingNumber(rest.substr(secondsBlank + 1)) / 3600;
  }
  return minus ? -value : value;
}

void StripCompass(std::u16string& text) {
  const SignedText stripped = WithoutCompass(text);
  text.replace(0, text.size() - stripped.rest.size(), stripped.minus ? u"-" : u"");
}

double CoordinateToDegrees(std::u16string_view text, const DisplayOptions& options) {
  if (options.dms) return ParseCoordinateText(text);
  const SignedText stripped = WithoutCompass(text);
  return stripped.minus ? -ScanNumber(stripped.rest, true).value : LeadingNumber(stripped.rest);
}

std::int32_t CoordinateToUnits(std::u16string_view text, const DisplayOptions& options) {
  if (text.empty()) return kMissingUnits;
  if (!options.dms) {
    if (const std::optional<std::int32_t> units = PlainDecimalUnits(text)) return *units;
  }
  return DegreesToUnits(CoordinateToDegrees(text, options));
}

void ToPlainDecimal(std::u16string& text, const DisplayOptions& options) {
  if (text.empty()) return;
  if (options.dms) {
    text = PlainDecimal(ParseCoordinateText(text));
  } else if (options.compass) {
    StripCompass(text);
  }
}

void FromPlainDecimal(std::u16string& text, Axis axis, const DisplayOptions& options) {
  if (text.empty()) return;
  if (options.dms) {
    text = FormatCoordinate(LeadingNumber(text), axis, options).view();
  } else if (options.compass) {
    const bool negative = text.starts_with(u'-');
    const char16_t prefix[] = {CompassLetter(axis, negative), u' '};
    text.replace(0, negative ? 1 : 0, prefix, 2);
  }
}

void Reformat(std::u16string& text, Axis axis, const DisplayOptions& options) {
  if (text.empty()) return;
  text = FormatCoordinate(ParseCoordinateText(text), axis, options).view();
}

bool ParseCoordinateInput(std::u16string& text, InputAxis axis, const DisplayOptions& options) {
  std::u16string input = text;
  if (input.empty() || CleanText(input) == 0) return false;
  if (!UpperCaseTyped(input, axis)) return false;
  std::optional<double> degrees = ReadTypedCoordinate(input);
  // An exponent can overflow ("1E999"); such a text is no coordinate in any form.
  if (!degrees || !std::isfinite(*degrees)) return false;
  if (*degrees > -0.000005 && *degrees <= 0) degrees = 0.0;
  if (axis == InputAxis::Plain) {
    text = PlainDecimal(*degrees);
    return true;
  }
  const auto formatted =
      CheckAndFormat(*degrees, axis == InputAxis::Longitude ? Axis::Longitude : Axis::Latitude, options);
  if (!formatted) return false;
  text = formatted->view();
  return true;
}

std::optional<CoordinateText> CheckAndFormat(double degrees, Axis axis, const DisplayOptions& options) {
  if (!UnitsInRange(DegreesToUnits(degrees), axis)) return std::nullopt;
  return FormatCoordinate(degrees, axis, options);
}

std::u16string FormatDistance(std::int32_t metres, bool metric) {
  std::array<char, kFixedRoom> chars;
  char* end = chars.data();
  const char* unit;
  if (metric && metres < 1000) {
    end = std::to_chars(end, end + 24, metres).ptr;
    unit = "    m";
  } else if (metric) {
    end += FixedMagnitude(metres / 1000.0, 1, end);
    unit = "  km";
  } else if (metres <= 160) {
    end = std::to_chars(end, end + 24, static_cast<std::int64_t>(metres * 3.28084)).ptr;
    unit = "    ft";
  } else {
    end += FixedMagnitude(metres / 1609.344, 1, end);
    unit = "  mi";
  }
  std::u16string text(chars.data(), end);
  text.append(unit, unit + std::char_traits<char>::length(unit));
  return text;
}

}  // namespace qf
