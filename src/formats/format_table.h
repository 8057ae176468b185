#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "core/byte_sink.h"
#include "core/poi_document.h"

namespace qf {

class FileSession;

// Every file format the program knows, one row each: what its files are called and how they are
// read and written. Adding a format is one row here and its reader and writer.

enum class TextEncoding : int { Ansi, Unicode, Utf8 };

// How a format lays out its POIs. Csv, Asc and Poi are comma separated, Txt tab separated.
enum class FormatLayout { Favourites, Ov2, Phonebook, Kml, Gpx, Gpi, Csv, Asc, Poi, Txt };

using Reader = int (*)(FileSession&, std::span<std::uint8_t>);
using Writer = int (*)(FileSession&, ByteSink&);

struct FormatRow {
  FileFormat format;
  std::string_view extension;  // of its files, without the dot; empty for the device favourites
  std::u16string_view name;    // as the file dialogs name it, e.g. "TomTom POI Files"
  FormatLayout layout;
  std::optional<TextEncoding> encoding;  // of a text layout; none while it is still to be detected
  // A file of this extension is read as this format. The phonebook shares "txt" with the tab text,
  // whose reader recognises phonebooks, so it is only ever chosen in a dialog.
  bool chosenByExtension;
  Reader reader;  // nullptr: this format is never read
  Writer writer;  // nullptr: read only
  std::array<std::uint8_t, 2> spareBytes;  // what the reader expects after the file's last byte
};

// The rows in the order of the format numbers.
std::span<const FormatRow> FormatRows();
// Throws std::invalid_argument for a value that is no format.
const FormatRow& FormatRowOf(FileFormat format);

// Look-ups of one field of a format's row.
std::string_view FormatExtension(FileFormat format);
std::u16string_view FormatName(FileFormat format);
Reader ReaderFor(FileFormat format);
Writer WriterFor(FileFormat format);
bool CanRead(FileFormat format);
bool CanWrite(FileFormat format);
std::array<std::uint8_t, 2> SpareBytes(FileFormat format);

// Csv, Asc, Poi and Txt.
bool IsDelimitedText(FormatLayout layout);
// The format of a text layout in an encoding. Throws std::invalid_argument for any other layout.
FileFormat TextFormat(FormatLayout layout, TextEncoding encoding);

// The format a file of this extension (lower case, without the dot) is read as; none for an
// extension that names no format.
std::optional<FileFormat> FormatOfExtension(std::string_view extension);

// The numbers users give formats by on the command line: the file dialogs' filter indexes.
std::optional<FileFormat> FormatNumbered(int number);
int FormatNumber(FileFormat format);

// An encoding's short name, "ansi", "unicode" or "utf8", and back.
std::string_view EncodingName(TextEncoding encoding);
std::optional<TextEncoding> EncodingNamed(std::string_view name);

}  // namespace qf
