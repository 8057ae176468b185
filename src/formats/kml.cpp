#include "formats/kml.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/field_rules.h"
#include "formats/xml_items.h"
#include "formats/xml_tag_scanner.h"

namespace qf {

namespace {

constexpr std::size_t kMaxKmlDescriptionLength = 274;

constexpr std::string_view kKmlHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n<Document>\r\n";
constexpr std::string_view kKmlFooter = "</Document>\r\n</kml>\r\n";

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

// The first line of a description is the telephone and the rest the memo; a description
// that starts with a line break has them one line further down.
void SetDescription(PoiAppender& appender, int row, std::string_view bytes) {
  PoiDocument& document = appender.document();
  std::u16string& text = appender.utf16(bytes, kMaxKmlDescriptionLength);
  if (text.empty()) return;
  ReplaceLineBreakTags(text);
  const std::size_t first = text.find(u'\n');
  if (first == std::u16string::npos) {
    SetTelephone(document, row, text);
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
  SetTelephone(document, row, std::u16string_view(text).substr(telephoneStart, memoStart - 1 - telephoneStart));
  text.erase(0, memoStart);
  DecodeReferences(text);
  appender.session().setMemo(row, text);
}

void AddPlacemark(PoiAppender& appender, const Placemark& placemark) {
  // "longitude,latitude[,altitude]"
  const std::string_view coordinates = placemark.coordinates;
  const std::size_t comma = coordinates.find(',');
  PoiAppender::Position position{appender.coordinate(kLng, coordinates.substr(0, comma)), std::nullopt};
  if (comma != std::string_view::npos) {
    const std::string_view rest = coordinates.substr(comma + 1);
    position.latitude = appender.coordinate(kLat, rest.substr(0, rest.find(',')));
  }
  const std::size_t description = placemark.description ? placemark.description->size() : 0;
  const int row = appender.appendNamed(placemark.name, position, std::min(description, kMaxKmlDescriptionLength));
  if (row < 0) return;
  if (placemark.description) SetDescription(appender, row, *placemark.description);
}

// Reads the placemark whose start tag begins at `start`. Returns the position after it, or
// kNotFound on a structural fault. A placemark without a Point adds no row.
std::size_t ReadPlacemark(const TagScanner& scan, std::size_t start, PoiAppender& appender) {
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
  AddPlacemark(appender,
               Placemark{scan.slice(nameStart + 6, nameEnd), scan.slice(coordinates + 13, coordinatesEnd), description});
  return next;
}

// A file with none of these is no KML file; one with only a root may hold no placemark.
constexpr std::string_view kKmlElements[] = {"<kml", "<placemark"};

std::size_t FindPlacemark(const TagScanner& scan, std::size_t from) {
  return scan.find("<placemark", from, scan.size());
}

constexpr ItemFormat kPlacemarks{kKmlElements, FindPlacemark, ReadPlacemark};

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

std::vector<int> SelectedRows(const PoiDocument& document) {
  std::vector<int> rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (document.rows[static_cast<std::size_t>(row)].selected) rows.push_back(row);
  }
  return rows;
}

}  // namespace

int ReadKml(FileSession& session, std::span<std::uint8_t> bytes) { return ReadItems(session, bytes, kPlacemarks); }

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

}  // namespace qf
