// Arbitrary bytes as a Garmin POI file: opened with the duplicate-name check and imported into a
// rich POI document. Only the three reader results may come back, the rows must keep the document's
// rules, and what was opened must convert to a TomTom POI file that reads back with the same rows.
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "document_checks.h"
#include "formats/file_pipeline.h"
#include "formats/file_session.h"
#include "formats/gpi_reader.h"
#include "ov2_round_trip.h"

namespace {

void Read(qf::PoiDocument& document, qf::FileOperation operation, std::vector<std::uint8_t> bytes,
          const qf::AppSettings& settings) {
  fuzz::EliminatingPort port;
  qf::FileSession session(document, operation, qf::FileFormat::Gpi, settings, port);
  const int result = qf::ReadGpi(session, bytes);
  if (result != 0 && result != qf::kUnknownContent && result != qf::kWrongContent) __builtin_trap();
  fuzz::CheckDocumentRules(document);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  qf::AppSettings settings;
  settings.set(qf::Switch::CheckName, true);
  qf::PoiDocument opened;
  Read(opened, qf::FileOperation::Open, bytes, settings);
  fuzz::CheckOv2RoundTrip(opened, false);

  qf::PoiDocument rich;
  rich.richPoiFile = true;
  Read(rich, qf::FileOperation::Import, bytes, qf::AppSettings{});
  return 0;
}
