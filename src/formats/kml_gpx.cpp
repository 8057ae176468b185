#include "formats/kml_gpx.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "formats/file_pipeline.h"
#include "formats/passed_bytes.h"

namespace qf {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;
constexpr std::size_t kMaxKmlDescriptionLength = 274;
constexpr std::size_t kMaxCommentBytes = 18;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Bytes a scan for a closing tag steps over at once, so that a tag is never matched
// inside a multi-byte character. Four-byte characters (emoji) count four: stepping three
// would land on their last byte and jump over a tag right after them.
std::size_t CharacterBytes(std::uint8_t lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0x80 ? 2 : 1; }

// The file's bytes as the tag scanners see them. Tags are given in lower case and matched
// without regard to case; a tag found before a limit lies wholly before it.
class TagScanner {
 public:
  explicit TagScanner(std::span<const std::uint8_t> bytes)
      : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}

  std::size_t size() const { return text_.size(); }
  char at(std::size_t pos) const { return pos < text_.size() ? text_[pos] : '\0'; }
  std::string_view slice(std::size_t from, std::size_t to) const { return text_.substr(from, to - from); }

  bool isAt(std::size_t pos, std::string_view tag, std::size_t limit) const {
    if (pos + tag.size() > limit) return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
      if (AsciiLower(text_[pos + i]) != tag[i]) return false;
    }
    return true;
  }

  // The first occurrence of the tag in [from, limit), byte by byte.
  std::size_t find(std::string_view tag, std::size_t from, std::size_t limit) const {
    while (from < limit) {
      const void* hit = std::memchr(text_.data() + from, tag[0], limit - from);
      if (hit == nullptr) return kNotFound;
      const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
      if (isAt(pos, tag, limit)) return pos;
      from = pos + 1;
    }
    return kNotFound;
  }

  // The same for a closing tag, stepping over multi-byte characters: the steps start at `from`
  // and go from character to character.
  std::size_t scanTo(std::string_view tag, std::size_t from, std::size_t limit) const {
    const auto single = [](char c) { return static_cast<std::uint8_t>(c) < 0x80; };
    std::size_t pos = from;  // always on a step
    while (pos < limit) {
      const void* hit = std::memchr(text_.data() + pos, tag[0], limit - pos);
      if (hit == nullptr) return kNotFound;
      const auto candidate = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
      // A byte below 0x80 is a character of its own, and no character is longer than four bytes:
      // when the three bytes before the candidate are single, a step lands on it.
      const std::size_t checked = candidate - std::min<std::size_t>(3, candidate - pos);
      if (std::all_of(text_.begin() + static_cast<std::ptrdiff_t>(checked),
                      text_.begin() + static_cast<std::ptrdiff_t>(candidate), single)) {
        pos = candidate;
      } else {
        while (pos < candidate) pos += CharacterBytes(static_cast<std::uint8_t>(text_[pos]));
        if (pos != candidate) continue;  // the candidate lies inside a character
      }
      if (isAt(pos, tag, limit)) return pos;
      ++pos;
    }
    return kNotFound;
  }

  // Gives back the memory of bytes no scan reads again.
  void release(std::size_t from, std::size_t to) const {
    ReleasePassedBytes({reinterpret_cast<const std::uint8_t*>(text_.data()) + from, to - from});
  }

  // Just after the `>` of a start tag whose name ends at `pos`.
  std::size_t endOfStartTag(std::size_t pos, std::size_t limit) const {
    if (at(pos) == '>') return pos + 1;
    const std::size_t close = find(">", pos, limit);
    return close == kNotFound ? kNotFound : close + 1;
  }

 private:
  std::string_view text_;
};

// The five character references a file may hold; other `&` sequences stay as they are.
constexpr std::pair<std::u16string_view, char16_t> kReferences[] = {
    {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&nbsp;", u' '}};
constexpr std::size_t kLongestReference = 6;

// The length of the reference a text starts with and the character it stands for; length 0 for none.
std::pair<std::size_t, char16_t> ReferenceAt(std::u16string_view text) {
  if (text.starts_with(u'&')) {
    for (const auto& [reference, character] : kReferences) {
      if (text.starts_with(reference)) return {reference.size(), character};
    }
  }
  return {0, u'\0'};
}

void DecodeReferences(std::u16string& text) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < text.size();) {
    const auto [length, character] = ReferenceAt(std::u16string_view(text).substr(in));
    text[out++] = length == 0 ? text[in] : character;
    in += std::max<std::size_t>(length, 1);
  }
  text.resize(out);
}

// Cuts a text to a number of characters, a reference counting as the one it stands for, so that a
// full-length text keeps its length through the references the writers put in; neither a reference
// nor a surrogate pair is cut in two.
void CutCountingReferences(std::u16string& text, std::size_t limit) {
  std::size_t end = 0;
  for (std::size_t count = 0; end < text.size() && count < limit; ++count) {
    end += std::max<std::size_t>(ReferenceAt(std::u16string_view(text).substr(end)).first, 1);
  }
  if (end < text.size() && end > 0 && (text[end - 1] & 0xFC00) == 0xD800) --end;
  text.resize(end);
}

// Element text that is one CDATA section stands for its inside.
std::string_view WithoutCdata(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos || !text.substr(first).starts_with("<![CDATA[")) return text;
  const std::size_t end = text.rfind("]]>");
  return end < first + 9 ? text : text.substr(first + 9, end - first - 9);
}

// ---------------------------------------------------------------------------------------- KML

struct Placemark {
  std::string_view name;
  std::string_view coordinates;
  std::optional<std::string_view> description;
};

// The content of a description element that starts at `from`: up to "</description>",
// or only the inside of a CDATA section when one opens first.
std::optional<std::string_view> DescriptionContent(const TagScanner& scan, std::size_t from, std::size_t limit) {
  std::size_t start = from;
  bool cdata = false;
  for (std::size_t pos = from; pos < limit;) {
    if (!cdata && scan.isAt(pos, "<![cdata[", limit)) {
      cdata = true;
      start = pos = pos + 9;
      continue;
    }
    if (cdata ? scan.isAt(pos, "]]>", limit) : scan.isAt(pos, "</description>", limit)) return scan.slice(start, pos);
    pos += CharacterBytes(static_cast<std::uint8_t>(scan.at(pos)));
  }
  return std::nullopt;
}

bool IsLetter(char16_t c, char lower) { return c == lower || c == lower - 'a' + 'A'; }

// A line-break tag ("<br", blanks, an optional "/", ">") becomes blanks ending in a line feed.
void ReplaceLineBreakTags(std::u16string& text) {
  for (std::size_t pos = text.find(u'<'); pos != std::u16string::npos; pos = text.find(u'<', pos + 1)) {
    if (pos + 2 >= text.size() || !IsLetter(text[pos + 1], 'b') || !IsLetter(text[pos + 2], 'r')) continue;
    std::size_t end = pos + 3;
    while (end < text.size() && text[end] == u' ') ++end;
    if (end < text.size() && text[end] == u'/') ++end;
    if (end == text.size() || text[end] != u'>') continue;
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(pos), text.begin() + static_cast<std::ptrdiff_t>(end), u' ');
    text[end] = u'\n';
  }
}

// Reads the placemark whose start tag begins at `start`. Returns the position after it, or
// kNotFound on a structural fault. A placemark without a Point leaves `placemark` unset.
std::size_t ParsePlacemark(const TagScanner& scan, std::size_t start, std::optional<Placemark>& placemark) {
  const std::size_t size = scan.size();
  const std::size_t tagEnd = scan.endOfStartTag(start + std::strlen("<placemark"), size);
  if (tagEnd == kNotFound) return kNotFound;
  const std::size_t nameStart = scan.find("<name>", tagEnd, size);
  if (nameStart == kNotFound) return kNotFound;
  const std::size_t nameEnd = scan.scanTo("</name>", nameStart + 6, size);
  if (nameEnd == kNotFound) return kNotFound;
  const std::size_t afterName = nameEnd + 7;
  const std::size_t end = scan.find("</placemark>", afterName, size);
  if (end == kNotFound) return kNotFound;
  std::optional<std::string_view> description;
  if (const std::size_t tag = scan.find("<description>", afterName, end); tag != kNotFound) {
    description = DescriptionContent(scan, tag + 13, end);
    if (!description) return kNotFound;
  }
  const std::size_t next = end + std::strlen("</placemark>");
  const std::size_t point = scan.find("<point", afterName, end);
  if (point == kNotFound) return next;
  const std::size_t pointEnd = scan.endOfStartTag(point + 6, end);
  if (pointEnd == kNotFound) return kNotFound;
  const std::size_t coordinates = scan.find("<coordinates>", pointEnd, end);
  if (coordinates == kNotFound) return kNotFound;
  const std::size_t coordinatesEnd = scan.scanTo("</coordinates>", coordinates + 13, end);
  if (coordinatesEnd == kNotFound) return kNotFound;
  placemark = Placemark{scan.slice(nameStart + 6, nameEnd), scan.slice(coordinates + 13, coordinatesEnd), description};
  return next;
}

// ---------------------------------------------------------------------------------------- GPX

struct Waypoint {
  std::string_view latitude;
  std::string_view longitude;
  std::string_view name;
  std::optional<std::string_view> comment;
  std::optional<std::string_view> description;
};

// Reads the lat and lon attributes of a wpt tag from `pos` to its `>`; only blanks may
// separate them. Returns the position after the tag, or kNotFound.
std::size_t ParseWaypointTag(const TagScanner& scan, std::size_t pos, Waypoint& waypoint) {
  std::optional<std::string_view> latitude;
  std::optional<std::string_view> longitude;
  const auto skipBlanks = [&] {
    while (scan.at(pos) == ' ') ++pos;
  };
  while (true) {
    skipBlanks();
    const bool isLatitude = scan.isAt(pos, "lat", scan.size());
    if (!isLatitude && !scan.isAt(pos, "lon", scan.size())) return kNotFound;
    pos += 3;
    skipBlanks();
    if (scan.at(pos++) != '=') return kNotFound;
    skipBlanks();
    if (scan.at(pos++) != '"') return kNotFound;
    const std::size_t close = scan.find("\"", pos, scan.size());
    if (close == kNotFound) return kNotFound;
    (isLatitude ? latitude : longitude) = scan.slice(pos, close);
    pos = close + 1;
    if (scan.at(pos) == '>') break;
  }
  if (!latitude || !longitude) return kNotFound;
  waypoint.latitude = *latitude;
  waypoint.longitude = *longitude;
  return pos + 1;
}

// The content of an optional element inside [from, limit); false when it does not close.
bool OptionalElement(const TagScanner& scan, std::string_view start, std::string_view end, std::size_t from,
                     std::size_t limit, std::optional<std::string_view>& content) {
  const std::size_t tag = scan.find(start, from, limit);
  if (tag == kNotFound) return true;
  const std::size_t close = scan.scanTo(end, tag + start.size(), limit);
  if (close == kNotFound) return false;
  content = scan.slice(tag + start.size(), close);
  return true;
}

// Reads the waypoint whose tag attributes start at `pos`; the position after it or kNotFound.
std::size_t ParseWaypoint(const TagScanner& scan, std::size_t pos, Waypoint& waypoint) {
  const std::size_t size = scan.size();
  pos = ParseWaypointTag(scan, pos, waypoint);
  if (pos == kNotFound) return kNotFound;
  const std::size_t nameStart = scan.find("<name>", pos, size);
  if (nameStart == kNotFound) return kNotFound;
  const std::size_t nameEnd = scan.scanTo("</name>", nameStart + 6, size);
  if (nameEnd == kNotFound) return kNotFound;
  const std::size_t end = scan.find("</wpt>", nameEnd + 7, size);
  if (end == kNotFound) return kNotFound;
  waypoint.name = scan.slice(nameStart + 6, nameEnd);
  if (!OptionalElement(scan, "<cmt>", "</cmt>", nameEnd + 7, end, waypoint.comment) ||
      !OptionalElement(scan, "<desc>", "</desc>", nameEnd + 7, end, waypoint.description)) {
    return kNotFound;
  }
  return end + std::strlen("</wpt>");
}

// Stores what the scanners find in the document; its buffers serve one item after the other.
class PoiAppender {
 public:
  explicit PoiAppender(FileSession& session) : session_(session), document_(session.document) {}

  void addPlacemark(const Placemark& placemark) {
    const std::string_view coordinates = placemark.coordinates;
    const std::size_t comma = coordinates.find(',');
    const Position position{coordinate(kLng, coordinates.substr(0, comma)),
                            comma == std::string_view::npos ? std::nullopt : latitudeOf(coordinates.substr(comma + 1))};
    const std::size_t description = placemark.description ? placemark.description->size() : 0;
    const int row = appendNamed(placemark.name, position, std::min(description, kMaxKmlDescriptionLength));
    if (row < 0) return;
    if (placemark.description) setDescription(row, *placemark.description);
  }

  void addWaypoint(const Waypoint& waypoint) {
    const Position position{coordinate(kLng, waypoint.longitude), coordinate(kLat, waypoint.latitude)};
    // Telephone and memo are made first, so that the row gets the room they take and no more:
    // a comment of 18 characters often leaves a telephone of a few.
    // The comment holds a telephone number, which needs no more than single bytes.
    const std::u16string telephone =
        waypoint.comment
            ? TelephoneCellText(document_, widened(WithoutCdata(*waypoint.comment).substr(0, kMaxCommentBytes)))
            : std::u16string();
    // A rich POI document keeps its memos in the rich records.
    const std::u16string memo = waypoint.description && !document_.richPoiFile
                                    ? MemoCellText(document_, decoded(*waypoint.description, kMaxMemoLength))
                                    : std::u16string();
    const int row = appendNamed(waypoint.name, position, telephone.size() + memo.size());
    if (row < 0) return;
    SetCell(document_, row, kTel, telephone);
    SetCell(document_, row, kMemo, memo);
  }

 private:
  // A coordinate's cell text; nothing leaves the cell empty.
  using Coordinate = std::optional<CoordinateText>;
  struct Position {
    Coordinate longitude;
    Coordinate latitude;
  };

  Coordinate coordinate(int column, std::string_view bytes) {
    return CoordinateCellText(document_, column, widened(bytes));
  }
  // The latitude of "latitude[,altitude]".
  Coordinate latitudeOf(std::string_view bytes) { return coordinate(kLat, bytes.substr(0, bytes.find(','))); }

  // A row with its name and position, and room for the telephone and memo to come, which take
  // at most `textBytes` characters; -1 when the name is refused.
  int appendNamed(std::string_view bytes, const Position& position, std::size_t textBytes) {
    const auto size = [](const Coordinate& text) { return text ? text->size() : 0; };
    decoded(bytes, kMaxNameLength);
    name_.swap(text_);
    const int row = session_.appendNamed(name_, size(position.longitude) + size(position.latitude) + textBytes);
    if (row >= 0 && position.longitude) SetCell(document_, row, kLng, *position.longitude);
    if (row >= 0 && position.latitude) SetCell(document_, row, kLat, *position.latitude);
    return row;
  }

  // UTF-8 text cut to a number of UTF-16 units, a reference counting as one.
  std::u16string& utf16(std::string_view bytes, std::size_t maxLength) {
    Utf8ToUtf16(bytes.substr(0, maxLength * kLongestReference), text_);
    CutCountingReferences(text_, maxLength);
    return text_;
  }

  // Element text with its references decoded; a CDATA section is taken as it stands.
  std::u16string& decoded(std::string_view bytes, std::size_t maxLength) {
    const std::string_view inside = WithoutCdata(bytes);
    utf16(inside, maxLength);
    if (inside.size() == bytes.size()) DecodeReferences(text_);
    return text_;
  }

  std::u16string_view widened(std::string_view bytes) {
    text_.assign(bytes.begin(), bytes.end());
    return text_;
  }

  // The first line of a description is the telephone and the rest the memo; a description
  // that starts with a line break has them one line further down.
  void setDescription(int row, std::string_view bytes) {
    std::u16string& text = utf16(bytes, kMaxKmlDescriptionLength);
    if (text.empty()) return;
    ReplaceLineBreakTags(text);
    const std::size_t first = text.find(u'\n');
    if (first == std::u16string::npos) {
      SetTelephone(document_, row, text);
      return;
    }
    std::size_t telephoneStart = 0;
    std::size_t memoStart = first + 1;
    if (first == 0) {
      if (const std::size_t second = text.find(u'\n', memoStart); second != std::u16string::npos) {
        telephoneStart = memoStart;
        memoStart = second + 1;
      }
    }
    SetTelephone(document_, row, std::u16string_view(text).substr(telephoneStart, memoStart - 1 - telephoneStart));
    text.erase(0, memoStart);
    DecodeReferences(text);
    session_.setMemo(row, text);
  }

  FileSession& session_;
  PoiDocument& document_;
  std::u16string name_;
  std::u16string text_;
};

// ------------------------------------------------------------------------------ reading items

// Whether the file holds an element whose start tag begins with `start`, such as "<kml".
bool HasElement(const TagScanner& scan, std::string_view start) {
  for (std::size_t pos = scan.find(start, 0, scan.size()); pos != kNotFound;
       pos = scan.find(start, pos + 1, scan.size())) {
    switch (scan.at(pos + start.size())) {
      case ' ':
      case '\t':
      case '\r':
      case '\n':
      case '/':
      case '>':
      case ':':  // a namespace prefix
        return true;
      default:
        break;
    }
  }
  return false;
}

struct KmlItems {
  // A file with none of these is no KML file; one with only a root may hold no placemark.
  static constexpr std::string_view kElements[] = {"<kml", "<placemark"};
  static std::size_t findStart(const TagScanner& scan, std::size_t from) {
    return scan.find("<placemark", from, scan.size());
  }
  // The position after the item, or kNotFound.
  static std::size_t read(const TagScanner& scan, std::size_t start, PoiAppender& appender) {
    std::optional<Placemark> placemark;
    const std::size_t next = ParsePlacemark(scan, start, placemark);
    if (next != kNotFound && placemark) appender.addPlacemark(*placemark);
    return next;
  }
};

struct GpxItems {
  static constexpr std::string_view kElements[] = {"<gpx", "<wpt"};
  // Only a blank after "<wpt" makes a waypoint: a wpt without a position, or a longer tag
  // name, is passed over.
  static std::size_t findStart(const TagScanner& scan, std::size_t from) {
    while (true) {
      const std::size_t start = scan.find("<wpt", from, scan.size());
      if (start == kNotFound || scan.at(start + 4) == ' ') return start;
      from = start + 4;
    }
  }
  static std::size_t read(const TagScanner& scan, std::size_t start, PoiAppender& appender) {
    Waypoint waypoint;
    const std::size_t next = ParseWaypoint(scan, start + 4, waypoint);
    if (next != kNotFound) appender.addWaypoint(waypoint);
    return next;
  }
};

// How far a reader that goes through the file from its start has given back the bytes it passed.
// No scan looks behind such a reader; the readers of later pieces only look beyond it.
class FrontRelease {
 public:
  void passed(const TagScanner& scan, std::size_t pos) {
    if (pos == kNotFound || pos - released_ < kReleaseStepBytes) return;
    scan.release(released_, pos);
    released_ = pos;
  }

 private:
  std::size_t released_ = 0;
};

// Reads the items that start in [pos, stop); then `pos` is where the next item starts, or
// kNotFound when there is none. A reader from the front gives back what it passes.
template <typename Items>
int ReadItemsFrom(FileSession& session, const TagScanner& scan, std::size_t& pos, std::size_t stop,
                  FrontRelease* front = nullptr) {
  PoiAppender appender(session);
  while (true) {
    const std::size_t start = Items::findStart(scan, pos);
    if (start == kNotFound || start >= stop) {
      pos = start;
      return 0;
    }
    pos = Items::read(scan, start, appender);
    if (pos == kNotFound) return kWrongContent;
    session.progress(scan.size(), pos);
    if (front != nullptr) front->passed(scan, pos);
  }
}

// Files this large are read in pieces on two cores: this thread takes them from the front and
// reads them straight into the document, as one reader would; the other takes them from the back,
// each into a document of its own. They meet wherever the work brings them together, so that a
// core slowed by other work holds up the other by no more than one piece, and only the rows read
// from the back are moved into the document.
constexpr std::size_t kPiecesFrom = 1 << 20;
constexpr std::size_t kPieceCount = 16;
// No item takes fewer bytes, so a part of a file holds at most its size / this many items.
constexpr std::size_t kMinimumItemBytes = 16;

// The number of items the whole file holds if it goes on as its first 256 KB.
template <typename Items>
std::size_t EstimatedItems(const TagScanner& scan) {
  constexpr std::size_t kSampleBytes = 256 << 10;
  std::size_t count = 0;
  for (std::size_t pos = Items::findStart(scan, 0); pos < kSampleBytes; pos = Items::findStart(scan, pos + 1)) ++count;
  return count * (scan.size() / kSampleBytes + 1);
}

// The items that start in [begin, end); a piece read from the back has a document of its own.
struct Piece {
  std::size_t begin = 0;
  std::size_t end = kNotFound;
  PoiDocument document;
  std::size_t pos = 0;  // where reading stopped: the next item's start, or kNotFound
  int result = 0;
};

// Pieces of about equal size, each starting at an item.
template <typename Items>
std::vector<Piece> SplitIntoPieces(const TagScanner& scan) {
  std::vector<std::size_t> begins{0};
  for (std::size_t k = 1; k < kPieceCount; ++k) {
    const std::size_t start = Items::findStart(scan, scan.size() / kPieceCount * k);
    if (start == kNotFound) break;
    if (start > begins.back()) begins.push_back(start);
  }
  std::vector<Piece> pieces(begins.size());
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    pieces[k].begin = pieces[k].pos = begins[k];
    pieces[k].end = k + 1 < begins.size() ? begins[k + 1] : kNotFound;
  }
  return pieces;
}

template <typename Items>
class PieceReader {
 public:
  PieceReader(FileSession& session, const TagScanner& scan, std::vector<Piece>& pieces)
      : session_(session), scan_(scan), pieces_(pieces), back_(pieces.size()) {}

  // Reads the pieces; `front` is then the number read from the front, and `pos` where that stopped.
  int read(std::size_t& front, std::size_t& pos, FrontRelease& release) {
    // Room for the rows as the start of the file suggests, so that nothing moves rows while they grow.
    expected_ = EstimatedItems<Items>(scan_);
    const PoiDocument& document = session_.document;
    for (std::size_t k = 1; k < pieces_.size(); ++k) {
      PoiDocument& pieceDocument = pieces_[k].document;
      pieceDocument.kind = document.kind;
      pieceDocument.richPoiFile = document.richPoiFile;
      pieceDocument.display = document.display;
      // Room for the ids of every item that can start before this piece.
      pieceDocument.nextRowId = document.nextRowId + static_cast<RowId>(pieces_[k].begin / kMinimumItemBytes + k);
    }
    session_.document.rows.reserve(document.rows.size() + expected_);
    FileSession frontSession(session_.document, session_.operation, session_.format, session_.settings,
                             session_.port);
    frontSession.quiet = true;
    int result = 0;
    std::jthread helper([this] {
      while (const std::optional<std::size_t> k = claim(false)) readFromBack(*k);
    });
    while (result == 0) {
      const std::optional<std::size_t> k = claim(true);
      if (!k) break;
      result = ReadItemsFrom<Items>(frontSession, scan_, pos, pieces_[*k].end, &release);
      front = *k + 1;
      finished(pieces_[*k], true);
    }
    if (result != 0) claimAll();
    return result;
  }

 private:
  // The next piece from the front or the back; nothing once they meet.
  std::optional<std::size_t> claim(bool fromFront) {
    const std::lock_guard lock(mutex_);
    if (front_ == back_) return std::nullopt;
    return fromFront ? front_++ : --back_;
  }
  void claimAll() {
    const std::lock_guard lock(mutex_);
    back_ = front_;
  }

  void readFromBack(std::size_t k) {
    Piece& piece = pieces_[k];
    const std::size_t share = expected_ * (std::min(piece.end, scan_.size()) - piece.begin) / scan_.size();
    piece.document.rows.reserve(share + share / 16 + 16);
    FileSession pieceSession(piece.document, session_.operation, session_.format, session_.settings, session_.port);
    pieceSession.quiet = true;
    piece.result = ReadItemsFrom<Items>(pieceSession, scan_, piece.pos, piece.end);
    finished(piece, false);
  }

  // Only this thread reports progress, as each of its pieces ends.
  void finished(const Piece& piece, bool onCaller) {
    bytesRead_ += std::min(piece.end, scan_.size()) - piece.begin;
    if (onCaller) session_.progress(scan_.size(), bytesRead_);
  }

  FileSession& session_;
  const TagScanner& scan_;
  std::vector<Piece>& pieces_;
  std::size_t expected_ = 0;
  std::mutex mutex_;
  std::size_t front_ = 0;  // pieces [front_, back_) are still to be read
  std::size_t back_;
  std::atomic<std::size_t> bytesRead_ = 0;
};

// Joins the pieces read from the back in file order, as if one reader had read on. A piece whose
// last item reaches past the next piece's start (a tag that never closes) means the pieces do not
// meet: then reading goes on alone from there.
template <typename Items>
int ReadItemsInPieces(FileSession& session, const TagScanner& scan, std::vector<Piece>& pieces) {
  std::size_t front = 0;
  std::size_t pos = 0;
  FrontRelease release;
  if (const int result = PieceReader<Items>(session, scan, pieces).read(front, pos, release); result != 0) {
    return result;
  }
  const bool importing = session.operation == FileOperation::Import;
  for (std::size_t k = front; k < pieces.size() && pos == pieces[k].begin; ++k) {
    AppendReadOn(session.document, std::move(pieces[k].document), importing);
    if (pieces[k].result != 0) return pieces[k].result;
    pos = pieces[k].pos;
  }
  // Nothing is left when the last piece read ended the file.
  return ReadItemsFrom<Items>(session, scan, pos, kNotFound, &release);
}

template <typename Items>
int ReadItems(FileSession& session, std::span<std::uint8_t> bytes) {
  const TagScanner scan(bytes);
  // The root comes first in a real file, so this costs a whole scan only for other files.
  if (std::ranges::none_of(Items::kElements, [&](std::string_view start) { return HasElement(scan, start); })) {
    return kUnknownContent;
  }
  // The duplicate-name check compares each name with every earlier one, so it reads in order.
  const bool inPieces = bytes.size() >= kPiecesFrom && !session.settings.on(Switch::CheckName);
  std::vector<Piece> pieces = inPieces ? SplitIntoPieces<Items>(scan) : std::vector<Piece>();
  if (pieces.size() >= 2) return ReadItemsInPieces<Items>(session, scan, pieces);
  std::size_t pos = 0;
  FrontRelease release;
  return ReadItemsFrom<Items>(session, scan, pos, kNotFound, &release);
}

// ------------------------------------------------------------------------------------ writers

constexpr std::string_view kKmlHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n<Document>\r\n";
constexpr std::string_view kKmlFooter = "</Document>\r\n</kml>\r\n";
constexpr std::string_view kGpxHeader =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n";
constexpr std::string_view kGpxFooter = "</gpx>\r\n";

// Text for an element's content: the four reserved characters as references, in UTF-8.
void AppendEncoded(std::string& out, std::u16string_view text) {
  for (const char c : Utf16ToUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

// Telephone texts hold only characters below U+0080.
void AppendBytes(std::string& out, std::u16string_view text) {
  for (const char16_t c : text) out += static_cast<char>(c);
}

void AppendPlainCoordinate(std::string& out, const PoiDocument& document, int row, int column) {
  std::u16string text(document.text(row, column));
  ToPlainDecimal(text, document.display);
  AppendBytes(out, text);
}

bool HasPosition(const PoiDocument& document, int row) {
  return !document.text(row, kLng).empty() && !document.text(row, kLat).empty();
}

void MakePlacemark(const PoiDocument& document, int row, std::string& out) {
  const std::u16string_view telephone = document.text(row, kTel);
  const std::u16string_view memo = document.text(row, kMemo);
  out = "<Placemark><name>";
  AppendEncoded(out, document.text(row, kName));
  out += "</name>";
  if (!telephone.empty() || !memo.empty()) {
    out += "<description>";
    AppendBytes(out, telephone.substr(0, kMaxTelephoneLength));
    if (!memo.empty()) out += '\n';
    AppendEncoded(out, memo);
    out += "</description>";
  }
  out += "<Point><coordinates>";
  AppendPlainCoordinate(out, document, row, kLng);
  out += ',';
  AppendPlainCoordinate(out, document, row, kLat);
  out += "</coordinates></Point></Placemark>\r\n";
}

void MakeWaypoint(const PoiDocument& document, int row, std::string& out) {
  const std::u16string_view telephone = document.text(row, kTel);
  const std::u16string_view memo = document.text(row, kMemo);
  out = "<wpt lat=\"";
  AppendPlainCoordinate(out, document, row, kLat);
  out += "\" lon=\"";
  AppendPlainCoordinate(out, document, row, kLng);
  out += "\">\r\n<name>";
  AppendEncoded(out, document.text(row, kName));
  out += "</name>\r\n";
  if (!telephone.empty()) {
    out += "<cmt>";
    AppendBytes(out, telephone);
    out += "</cmt>\r\n";
  }
  if (!memo.empty()) {
    out += "<desc>";
    AppendEncoded(out, memo);
    out += "</desc>\r\n";
  }
  out += "</wpt>\r\n";
}

// Writes header, one item for each row that has a position, and footer; counts the items and
// the rows left out.
template <typename MakeItem>
int WriteItems(FileSession& session, ByteSink& out, const std::vector<int>& rows, std::string_view header,
               std::string_view footer, MakeItem makeItem) {
  WriteCounts& counts = session.counts;
  counts = {};
  if (!out.write(header.data(), header.size())) return kCannotWrite;
  std::string item;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (HasPosition(session.document, rows[i])) {
      makeItem(session.document, rows[i], item);
      if (!out.write(item.data(), item.size())) return kCannotWrite;
      ++counts.written;
    } else {
      ++counts.leftOut;
    }
    session.progress(rows.size(), i + 1);
  }
  return out.write(footer.data(), footer.size()) ? 0 : kCannotWrite;
}

std::vector<int> SelectedRows(const PoiDocument& document) {
  std::vector<int> rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
  }
  return rows;
}

}  // namespace

int ReadKml(FileSession& session, std::span<std::uint8_t> bytes) { return ReadItems<KmlItems>(session, bytes); }

int ReadGpx(FileSession& session, std::span<std::uint8_t> bytes) { return ReadItems<GpxItems>(session, bytes); }

int WriteKml(FileSession& session, ByteSink& out) {
  return WriteItems(session, out, session.rowsToWrite(), kKmlHeader, kKmlFooter, MakePlacemark);
}

int WriteKmlForGoogleEarth(FileSession& session, ByteSink& out, int& written) {
  std::vector<int> rows = SelectedRows(session.document);
  if (rows.empty()) rows = session.rowsToWrite();
  const int result = WriteItems(session, out, rows, kKmlHeader, kKmlFooter, MakePlacemark);
  written = session.counts.written;
  return result;
}

int WriteGpx(FileSession& session, ByteSink& out) {
  return WriteItems(session, out, session.rowsToWrite(), kGpxHeader, kGpxFooter, MakeWaypoint);
}

}  // namespace qf
