#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_sink.h"
#include "core/coordinates.h"
#include "formats/file_session.h"
#include "formats/xml_tag_scanner.h"

namespace qf {

// The items of KML and GPX files, placemarks and waypoints, read into rows by the tag scanner
// and written from fixed templates.

// Stores what the scanners find in the document; its buffers serve one item after the other.
class PoiAppender {
 public:
  explicit PoiAppender(FileSession& session) : session_(session), document_(session.document) {}

  // A coordinate's cell text; nothing leaves the cell empty.
  using Coordinate = std::optional<CoordinateText>;
  struct Position {
    Coordinate longitude;
    Coordinate latitude;
  };

  FileSession& session() { return session_; }
  PoiDocument& document() { return document_; }

  Coordinate coordinate(int column, std::string_view bytes);
  // A row with its name and position, and room for the telephone and memo to come, which take
  // at most `textBytes` characters; -1 when the name is refused.
  int appendNamed(std::string_view bytes, const Position& position, std::size_t textBytes);
  // UTF-8 text cut to a number of UTF-16 units, a reference counting as one.
  std::u16string& utf16(std::string_view bytes, std::size_t maxLength);
  // Element text with its references decoded; a CDATA section is taken as it stands.
  std::u16string& decoded(std::string_view bytes, std::size_t maxLength);
  // Bytes as the characters of the same code points.
  std::u16string_view widened(std::string_view bytes) {
    text_.assign(bytes.begin(), bytes.end());
    return text_;
  }

 private:
  FileSession& session_;
  PoiDocument& document_;
  std::u16string name_;
  std::u16string text_;
};

// How a format's items are found and read.
struct ItemFormat {
  // A file with none of these elements is not of the format; one with only a root may hold no item.
  std::span<const std::string_view> elements;
  // Where the next item starts at or after `from`, or kNotFound.
  std::size_t (*findStart)(const TagScanner& scan, std::size_t from);
  // Reads the item that starts at `start`: the position after it, or kNotFound on a fault.
  std::size_t (*read)(const TagScanner& scan, std::size_t start, PoiAppender& appender);
};

// Reads the file contents, whose following byte must be zero. The contents are used up: the memory
// of a large file is given back as it is read. Returns 0, kUnknownContent for a file without a
// single element of the format, or kWrongContent; the POIs read before a fault stay in the document.
int ReadItems(FileSession& session, std::span<std::uint8_t> bytes, const ItemFormat& format);

// The item of a row, which has a position.
using MakeItem = void (*)(const PoiDocument& document, int row, std::string& out);

// Writes header, one item for each row that has a position, and footer; counts the items and
// the rows left out. Returns 0 or kCannotWrite.
int WriteItems(FileSession& session, ByteSink& out, const std::vector<int>& rows, std::string_view header,
               std::string_view footer, MakeItem makeItem);

// Telephone texts hold only characters below U+0080.
void AppendBytes(std::string& out, std::u16string_view text);
// A coordinate as plain decimal degrees.
void AppendPlainCoordinate(std::string& out, const PoiDocument& document, int row, int column);

}  // namespace qf
