// Arbitrary bytes as a TomTom POI file: opened, imported into a safety-camera document, and
// whatever was opened must save, plainly and optimised, to a file that reads back with the rows
// the record layout can carry.
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "document_checks.h"
#include "formats/file_session.h"
#include "formats/ov2_reader.h"
#include "ov2_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  settings.set(qf::Switch::CheckName, true);
  fuzz::EliminatingPort port;

  std::vector<std::uint8_t> bytes(data, data + size);
  qf::PoiDocument opened;
  qf::FileSession open(opened, qf::FileOperation::Open, qf::FileFormat::Ov2, settings, port);
  qf::ReadOv2(open, bytes);
  fuzz::CheckDocumentRules(opened);
  fuzz::CheckOv2RoundTrip(opened, false);
  fuzz::CheckOv2RoundTrip(opened, true);

  bytes.assign(data, data + size);
  qf::PoiDocument cameras;
  cameras.kind = qf::DocumentKind::SafetyCamera;
  qf::FileSession import(cameras, qf::FileOperation::Import, qf::FileFormat::Ov2, settings, port);
  qf::ReadOv2(import, bytes);
  fuzz::CheckDocumentRules(cameras);
  return 0;
}
