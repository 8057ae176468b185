#pragma once

#include <string>
#include <optional>
#include <string_view>

#include "core/coordinates.h"

#include "core/poi_document.h"

namespace qf {

// The rules every text passes before it is stored in a row. They never fail:
// they cut, replace or clear.

inline constexpr std::size_t kMaxNameLength = 255;
inline constexpr std::size_t kMaxMemoLength = 255;
inline constexpr std::size_t kMaxTelephoneLength = 18;

// Cuts a text to at most `limit` UTF-16 units, never between the halves of a surrogate pair.
void CutText(std::u16string& text, std::size_t limit);
// Trims blanks (U+0020, U+3000) and drops control and bidi formatting characters.
std::size_t CleanText(std::u16string& text);
// The name rule; 0 means the name is empty and the POI is to be dropped.
std::size_t NormaliseName(std::u16string& text);

void SetCoordinateText(PoiDocument& document, int row, int column, std::u16string_view text, bool clearIfInvalid);
// The texts these rules store, for callers that store them their own way (recorded for undo).
// A coordinate that is no valid value gives nothing.
std::optional<CoordinateText> CoordinateCellText(const PoiDocument& document, int column, std::u16string_view text);
std::u16string TelephoneCellText(const PoiDocument& document, std::u16string_view text);
std::u16string MemoCellText(const PoiDocument& document, std::u16string_view text);
void SetTelephone(PoiDocument& document, int row, std::u16string_view text);
void SetMemo(PoiDocument& document, int row, std::u16string_view text);
// Room for the two coordinates that nearly every reader stores next.
inline constexpr std::size_t kCoordinatesRoom = 20;
// Appends a row with an already normalised name; with selectNew it is selected and focused.
// Room is reserved for `moreCharacters` of the texts still to come, so that filling the row
// costs one allocation.
int AppendPoi(PoiDocument& document, std::u16string_view name, bool selectNew,
              std::size_t moreCharacters = kCoordinatesRoom);
void SetCell(PoiDocument& document, int row, int column, std::u16string_view text);
int FindRowByName(const PoiDocument& document, std::u16string_view name, int skipRow);

// The twelve camera type names, for codes 129 to 140.
inline constexpr std::u16string_view kCameraTypeNames[12] = {
    u"Fixed", u"Mobile", u"Traffic light", u"Toll road", u"Vehicle restriction", u"Other", u"Mobile 2",
    u"Average speed check (Start)", u"Average speed check (End)", u"Bidirectional camera",
    u"Accident blackspot location", u"Grade crossing without gates"};
inline constexpr int kFirstCameraCode = 129;
inline constexpr int kOtherCameraCode = 134;
inline constexpr std::u16string_view kSafetyCameraName = u"Safety Camera";
inline constexpr std::u16string_view kPhoneTypes[4] = {u"Default", u"Cell", u"Work", u"Home"};

}  // namespace qf
