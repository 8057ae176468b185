// Arbitrary bytes as tab text (or a phonebook when they start with a double quote); the first byte
// chooses the ANSI code page. Every POI read must save to a file that reads back with the same texts,
// as far as the file's encoding carries them, except names the file cannot tell from a comment line,
// a phonebook or a byte-order mark.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/field_rules.h"
#include "delimited_round_trip.h"
#include "formats/delimited_text.h"
#include "formats/file_session.h"

namespace {

constexpr int kCodePages[] = {1252, 1251, 932, 950};

// Reads like the pipeline: a carriage return and a zero follow the file's last byte, and nothing more.
void Read(qf::FileSession& session, const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.push_back('\r');
  bytes.push_back(0);
  if (qf::ReadTabText(session, std::span(bytes).first(size)) != 0) __builtin_trap();
  fuzz::CheckDocumentRules(session.document);
}

bool ReadsBackAsTabText(const qf::PoiDocument& document) {
  if (document.rowCount() > 0 && document.text(0, qf::kName).starts_with(u'"')) return false;
  return std::none_of(document.rows.begin(), document.rows.end(), [](const qf::PoiRecord& row) {
    const std::u16string_view name = row.text(qf::kName);
    const std::size_t first = name.find_first_not_of(u' ');
    return first != std::u16string_view::npos && name[first] == u';';
  });
}

// An ANSI name such as "ÿþ..." starts with the bytes of a byte-order mark.
bool StartsWithMark(const std::vector<std::uint8_t>& bytes) {
  const auto startsWith = [&](std::initializer_list<std::uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
  };
  return startsWith({0xFF, 0xFE}) || startsWith({0xEF, 0xBB, 0xBF});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  qf::AppSettings settings;
  settings.codePage = kCodePages[data[0] & 3];
  qf::SilentUserPort port;

  qf::PoiDocument opened;
  qf::FileSession open(opened, qf::FileOperation::Open, qf::FileFormat::TxtDetect, settings, port);
  Read(open, data + 1, size - 1);
  if (open.format == qf::FileFormat::Phonebook || !ReadsBackAsTabText(opened)) return 0;

  qf::MemorySink sink;
  qf::FileSession save(opened, qf::FileOperation::Save, open.format, settings, port);
  if (qf::WriteTabText(save, sink) != 0) __builtin_trap();
  if (open.format == qf::FileFormat::TxtAnsi && StartsWithMark(sink.bytes)) return 0;
  qf::PoiDocument again;
  qf::FileSession reopen(again, qf::FileOperation::Open, qf::FileFormat::TxtDetect, settings, port);
  Read(reopen, sink.bytes.data(), sink.bytes.size());
  if (reopen.format != open.format) __builtin_trap();
  fuzz::CheckRows(fuzz::TextSurvivors(opened, fuzz::EncodingOf(open.format), settings.codePage), again);
  return 0;
}
