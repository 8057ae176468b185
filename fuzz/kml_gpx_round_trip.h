// What the KML and GPX fuzz targets share: arbitrary bytes read as the format, and every POI
// read that has a position must save to a file that reads back with as many POIs.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/poi_document.h"
#include "formats/file_session.h"
#include "formats/kml_gpx.h"

namespace fuzz {

using Reader = int (*)(qf::FileSession&, std::span<std::uint8_t>);
using Writer = int (*)(qf::FileSession&, qf::ByteSink&);

// Reads like the pipeline: a zero follows the file's last byte, and nothing more.
inline int Read(qf::PoiDocument& document, qf::FileFormat format, Reader reader, const std::uint8_t* data,
                std::size_t size) {
  qf::AppSettings settings;
  qf::SilentUserPort port;
  qf::FileSession session(document, qf::FileOperation::Open, format, settings, port);
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back(0);
  return reader(session, std::span(bytes).first(size));
}

inline void CheckRoundTrip(qf::FileFormat format, Reader reader, Writer writer, const std::uint8_t* data,
                           std::size_t size) {
  qf::PoiDocument opened;
  Read(opened, format, reader, data, size);
  int positioned = 0;
  for (int row = 0; row < opened.rowCount(); ++row) {
    positioned += !opened.text(row, qf::kLng).empty() && !opened.text(row, qf::kLat).empty();
  }
  qf::AppSettings settings;
  qf::SilentUserPort port;
  qf::MemorySink sink;
  qf::FileSession save(opened, qf::FileOperation::Save, format, settings, port);
  if (writer(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  if (Read(again, format, reader, sink.bytes.data(), sink.bytes.size()) != 0 || again.rowCount() != positioned) {
    __builtin_trap();
  }
}

}  // namespace fuzz
