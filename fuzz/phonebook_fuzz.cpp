// Arbitrary bytes as a phonebook: opened and imported; every contact opened with a telephone
// must save to a file that reads back with the same contacts.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/field_rules.h"
#include "document_checks.h"
#include "formats/charcode.h"
#include "formats/file_session.h"
#include "formats/phonebook.h"

namespace {

// Reads like the pipeline: a line feed follows the file's last byte.
void Read(qf::FileSession& session, const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back('\n');
  if (qf::ReadPhonebook(session, std::span(bytes).first(size)) != 0) __builtin_trap();
  fuzz::CheckDocumentRules(session.document);
}

// A file holds the contacts that have a telephone. A double quote in a name becomes an apostrophe;
// a name with a character from U+0100 up is written in the 16-bit character code, which cannot carry
// U+A001 to U+F000: they come back as other characters, and the name rule applies again.
std::vector<fuzz::Row> Survivors(const qf::PoiDocument& document) {
  std::vector<fuzz::Row> rows;
  for (fuzz::Row row : fuzz::RowsOf(document)) {
    if (row.tel.empty()) continue;
    std::replace(row.name.begin(), row.name.end(), u'"', u'\'');
    if (fuzz::Contains(row.name, [](char16_t c) { return c >= 0x100; })) {
      for (char16_t& c : row.name) c = qf::DecodeCharCode(qf::EncodeCharCode(c));
    }
    if (qf::NormaliseName(row.name) == 0) continue;
    row.tel = qf::TelephoneCellText(document, row.tel);
    rows.push_back(row);
  }
  return rows;
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
  fuzz::CheckRows(Survivors(document), again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qf::AppSettings settings;
  settings.set(qf::Switch::CheckName, true);
  fuzz::EliminatingPort port;

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
