// What the targets whose documents are saved as TomTom POI files share: which rows, and which
// texts of them, a TomTom POI file gives back, and a check that a save and a read give exactly those.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/coordinates.h"
#include "core/field_rules.h"
#include "document_checks.h"
#include "formats/charcode.h"
#include "formats/file_session.h"
#include "formats/ov2_reader.h"
#include "formats/ov2_writer.h"
#include "formats/signal_mark.h"

namespace fuzz {

inline constexpr std::size_t kRichCharacters = 126;

// Name and telephone as a record carries them: the name, then ">" and the telephone. In the 16-bit
// character code U+A001 to U+F000 come back as other characters, which may even be the ">".
inline std::u16string RecordText(const Row& row, std::size_t limit, bool coded) {
  std::u16string text = row.name;
  if (!row.tel.empty()) text += u'>' + row.tel;
  text.resize(std::min(text.size(), limit));
  if (coded) {
    for (char16_t& c : text) c = qf::DecodeCharCode(qf::EncodeCharCode(c));
  }
  return text;
}

// The reader splits the text at its first ">" and puts both parts through their rules again;
// nothing when the name rule drops the POI.
inline std::optional<Row> ReadBack(const qf::PoiDocument& document, Row row, std::u16string_view text) {
  const std::size_t mark = text.find(u'>');
  std::u16string name(text.substr(0, mark));
  if (qf::NormaliseName(name) == 0) return std::nullopt;
  row.name = name;
  row.tel = mark == std::u16string_view::npos ? u"" : qf::TelephoneCellText(document, text.substr(mark + 1));
  return row;
}

// A rich record holds the memo's leading number in 24 bits; an empty memo stays empty.
inline std::u16string RichMemo(std::u16string_view memo) {
  if (memo.empty()) return u"";
  const double value = qf::LeadingNumber(memo);
  const auto whole = std::fabs(value) < 9e18 ? static_cast<std::int64_t>(value) : 0;
  const std::string digits = std::to_string(static_cast<std::uint64_t>(whole) & 0xFFFFFF);
  return {digits.begin(), digits.end()};
}

// A camera record holds a camera code and a speed byte of five km/h; an empty speed is written as 60.
inline Row CameraRow(Row row) {
  row.name = qf::kSafetyCameraName;
  if (std::find(std::begin(qf::kCameraTypeNames), std::end(qf::kCameraTypeNames), row.memo) ==
      std::end(qf::kCameraTypeNames)) {
    row.memo = qf::kCameraTypeNames[qf::kOtherCameraCode - qf::kFirstCameraCode];
  }
  if (row.tel.empty()) {
    row.tel = u"60";
  } else if (const double speed = qf::LeadingNumber(row.tel); speed != 0) {
    const int byte = static_cast<int>(std::clamp(speed, 20.0, 140.0)) / 5;
    const std::string text = std::to_string(std::clamp(byte / 2 * 10, 20, 140));
    row.tel.assign(text.begin(), text.end());
  } else {
    row.tel = u"0";
  }
  return row;
}

// What the rows of a document look like once written and read back.
inline std::vector<Row> Ov2Survivors(const qf::PoiDocument& document) {
  std::vector<Row> rows;
  for (const Row& row : RowsOf(document)) {
    std::optional<Row> survivor;
    if (document.kind == qf::DocumentKind::SafetyCamera) {
      survivor = CameraRow(row);
    } else if (document.richPoiFile) {
      survivor = ReadBack(document, row, RecordText(row, kRichCharacters, true));
      if (survivor) survivor->memo = RichMemo(row.memo);
    } else {
      const bool coded = Contains(row.name, [](char16_t c) { return c >= 0x100; });
      survivor = ReadBack(document, row, RecordText(row, qf::kMaxNameLength + 1 + qf::kMaxTelephoneLength, coded));
    }
    if (survivor) rows.push_back(*survivor);
  }
  return rows;
}

// Saves the document, plainly or optimised, and reads the file back.
inline void CheckOv2RoundTrip(qf::PoiDocument& document, bool optimise) {
  qf::AppSettings settings;
  settings.set(qf::Switch::OptimisePoi, optimise);
  settings.set(qf::Switch::SignalMark, true);
  qf::SilentUserPort port;
  qf::MemorySink sink;
  qf::FileSession save(document, qf::FileOperation::Save, qf::FileFormat::Ov2, settings, port);
  if (qf::WriteOv2(save, sink) != 0) __builtin_trap();

  qf::PoiDocument again;
  qf::FileSession open(again, qf::FileOperation::Open, qf::FileFormat::Ov2, settings, port);
  if (qf::ReadOv2(open, sink.bytes) != 0) __builtin_trap();
  CheckDocumentRules(again);
  CheckRows(Ov2Survivors(document), again, optimise);
  // Every saved file starts with a valid mark: the document's own, or one the writer made and kept.
  const int sum = document.kind == qf::DocumentKind::SafetyCamera ? qf::kCameraMarkSum : qf::kPoiMarkSum;
  if (!qf::IsValidMark(again.signalMark, sum)) __builtin_trap();
  if (qf::IsValidMark(document.signalMark, sum) && again.signalMark != document.signalMark) __builtin_trap();
  if (!again.rows.empty() && (again.kind != document.kind || again.richPoiFile != document.richPoiFile)) {
    __builtin_trap();
  }
}

}  // namespace fuzz
