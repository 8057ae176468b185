// Arbitrary bytes as comma text: the first byte chooses the layout (csv, asc, poi) and the ANSI
// code page, the rest is the file. Every POI read must save to a file that reads back with the same
// texts, as far as the file's encoding carries them.
#include <cstdint>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "delimited_round_trip.h"
#include "formats/delimited_text.h"
#include "formats/file_session.h"

namespace {

constexpr int kCodePages[] = {1252, 1251, 932, 950};

// Reads like the pipeline: a line feed and a zero follow the file's last byte, and nothing more.
void Read(qf::FileSession& session, const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back('\n');
  bytes.push_back(0);
  if (qf::ReadCommaText(session, std::span(bytes).first(size)) != 0) __builtin_trap();
  fuzz::CheckDocumentRules(session.document);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  qf::AppSettings settings;
  settings.codePage = kCodePages[data[0] >> 4 & 3];
  qf::SilentUserPort port;
  constexpr qf::FileFormat kLayouts[] = {qf::FileFormat::CsvDetect, qf::FileFormat::AscDetect, qf::FileFormat::PoiDetect};
  const qf::FileFormat layout = kLayouts[data[0] % 3];

  qf::PoiDocument opened;
  qf::FileSession open(opened, qf::FileOperation::Open, layout, settings, port);
  Read(open, data + 1, size - 1);

  qf::MemorySink sink;
  qf::FileSession save(opened, qf::FileOperation::Save, open.format, settings, port);
  if (qf::WriteCommaText(save, sink) != 0) __builtin_trap();
  qf::PoiDocument again;
  qf::FileSession reopen(again, qf::FileOperation::Open, layout, settings, port);
  Read(reopen, sink.bytes.data(), sink.bytes.size());
  if (reopen.format != open.format) __builtin_trap();
  fuzz::CheckRows(fuzz::TextSurvivors(opened, fuzz::EncodingOf(open.format), settings.codePage), again);
  return 0;
}
