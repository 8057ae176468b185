#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/poi_record.h"

namespace qf {

enum class DocumentKind : std::uint8_t { Poi = 0, SafetyCamera = 1, Phonebook = 2 };

enum class FileOperation : std::uint8_t { Open = 0, Save = 1, Import = 2, Export = 3 };

// The file-dialog filter index of a format; readers refine 6..9 to the exact value.
enum class FileFormat : int {
  Favourites = 0,
  Ov2 = 1,
  Phonebook = 2,
  Kml = 3,
  Gpx = 4,
  Gpi = 5,
  CsvDetect = 6,
  AscDetect = 7,
  PoiDetect = 8,
  TxtDetect = 9,
  CsvAnsi = 10,
  CsvUnicode = 11,
  CsvUtf8 = 12,
  AscAnsi = 13,
  AscUnicode = 14,
  AscUtf8 = 15,
  PoiAnsi = 16,
  PoiUnicode = 17,
  PoiUtf8 = 18,
  TxtAnsi = 19,
  TxtUnicode = 20,
  TxtUtf8 = 21,
};

// How coordinates and distances are shown; mirrors the switches of the settings file.
struct DisplayOptions {
  bool dms = false;               // "DMS Format"
  bool compass = false;           // "Compass Direction"
  bool metric = false;            // "Metric Unit"
  bool adjacentDistance = true;   // "Adjacent Distance"
  bool showDistance = false;      // "Show Distance"
};

// The base row's position, cached so that distances need one trigonometric step per row.
struct BasePointCache {
  double longitude = 0;
  double latitude = 0;
  double longitudeRadians = 0;
  double sinLatitude = 0;
  double cosLatitude = 0;
};

using SignalMark = std::array<std::uint8_t, 21>;

// The open document: its rows in table order plus its identity.
struct PoiDocument {
  std::vector<PoiRecord> rows;
  DocumentKind kind = DocumentKind::Poi;
  bool richPoiFile = false;
  FileFormat format = FileFormat::Ov2;
  std::filesystem::path path;
  std::u16string title = u"Untitled";
  bool modified = false;
  SignalMark signalMark{};  // signalMark[0] is 100 when a mark is present
  int baseRow = -1;
  bool basePointPinned = false;
  DisplayOptions display;
  BasePointCache basePoint;
  RowId nextRowId = 1;

  int rowCount() const { return static_cast<int>(rows.size()); }
  std::u16string_view text(int row, int column) const { return rows[static_cast<std::size_t>(row)].text(column); }
  bool hasSignalMark() const { return signalMark[0] == 100; }
};

// Empties the document as the New command does; display options are kept.
void ResetToNew(PoiDocument& document);

}  // namespace qf
