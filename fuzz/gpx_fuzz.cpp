// Arbitrary bytes as a GPX file. Every POI read that has a position must save to a file that
// reads back with as many POIs.
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/poi_document.h"
#include "formats/file_session.h"
#include "formats/kml_gpx.h"

namespace {

// Reads like the pipeline: a zero follows the file's last byte, and nothing more.
int Read(qf::PoiDocument& document, const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  qf::SilentUserPort port;
  qf::FileSession session(document, qf::FileOperation::Open, qf::FileFormat::Gpx, settings, port);
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back(0);
  return qf::ReadGpx(session, std::span(bytes).first(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::PoiDocument opened;
  Read(opened, data, size);
  int positioned = 0;
  for (int row = 0; row < opened.rowCount(); ++row) {
    positioned += !opened.text(row, qf::kLng).empty() && !opened.text(row, qf::kLat).empty();
  }

  qf::AppSettings settings;
  qf::SilentUserPort port;
  qf::MemorySink sink;
  qf::FileSession save(opened, qf::FileOperation::Save, qf::FileFormat::Gpx, settings, port);
  if (qf::WriteGpx(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  if (Read(again, sink.bytes.data(), sink.bytes.size()) != 0 || again.rowCount() != positioned) __builtin_trap();
  return 0;
}
