// Arbitrary bytes as a TomTom POI file: opened, imported into a safety-camera document,
// and whatever was opened must save to a file that reads back with the same rows.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/field_rules.h"
#include "formats/file_session.h"
#include "formats/ov2_reader.h"
#include "formats/ov2_writer.h"

namespace {

// Eliminates every duplicate it is asked about, so that reading with "Check Name" skips POIs.
class EliminatingPort : public qf::SilentUserPort {
 public:
  qf::DuplicateAnswer askDuplicateName(std::u16string_view) override { return qf::DuplicateAnswer::Eliminate; }
};

// The device code cannot carry U+A001 to U+F000: such a name comes back as other
// characters, which the name rule may then drop.
bool HasUnencodableName(const qf::PoiDocument& document) {
  for (int row = 0; row < document.rowCount(); ++row) {
    const std::u16string_view name = document.text(row, qf::kName);
    if (std::any_of(name.begin(), name.end(), [](char16_t c) { return c >= 0xA001 && c <= 0xF000; })) return true;
  }
  return false;
}

void CheckRoundTrip(qf::PoiDocument& document, bool optimise) {
  qf::AppSettings settings;
  settings.set(qf::Switch::OptimisePoi, optimise);
  settings.set(qf::Switch::SignalMark, true);
  EliminatingPort port;
  qf::MemorySink sink;
  qf::FileSession save(document, qf::FileOperation::Save, qf::FileFormat::Ov2, settings, port);
  if (qf::WriteOv2(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  qf::FileSession open(again, qf::FileOperation::Open, qf::FileFormat::Ov2, settings, port);
  if (qf::ReadOv2(open, sink.bytes) != 0) __builtin_trap();
  if (again.rowCount() != document.rowCount() && !HasUnencodableName(document)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  settings.set(qf::Switch::CheckName, true);
  EliminatingPort port;

  std::vector<std::uint8_t> bytes(data, data + size);
  qf::PoiDocument opened;
  qf::FileSession open(opened, qf::FileOperation::Open, qf::FileFormat::Ov2, settings, port);
  qf::ReadOv2(open, bytes);
  CheckRoundTrip(opened, false);
  CheckRoundTrip(opened, true);

  bytes.assign(data, data + size);
  qf::PoiDocument cameras;
  cameras.kind = qf::DocumentKind::SafetyCamera;
  qf::FileSession import(cameras, qf::FileOperation::Import, qf::FileFormat::Ov2, settings, port);
  qf::ReadOv2(import, bytes);
  return 0;
}
