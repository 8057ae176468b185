// What the KML and GPX fuzz targets share: arbitrary bytes read as the format, and every POI read
// that has a position must save to a file that reads back with the same texts.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/poi_document.h"
#include "core/unicode.h"
#include "document_checks.h"
#include "formats/file_session.h"
#include "formats/gpx.h"
#include "formats/kml.h"

namespace fuzz {

using Reader = int (*)(qf::FileSession&, std::span<std::uint8_t>);
using Writer = int (*)(qf::FileSession&, qf::ByteSink&);

// Reads like the pipeline: a zero follows the file's last byte, and nothing more.
inline int Read(qf::PoiDocument& document, qf::FileFormat format, Reader reader, const std::uint8_t* data,
                std::size_t size, bool checkName) {
  qf::AppSettings settings;
  settings.set(qf::Switch::CheckName, checkName);
  EliminatingPort port;
  qf::FileSession session(document, qf::FileOperation::Open, format, settings, port);
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back(0);
  return reader(session, std::span(bytes).first(size));
}

// A file holds only the rows with a position. Its text is UTF-8, which cannot carry half a surrogate
// pair (that becomes U+FFFD), and the reader puts every text through its rule again, which trims
// a blank that a dropped control character left at either end.
inline std::vector<Row> Survivors(const qf::PoiDocument& document) {
  auto throughUtf8 = [](std::u16string_view text) { return qf::Utf8ToUtf16(qf::Utf16ToUtf8(text)); };
  std::vector<Row> rows;
  for (Row row : RowsOf(document)) {
    if (row.lng.empty() || row.lat.empty()) continue;
    row.name = throughUtf8(row.name);
    qf::NormaliseName(row.name);
    row.tel = qf::TelephoneCellText(document, row.tel);
    row.memo = qf::MemoCellText(document, throughUtf8(row.memo));
    rows.push_back(row);
  }
  return rows;
}

inline void CheckRoundTrip(qf::FileFormat format, Reader reader, Writer writer, const std::uint8_t* data,
                           std::size_t size) {
  qf::PoiDocument opened;
  Read(opened, format, reader, data, size, true);
  CheckDocumentRules(opened);

  qf::AppSettings settings;
  qf::SilentUserPort port;
  qf::MemorySink sink;
  qf::FileSession save(opened, qf::FileOperation::Save, format, settings, port);
  if (writer(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  if (Read(again, format, reader, sink.bytes.data(), sink.bytes.size(), false) != 0) __builtin_trap();
  CheckRows(Survivors(opened), again);
}

}  // namespace fuzz
