#include "editing/row_exchange.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <utility>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/little_endian.h"

namespace qf {

namespace {

constexpr char16_t kRouteDragMark = 1;
constexpr std::u16string_view kCompassLetters = u"EWSN";

class BlockWriter {
 public:
  void uint32(std::uint32_t value) { PutUint32(grow(4), value); }
  void unit(char16_t value) { PutUint16(grow(2), value); }
  void text(std::u16string_view text) {
    for (char16_t c : text) unit(c);
    unit(0);
  }
  // Zero-filled up to the room the receiver may expect.
  std::vector<std::uint8_t> take(std::size_t room) {
    if (bytes_.size() < room) bytes_.resize(room);
    return std::move(bytes_);
  }

 private:
  std::uint8_t* grow(std::size_t size) {
    bytes_.resize(bytes_.size() + size);
    return &bytes_[bytes_.size() - size];
  }

  std::vector<std::uint8_t> bytes_;
};

// Reads the little-endian fields of a block; every read checks that it stays inside.
class BlockReader {
 public:
  explicit BlockReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t remaining() const { return bytes_.size() - at_; }
  // An odd last byte is no unit.
  bool atEnd() const { return remaining() < 2; }

  std::optional<std::uint32_t> uint32() {
    if (remaining() < 4) return std::nullopt;
    at_ += 4;
    return Uint32At(&bytes_[at_ - 4]);
  }
  std::optional<char16_t> unit() {
    if (remaining() < 2) return std::nullopt;
    at_ += 2;
    return static_cast<char16_t>(Uint16At(&bytes_[at_ - 2]));
  }
  // A text of `length` units whose last is its NUL; the text itself ends at its first NUL.
  std::optional<std::u16string> countedText(std::uint32_t length) {
    if (length == 0 || remaining() / 2 < length) return std::nullopt;
    const std::size_t end = at_ + std::size_t{length} * 2;
    if (Uint16At(&bytes_[end - 2]) != 0) return std::nullopt;
    std::u16string text = textUpToNul(end);
    at_ = end;
    return text;
  }
  // A NUL-terminated text; nothing when the bytes end first.
  std::optional<std::u16string> text() {
    std::u16string text = textUpToNul(bytes_.size());
    at_ += text.size() * 2;
    if (!unit()) return std::nullopt;
    return text;
  }

 private:
  std::u16string textUpToNul(std::size_t end) const {
    std::u16string text;
    for (std::size_t i = at_; i + 1 < end; i += 2) {
      const auto c = static_cast<char16_t>(Uint16At(&bytes_[i]));
      if (c == 0) break;
      text += c;
    }
    return text;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

std::vector<std::uint8_t> EncodeBlock(std::span<const ExchangeRow> rows, bool routeRows) {
  BlockWriter writer;
  writer.uint32(static_cast<std::uint32_t>(rows.size()));
  const int textCount = routeRows ? 3 : 5;
  for (const ExchangeRow& row : rows) {
    for (int column = kName; column <= kMemo; ++column) {
      // Texts the layout does not carry get the length of an empty one.
      const std::size_t length = column < textCount ? row.texts[column].size() + 1 : 1;
      writer.uint32(static_cast<std::uint32_t>(length));
    }
    for (int column = kName; column < textCount; ++column) writer.text(row.texts[column]);
    if (routeRows) writer.unit(0);
  }
  return writer.take(0);
}

ExchangeRows DecodeBlock(std::span<const std::uint8_t> bytes, bool routeRows) {
  BlockReader reader(bytes);
  ExchangeRows rows;
  const auto count = reader.uint32();
  if (!count) return rows;
  // Nothing is allocated from the count: a count beyond what the bytes hold ends where they do.
  const int textCount = routeRows ? 3 : 5;
  for (std::uint32_t record = 0; record < *count; ++record) {
    std::array<std::optional<std::uint32_t>, 5> lengths;
    for (auto& length : lengths) length = reader.uint32();
    if (!lengths.back()) break;  // once one read falls short, all later ones do
    ExchangeRow row;
    for (int column = kName; column < textCount; ++column) {
      auto text = reader.countedText(*lengths[column]);
      if (!text) return rows;
      row.texts[column] = std::move(*text);
    }
    if (routeRows && !reader.unit()) break;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::uint8_t> EncodeTerminated(std::span<const ExchangeRow> rows, int textCount, bool routeDragMark,
                                           std::size_t recordRoom) {
  BlockWriter writer;
  for (const ExchangeRow& row : rows) {
    if (routeDragMark) writer.unit(kRouteDragMark);
    for (int column = kName; column < textCount; ++column) writer.text(row.texts[column]);
  }
  writer.unit(0);  // an empty Name, or no mark where the next record would start
  return writer.take(rows.size() * recordRoom);
}

// Records of NUL-terminated texts until an end mark: a zero unit before the record with
// routeDragMark, otherwise an empty Name.
ExchangeRows DecodeTerminated(std::span<const std::uint8_t> bytes, int textCount, bool routeDragMark) {
  BlockReader reader(bytes);
  ExchangeRows rows;
  while (!reader.atEnd()) {
    if (routeDragMark && *reader.unit() == 0) break;
    ExchangeRow row;
    for (int column = kName; column < textCount; ++column) {
      auto text = reader.text();
      if (!text || (column == kName && text->empty() && !routeDragMark)) return rows;
      row.texts[column] = std::move(*text);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// The compass form of a display text: its letter and blank in place of the sign.
std::u16string WithCompass(std::u16string_view text, Axis axis, const DisplayOptions& options) {
  std::u16string result(text);
  if (!options.compass) FromPlainDecimal(result, axis, DisplayOptions{.compass = true});
  return result;
}

char16_t FirstCompassLetter(std::u16string_view value) {
  const std::size_t at = value.find_first_of(kCompassLetters);
  return at == std::u16string_view::npos ? 0 : value[at];
}

bool IsLatitudeLetter(char16_t c) { return c == u'S' || c == u'N'; }

// Splits pasted text into two values: at the first comma; else around the compass letters; only
// text without any of them at the first blank. Nothing when there is one value only.
std::optional<std::pair<std::u16string_view, std::u16string_view>> SplitPair(std::u16string_view text) {
  constexpr std::size_t kNone = std::u16string_view::npos;
  std::size_t at = text.find(u',');
  std::size_t separator = 1;
  if (at == kNone) {
    const std::size_t letter = text.find_first_of(kCompassLetters);
    separator = 0;
    if (letter == 0) {
      at = text.find_first_of(kCompassLetters, 1);  // "N 25 E 121": each value starts with its letter
    } else if (letter != kNone) {
      at = letter + 1;  // "25 N 121 E": each value ends with its letter
    } else {
      at = text.find(u' ');
      separator = 1;
    }
  }
  if (at == kNone) return std::nullopt;
  return std::pair(text.substr(0, at), text.substr(at + separator));
}

std::optional<std::u16string> PlainCoordinate(std::u16string_view value) {
  std::u16string text(value);
  if (!ParseCoordinateInput(text, InputAxis::Plain, DisplayOptions{})) return std::nullopt;
  return text;
}

// A rich POI file's memo stays home.
std::vector<std::uint8_t> EncodeDragRecordsIn(std::span<const ExchangeRow> rows, bool richPoiFile, std::size_t room) {
  if (!richPoiFile) return EncodeTerminated(rows, 5, false, room);
  ExchangeRows withoutMemo(rows.begin(), rows.end());
  for (ExchangeRow& row : withoutMemo) row.texts[kMemo].clear();
  return EncodeTerminated(withoutMemo, 5, false, room);
}

}  // namespace

ExchangeRow MakeExchangeRow(const PoiDocument& document, int row) {
  ExchangeRow exchanged;
  for (int column = kName; column <= kMemo; ++column) exchanged.texts[column] = document.text(row, column);
  ToPlainDecimal(exchanged.texts[kLng], document.display);
  ToPlainDecimal(exchanged.texts[kLat], document.display);
  return exchanged;
}

std::vector<std::uint8_t> EncodeRowBlock(std::span<const ExchangeRow> rows) { return EncodeBlock(rows, false); }

ExchangeRows DecodeRowBlock(std::span<const std::uint8_t> bytes) { return DecodeBlock(bytes, false); }

std::vector<std::uint8_t> EncodeRouteRows(std::span<const ExchangeRow> rows) { return EncodeBlock(rows, true); }

ExchangeRows DecodeRouteRows(std::span<const std::uint8_t> bytes) { return DecodeBlock(bytes, true); }

std::u16string RowsAsText(std::span<const ExchangeRow> rows, bool lngFirst, bool phonebook) {
  std::u16string text(1, u'\uFEFF');
  for (const ExchangeRow& row : rows) {
    const std::size_t lineStart = text.size();
    const auto field = [&](int column) {
      text += row.texts[column];
      text += u'\t';
    };
    field(kName);
    if (!phonebook) {
      field(lngFirst ? kLng : kLat);
      field(lngFirst ? kLat : kLng);
    }
    field(kTel);
    field(kMemo);
    while (text.size() > lineStart && text.back() == u'\t') text.pop_back();
    text += u"\r\n";
  }
  text += u'\0';
  return text;
}

std::u16string CoordinatesAsText(std::u16string_view lng, std::u16string_view lat, const DisplayOptions& options) {
  return WithCompass(lat, Axis::Latitude, options) + u", " + WithCompass(lng, Axis::Longitude, options);
}

PastedCoordinates ParsePastedCoordinates(std::u16string_view pasted, bool lngFirst) {
  std::u16string text(pasted.substr(0, kPastedCoordinatesLimit));
  for (char16_t& c : text) {
    const UChar32 upper = u_toupper(c);
    if (upper <= 0xFFFF) c = static_cast<char16_t>(upper);
  }
  if (const std::size_t tab = text.find(u'\t'); tab != std::u16string::npos) text[tab] = u',';
  CleanText(text);
  const auto pair = SplitPair(text);
  if (!pair) return {};
  const auto [first, second] = *pair;

  const char16_t firstLetter = FirstCompassLetter(first);
  const char16_t secondLetter = FirstCompassLetter(second);
  bool firstIsLng = lngFirst;
  if (IsLatitudeLetter(firstLetter)) {
    firstIsLng = false;
  } else if (secondLetter != 0) {
    firstIsLng = IsLatitudeLetter(secondLetter);
  } else if (firstLetter != 0) {
    firstIsLng = true;
  }
  return {PlainCoordinate(firstIsLng ? first : second), PlainCoordinate(firstIsLng ? second : first)};
}

std::vector<std::uint8_t> EncodePositionRecords(std::span<const ExchangeRow> rows) {
  return EncodeTerminated(rows, 3, false, kPositionRecordRoom);
}

ExchangeRows DecodePositionRecords(std::span<const std::uint8_t> bytes) {
  return DecodeTerminated(bytes, 3, false);
}

std::vector<std::uint8_t> EncodeDragRecords(std::span<const ExchangeRow> rows, bool richPoiFile) {
  return EncodeDragRecordsIn(rows, richPoiFile, kDragRecordRoom);
}

std::vector<std::uint8_t> EncodeDragData(std::span<const ExchangeRow> rows, bool richPoiFile) {
  return EncodeDragRecordsIn(rows, richPoiFile, 0);
}

ExchangeRows DecodeDragRecords(std::span<const std::uint8_t> bytes) {
  return DecodeTerminated(bytes, 5, false);
}

std::vector<std::uint8_t> EncodeRouteDragRecords(std::span<const ExchangeRow> rows) {
  return EncodeTerminated(rows, 3, true, 0);
}

ExchangeRows DecodeRouteDragRecords(std::span<const std::uint8_t> bytes) {
  return DecodeTerminated(bytes, 3, true);
}

ReceiveReply ReadyToReceive(bool busy, DocumentKind kind) {
  if (busy) return ReceiveReply::Busy;
  if (kind == DocumentKind::SafetyCamera || kind == DocumentKind::Phonebook) return ReceiveReply::WrongDocument;
  return ReceiveReply::Ready;
}

}  // namespace qf
