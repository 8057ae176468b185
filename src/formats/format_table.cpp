#include "formats/format_table.h"

#include <algorithm>
#include <stdexcept>

#include "formats/delimited_text.h"
#include "formats/favourites.h"
#include "formats/gpi_reader.h"
#include "formats/gpx.h"
#include "formats/kml.h"
#include "formats/ov2_reader.h"
#include "formats/ov2_writer.h"
#include "formats/phonebook.h"

namespace qf {

namespace {

using enum FormatLayout;
using enum TextEncoding;

int ReadDeviceFavourites(FileSession& session, std::span<std::uint8_t> bytes) {
  return ReadFavourites(session, bytes, session.includeHome);
}

// Readers of text stop at a line end after the last byte, the KML and GPX scanners at a zero.
constexpr std::array<std::uint8_t, 2> kLineFeed = {10, 0};
constexpr std::array<std::uint8_t, 2> kReturn = {13, 0};
constexpr std::array<std::uint8_t, 2> kZeros = {0, 0};

// format, extension, name,
//     layout, encoding, chosen by extension, reader, writer, spare bytes
constexpr FormatRow kRows[] = {
    {FileFormat::Favourites, "", u"TomTom Favorites",
     Favourites, std::nullopt, false, ReadDeviceFavourites, nullptr, kZeros},
    {FileFormat::Ov2, "ov2", u"TomTom POI Files",
     Ov2, std::nullopt, true, ReadOv2, WriteOv2, kZeros},
    {FileFormat::Phonebook, "txt", u"TomTom Phonebook Files",
     Phonebook, std::nullopt, false, ReadPhonebook, WritePhonebook, kLineFeed},
    {FileFormat::Kml, "kml", u"Google Earth Files",
     Kml, std::nullopt, true, ReadKml, WriteKml, kZeros},
    {FileFormat::Gpx, "gpx", u"GPS Exchange Files",
     Gpx, std::nullopt, true, ReadGpx, WriteGpx, kZeros},
    {FileFormat::Gpi, "gpi", u"Garmin POI Files",
     Gpi, std::nullopt, true, ReadGpi, nullptr, kZeros},
    {FileFormat::CsvDetect, "csv", u"Text Files, Comma Separated",
     Csv, std::nullopt, true, ReadCommaText, nullptr, kLineFeed},
    {FileFormat::AscDetect, "asc", u"Text Files, Comma Separated",
     Asc, std::nullopt, true, ReadCommaText, nullptr, kLineFeed},
    {FileFormat::PoiDetect, "poi", u"Opel Navi Files, Comma Separated",
     Poi, std::nullopt, true, ReadCommaText, nullptr, kLineFeed},
    {FileFormat::TxtDetect, "txt", u"Text Files, Tab Separated",
     Txt, std::nullopt, true, ReadTabText, nullptr, kReturn},
    {FileFormat::CsvAnsi, "csv", u"Text Files, ANSI Comma Separated",
     Csv, Ansi, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::CsvUnicode, "csv", u"Text Files, Unicode Comma Separated",
     Csv, Unicode, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::CsvUtf8, "csv", u"Text Files, UTF-8 Comma Separated",
     Csv, Utf8, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::AscAnsi, "asc", u"Text Files, ANSI Comma Separated",
     Asc, Ansi, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::AscUnicode, "asc", u"Text Files, Unicode Comma Separated",
     Asc, Unicode, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::AscUtf8, "asc", u"Text Files, UTF-8 Comma Separated",
     Asc, Utf8, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::PoiAnsi, "poi", u"Opel Navi Files, ANSI Comma Separated",
     Poi, Ansi, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::PoiUnicode, "poi", u"Opel Navi Files, Unicode Comma Separated",
     Poi, Unicode, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::PoiUtf8, "poi", u"Opel Navi Files, UTF-8 Comma Separated",
     Poi, Utf8, false, ReadCommaText, WriteCommaText, kLineFeed},
    {FileFormat::TxtAnsi, "txt", u"Text Files, ANSI Tab Separated",
     Txt, Ansi, false, ReadTabText, WriteTabText, kReturn},
    {FileFormat::TxtUnicode, "txt", u"Text Files, Unicode Tab Separated",
     Txt, Unicode, false, ReadTabText, WriteTabText, kReturn},
    {FileFormat::TxtUtf8, "txt", u"Text Files, UTF-8 Tab Separated",
     Txt, Utf8, false, ReadTabText, WriteTabText, kReturn},
};

constexpr bool InNumberOrder() {
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    if (static_cast<std::size_t>(kRows[i].format) != i) return false;
  }
  return true;
}
static_assert(InNumberOrder());

constexpr std::string_view kEncodingNames[] = {"ansi", "unicode", "utf8"};

}  // namespace

std::span<const FormatRow> FormatRows() { return kRows; }

const FormatRow& FormatRowOf(FileFormat format) {
  const auto number = static_cast<std::size_t>(format);
  if (number >= std::size(kRows)) throw std::invalid_argument("FileFormat");
  return kRows[number];
}

std::string_view FormatExtension(FileFormat format) { return FormatRowOf(format).extension; }
std::u16string_view FormatName(FileFormat format) { return FormatRowOf(format).name; }
Reader ReaderFor(FileFormat format) { return FormatRowOf(format).reader; }
Writer WriterFor(FileFormat format) { return FormatRowOf(format).writer; }
bool CanRead(FileFormat format) { return ReaderFor(format) != nullptr; }
bool CanWrite(FileFormat format) { return WriterFor(format) != nullptr; }
std::array<std::uint8_t, 2> SpareBytes(FileFormat format) { return FormatRowOf(format).spareBytes; }

bool IsDelimitedText(FormatLayout layout) { return layout == Csv || layout == Asc || layout == Poi || layout == Txt; }

FileFormat TextFormat(FormatLayout layout, TextEncoding encoding) {
  const auto row =
      std::ranges::find_if(kRows, [&](const FormatRow& r) { return r.layout == layout && r.encoding == encoding; });
  if (row == std::end(kRows)) throw std::invalid_argument("TextFormat layout");
  return row->format;
}

std::optional<FileFormat> FormatOfExtension(std::string_view extension) {
  const auto row = std::ranges::find_if(
      kRows, [&](const FormatRow& r) { return r.chosenByExtension && r.extension == extension; });
  return row == std::end(kRows) ? std::nullopt : std::optional(row->format);
}

std::optional<FileFormat> FormatNumbered(int number) {
  if (number < 0 || number >= static_cast<int>(std::size(kRows))) return std::nullopt;
  return kRows[static_cast<std::size_t>(number)].format;
}

int FormatNumber(FileFormat format) { return static_cast<int>(format); }

std::string_view EncodingName(TextEncoding encoding) { return kEncodingNames[static_cast<std::size_t>(encoding)]; }

std::optional<TextEncoding> EncodingNamed(std::string_view name) {
  for (const TextEncoding encoding : {Ansi, Unicode, Utf8}) {
    if (EncodingName(encoding) == name) return encoding;
  }
  return std::nullopt;
}

}  // namespace qf
