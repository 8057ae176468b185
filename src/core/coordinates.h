#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/poi_document.h"

namespace qf {

// Longitude is column 1, latitude column 2.
enum class Axis : int { Longitude = 1, Latitude = 2 };
// Typed or pasted coordinates may also be parsed without an axis ("plain").
enum class InputAxis { Longitude, Latitude, Plain };

inline constexpr std::int32_t kMissingUnits = -2147483647 - 1;
inline constexpr std::int32_t kMaxLongitudeUnits = 18000000;
inline constexpr std::int32_t kMaxLatitudeUnits = 9000000;

// A coordinate's display text, held inline: coordinates are formatted millions of
// times while reading, so they must not allocate.
class CoordinateText {
 public:
  void append(char16_t c) { chars_[size_++] = c; }
  void append(std::string_view ascii) {
    for (char c : ascii) append(static_cast<char16_t>(c));
  }
  std::size_t size() const { return size_; }
  std::u16string_view view() const { return {chars_.data(), size_}; }
  operator std::u16string_view() const { return view(); }

 private:
  std::array<char16_t, 40> chars_{};
  std::size_t size_ = 0;
};

// Degrees × 100000, rounded half away from zero. Values beyond the 32-bit range saturate;
// NaN gives kMissingUnits.
std::int32_t DegreesToUnits(double degrees);
bool UnitsInRange(std::int64_t units, Axis axis);
// The units of a plain decimal of at most three whole and twelve fraction digits, the form files
// hold: equal to DegreesToUnits(LeadingNumber(text)), without the detour through a double.
// Nothing for any other text, and for a value exactly halfway between two units.
std::optional<std::int32_t> PlainDecimalUnits(std::u16string_view text);
// The longest prefix that reads as a decimal number (blanks, sign, digits,
// fraction, exponent); 0 when there is none.
double LeadingNumber(std::u16string_view text);

// A value that shows as zero gets no minus sign. Values of kMaxFormattableDegrees or more, and
// values that are not finite, are no coordinate of any kind and give an empty text.
inline constexpr double kMaxFormattableDegrees = 1e9;
CoordinateText FormatCoordinate(double degrees, Axis axis, const DisplayOptions& options);
// The display text of a file coordinate; equal to FormatCoordinate(units / 100000.0).
CoordinateText FormatUnits(std::int32_t units, Axis axis, const DisplayOptions& options);
// Reads any display text: decimal or degrees-minutes-seconds, signed or with a compass letter.
double ParseCoordinateText(std::u16string_view text);
void StripCompass(std::u16string& text);
// A stored coordinate text in degrees, read the way the current display format writes it.
double CoordinateToDegrees(std::u16string_view text, const DisplayOptions& options);
// Display text to file units; an empty text gives kMissingUnits.
std::int32_t CoordinateToUnits(std::u16string_view text, const DisplayOptions& options);
// The next three leave an empty text (a missing coordinate) empty.
void ToPlainDecimal(std::u16string& text, const DisplayOptions& options);
void FromPlainDecimal(std::u16string& text, Axis axis, const DisplayOptions& options);
void Reformat(std::u16string& text, Axis axis, const DisplayOptions& options);
// The liberal parser for typed and pasted coordinates; on success the text is
// replaced by its display form ("%.5f" for Plain).
bool ParseCoordinateInput(std::u16string& text, InputAxis axis, const DisplayOptions& options);
// Nothing when the rounded value lies outside the axis range.
std::optional<CoordinateText> CheckAndFormat(double degrees, Axis axis, const DisplayOptions& options);
// The Distance column text: metres or kilometres, feet or miles.
std::u16string FormatDistance(std::int32_t metres, bool metric);

}  // namespace qf
