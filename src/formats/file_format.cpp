#include "formats/file_format.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace qf {

namespace {

FileFormat TextFormat(FileFormat ansiFormat, TextEncoding encoding) {
  return static_cast<FileFormat>(static_cast<int>(ansiFormat) + static_cast<int>(encoding));
}

}  // namespace

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

std::string_view FormatExtension(FileFormat format) {
  switch (format) {
    case FileFormat::Favourites:
      return {};
    case FileFormat::Ov2:
      return "ov2";
    case FileFormat::Phonebook:
      return "txt";
    case FileFormat::Kml:
      return "kml";
    case FileFormat::Gpx:
      return "gpx";
    case FileFormat::Gpi:
      return "gpi";
    default:
      break;
  }
  // The text formats: the four detecting ones, then the four layouts in three encodings each.
  static constexpr std::string_view kTextExtensions[] = {"csv", "asc", "poi", "txt"};
  const int value = static_cast<int>(format);
  if (value < static_cast<int>(FileFormat::CsvAnsi)) return kTextExtensions[value - static_cast<int>(FileFormat::CsvDetect)];
  return kTextExtensions[(value - static_cast<int>(FileFormat::CsvAnsi)) / 3];
}

FileFormat ReadFormatForPath(const std::filesystem::path& path) {
  const std::string extension = LowerExtension(path);
  if (extension == "ov2") return FileFormat::Ov2;
  if (extension == "kml") return FileFormat::Kml;
  if (extension == "gpx") return FileFormat::Gpx;
  if (extension == "gpi") return FileFormat::Gpi;
  if (extension == "csv") return FileFormat::CsvDetect;
  if (extension == "asc") return FileFormat::AscDetect;
  if (extension == "poi") return FileFormat::PoiDetect;
  return FileFormat::TxtDetect;
}

FileFormat WriteFormatForPath(std::filesystem::path& path, TextEncoding encoding) {
  const std::string extension = LowerExtension(path);
  if (extension == "ov2") return FileFormat::Ov2;
  if (extension == "kml") return FileFormat::Kml;
  if (extension == "gpx") return FileFormat::Gpx;
  if (extension == "gpi") {
    path.replace_extension(".ov2");
    return FileFormat::Ov2;
  }
  if (extension == "csv") return TextFormat(FileFormat::CsvAnsi, encoding);
  if (extension == "asc") return TextFormat(FileFormat::AscAnsi, encoding);
  if (extension == "poi") return TextFormat(FileFormat::PoiAnsi, encoding);
  return TextFormat(FileFormat::TxtAnsi, encoding);
}

std::u16string_view FormatName(FileFormat format) {
  static constexpr std::u16string_view kNames[] = {
      u"TomTom Favorites",
      u"TomTom POI Files",
      u"TomTom Phonebook Files",
      u"Google Earth Files",
      u"GPS Exchange Files",
      u"Garmin POI Files",
      u"Text Files, Comma Separated",
      u"Text Files, Comma Separated",
      u"Opel Navi Files, Comma Separated",
      u"Text Files, Tab Separated",
      u"Text Files, ANSI Comma Separated",
      u"Text Files, Unicode Comma Separated",
      u"Text Files, UTF-8 Comma Separated",
      u"Text Files, ANSI Comma Separated",
      u"Text Files, Unicode Comma Separated",
      u"Text Files, UTF-8 Comma Separated",
      u"Opel Navi Files, ANSI Comma Separated",
      u"Opel Navi Files, Unicode Comma Separated",
      u"Opel Navi Files, UTF-8 Comma Separated",
      u"Text Files, ANSI Tab Separated",
      u"Text Files, Unicode Tab Separated",
      u"Text Files, UTF-8 Tab Separated",
  };
  const int value = static_cast<int>(format);
  return value >= 0 && value < static_cast<int>(std::size(kNames)) ? kNames[value] : std::u16string_view();
}

}  // namespace qf
