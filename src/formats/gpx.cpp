#include "formats/gpx.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "core/field_rules.h"
#include "formats/xml_items.h"
#include "formats/xml_tag_scanner.h"

namespace qf {

namespace {

constexpr std::size_t kMaxCommentBytes = 18;

constexpr std::string_view kGpxHeader =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\r\n";
constexpr std::string_view kGpxFooter = "</gpx>\r\n";

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

void AddWaypoint(PoiAppender& appender, const Waypoint& waypoint) {
  PoiDocument& document = appender.document();
  const PoiAppender::Position position{appender.coordinate(kLng, waypoint.longitude),
                                       appender.coordinate(kLat, waypoint.latitude)};
  // Telephone and memo are made first, so that the row gets the room they take and no more:
  // a comment of 18 characters often leaves a telephone of a few.
  // The comment holds a telephone number, which needs no more than single bytes.
  const std::u16string telephone =
      waypoint.comment
          ? TelephoneCellText(document, appender.widened(WithoutCdata(*waypoint.comment).substr(0, kMaxCommentBytes)))
          : std::u16string();
  // A rich POI document keeps its memos in the rich records.
  const std::u16string memo = waypoint.description && !document.richPoiFile
                                  ? MemoCellText(document, appender.decoded(*waypoint.description, kMaxMemoLength))
                                  : std::u16string();
  const int row = appender.appendNamed(waypoint.name, position, telephone.size() + memo.size());
  if (row < 0) return;
  SetCell(document, row, kTel, telephone);
  SetCell(document, row, kMemo, memo);
}

constexpr std::string_view kGpxElements[] = {"<gpx", "<wpt"};

// Only a blank after "<wpt" makes a waypoint: a wpt without a position, or a longer tag
// name, is passed over.
std::size_t FindWaypoint(const TagScanner& scan, std::size_t from) {
  while (true) {
    const std::size_t start = scan.find("<wpt", from, scan.size());
    if (start == kNotFound || scan.at(start + 4) == ' ') return start;
    from = start + 4;
  }
}

// Reads the waypoint whose start tag begins at `start`; the position after it or kNotFound.
std::size_t ReadWaypoint(const TagScanner& scan, std::size_t start, PoiAppender& appender) {
  const std::size_t size = scan.size();
  Waypoint waypoint;
  const std::size_t pos = ParseWaypointTag(scan, start + 4, waypoint);
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
  AddWaypoint(appender, waypoint);
  return end + std::strlen("</wpt>");
}

constexpr ItemFormat kWaypoints{kGpxElements, FindWaypoint, ReadWaypoint};

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

}  // namespace

int ReadGpx(FileSession& session, std::span<std::uint8_t> bytes) { return ReadItems(session, bytes, kWaypoints); }

int WriteGpx(FileSession& session, ByteSink& out) {
  return WriteItems(session, out, session.rowsToWrite(), kGpxHeader, kGpxFooter, MakeWaypoint);
}

}  // namespace qf
