#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi_document.h"

namespace qf {

// A row as it leaves the program for the clipboard or another program: Name, Lng, Lat, Tel and
// Memo (indexed by Column), with the coordinates as signed decimal degrees whatever the display.
struct ExchangeRow {
  std::array<std::u16string, 5> texts;
  bool operator==(const ExchangeRow&) const = default;
};
using ExchangeRows = std::vector<ExchangeRow>;

ExchangeRow MakeExchangeRow(const PoiDocument& document, int row);

// The decoders below never read past the bytes they are given. At the first place where a block
// does not hold what its layout promises (a length running past the end, a text without its NUL,
// a count larger than the bytes can hold) they stop with the whole records read before it.

// The clipboard's row block: a 32-bit count, then per record five 32-bit lengths in UTF-16
// units including the NUL, then the five NUL-terminated texts. A text ends at its first NUL
// even when its length says more; bytes after the last record are ignored.
std::vector<std::uint8_t> EncodeRowBlock(std::span<const ExchangeRow> rows);
ExchangeRows DecodeRowBlock(std::span<const std::uint8_t> bytes);
// The route editor's rows: the same block, but only Name, Lng and Lat are present (the other two
// lengths mean nothing) and one more UTF-16 unit follows them. The encoder writes what the route
// editor writes, for its stand-ins.
std::vector<std::uint8_t> EncodeRouteRows(std::span<const ExchangeRow> rows);
ExchangeRows DecodeRouteRows(std::span<const std::uint8_t> bytes);

// The Unicode text that Copy puts beside the row block: a byte-order mark, one line per row with
// the fields in display order (no coordinates in a phonebook), each followed by a TAB, trailing
// TABs removed, CR LF; a NUL ends the text.
std::u16string RowsAsText(std::span<const ExchangeRow> rows, bool lngFirst, bool phonebook);

// Copy Coordinates: "Lat, Lng" of the row's display texts, with compass letters even when the
// display has none.
std::u16string CoordinatesAsText(std::u16string_view lng, std::u16string_view lat, const DisplayOptions& options);

// Paste Coordinates: the two values found in clipboard text as "%.5f" text; nothing for a value
// that is missing or no coordinate. Text with one value only gives neither.
struct PastedCoordinates {
  std::optional<std::u16string> lng;
  std::optional<std::u16string> lat;
  bool operator==(const PastedCoordinates&) const = default;
};
inline constexpr std::size_t kPastedCoordinatesLimit = 63;
PastedCoordinates ParsePastedCoordinates(std::u16string_view text, bool lngFirst);

// The shared memory of the exchange with the route editor and other copies of this program.
// The room a record takes at most while its fields keep their limits; an encoded memory is made
// rows × room bytes (zero-filled), the size the receiving program may rely on.
inline constexpr std::size_t kPositionRecordRoom = 2 * (256 + 24 + 24);
inline constexpr std::size_t kDragRecordRoom = 2 * (256 + 24 + 24 + 19 + 256);

// Name, Lng, Lat per record, NUL-terminated; an empty Name ends the list (send to the route
// editor, and what it sends). Rows always have a name, so none ends the list early.
std::vector<std::uint8_t> EncodePositionRecords(std::span<const ExchangeRow> rows);
// The end of the memory right after a whole record ends the list as well.
ExchangeRows DecodePositionRecords(std::span<const std::uint8_t> bytes);
// All five texts per record, ended like the position records; a rich POI file's memo stays home.
std::vector<std::uint8_t> EncodeDragRecords(std::span<const ExchangeRow> rows, bool richPoiFile);
// The same records without the room, as the desktop's drag and drop carries them.
std::vector<std::uint8_t> EncodeDragData(std::span<const ExchangeRow> rows, bool richPoiFile);
ExchangeRows DecodeDragRecords(std::span<const std::uint8_t> bytes);
// The route editor's drag: a non-zero unit, then Name, Lng, Lat; a zero unit instead of the
// next record ends the list (as does the end of the memory after a whole record).
std::vector<std::uint8_t> EncodeRouteDragRecords(std::span<const ExchangeRow> rows);
ExchangeRows DecodeRouteDragRecords(std::span<const std::uint8_t> bytes);

// The answer to "are you ready to receive POIs?".
enum class ReceiveReply : int { Busy = 1, WrongDocument = 2, Ready = 7 };
// busy: a modal dialog or a long command is running.
ReceiveReply ReadyToReceive(bool busy, DocumentKind kind);

}  // namespace qf
