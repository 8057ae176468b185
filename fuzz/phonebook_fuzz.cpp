// Arbitrary bytes as a phonebook: opened and imported; every contact opened with a telephone
// must save to a file that reads back with as many contacts.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/field_rules.h"
#include "formats/file_session.h"
#include "formats/phonebook.h"

namespace {

// Eliminates every duplicate it is asked about, so that reading with "Check Name" skips contacts.
class EliminatingPort : public qf::SilentUserPort {
 public:
  qf::DuplicateAnswer askDuplicateName(std::u16string_view) override { return qf::DuplicateAnswer::Eliminate; }
};

// Reads like the pipeline: a line feed follows the file's last byte.
void Read(qf::FileSession& session, const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back('\n');
  if (qf::ReadPhonebook(session, std::span(bytes).first(size)) != 0) __builtin_trap();
}

// The device code cannot carry U+A001 to U+F000: such a name comes back as other characters.
bool HasUnencodableName(const qf::PoiDocument& document) {
  for (int row = 0; row < document.rowCount(); ++row) {
    const std::u16string_view name = document.text(row, qf::kName);
    if (std::any_of(name.begin(), name.end(), [](char16_t c) { return c >= 0xA001 && c <= 0xF000; })) return true;
  }
  return false;
}

void CheckRoundTrip(qf::PoiDocument& document) {
  qf::AppSettings settings;
  qf::SilentUserPort port;
  qf::MemorySink sink;
  qf::FileSession save(document, qf::FileOperation::Save, qf::FileFormat::Phonebook, settings, port);
  if (qf::WritePhonebook(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  qf::FileSession open(again, qf::FileOperation::Open, qf::FileFormat::Phonebook, settings, port);
  Read(open, sink.bytes.data(), sink.bytes.size());
  const auto withTelephone = std::count_if(document.rows.begin(), document.rows.end(),
                                           [](const qf::PoiRecord& row) { return !row.text(qf::kTel).empty(); });
  if (again.rowCount() != withTelephone && !HasUnencodableName(document)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  settings.set(qf::Switch::CheckName, true);
  EliminatingPort port;

  qf::PoiDocument opened;
  qf::FileSession open(opened, qf::FileOperation::Open, qf::FileFormat::Phonebook, settings, port);
  Read(open, data, size);
  CheckRoundTrip(opened);

  qf::PoiDocument rich;
  rich.richPoiFile = true;
  qf::FileSession import(rich, qf::FileOperation::Import, qf::FileFormat::Phonebook, settings, port);
  Read(import, data, size);
  return 0;
}
