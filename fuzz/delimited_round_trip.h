// What the comma and tab text fuzz targets share: the texts a row keeps through a text file.
#pragma once

#include <unicode/ucnv.h>

#include <memory>
#include <string>
#include <vector>

#include "core/field_rules.h"
#include "core/poi_document.h"
#include "core/unicode.h"
#include "document_checks.h"
#include "formats/file_format.h"
#include "formats/format_table.h"

namespace fuzz {

// Text through a Windows code page the way the text files convert it: a character the code page
// lacks becomes '?', and a code page ICU does not know is taken as 1252.
inline std::u16string ThroughCodePage(std::u16string_view text, int codePage) {
  struct Closer {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
  };
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, Closer> converter(ucnv_open(("windows-" + std::to_string(codePage)).c_str(), &status));
  if (U_FAILURE(status) || !converter) {
    status = U_ZERO_ERROR;
    converter.reset(ucnv_open("windows-1252", &status));
  }
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter.get(), "?", 1, &status);
  std::string bytes(text.size() * static_cast<std::size_t>(ucnv_getMaxCharSize(converter.get())), '\0');
  bytes.resize(static_cast<std::size_t>(ucnv_fromUChars(converter.get(), bytes.data(),
                                                        static_cast<std::int32_t>(bytes.size()), text.data(),
                                                        static_cast<std::int32_t>(text.size()), &status)));
  std::u16string back(bytes.size(), u'\0');
  back.resize(static_cast<std::size_t>(ucnv_toUChars(converter.get(), back.data(), static_cast<std::int32_t>(back.size()),
                                                     bytes.data(), static_cast<std::int32_t>(bytes.size()), &status)));
  if (U_FAILURE(status)) __builtin_trap();
  return back;
}

// The texts of a file's rows as they read back: UTF-16 keeps every unit, UTF-8 turns half a
// surrogate pair into U+FFFD, ANSI keeps what the code page has; and the reader puts every text
// through its rule again, which trims a blank that a dropped control character left at either end.
inline std::vector<Row> TextSurvivors(const qf::PoiDocument& document, qf::TextEncoding encoding, int codePage) {
  auto through = [&](std::u16string_view text) -> std::u16string {
    switch (encoding) {
      case qf::TextEncoding::Unicode:
        return std::u16string(text);
      case qf::TextEncoding::Utf8:
        return qf::Utf8ToUtf16(qf::Utf16ToUtf8(text));
      case qf::TextEncoding::Ansi:
        return ThroughCodePage(text, codePage);
    }
    return {};
  };
  std::vector<Row> rows;
  for (Row row : RowsOf(document)) {
    row.name = through(row.name);
    if (qf::NormaliseName(row.name) == 0) continue;
    row.tel = qf::TelephoneCellText(document, row.tel);
    row.memo = qf::MemoCellText(document, through(row.memo));
    rows.push_back(row);
  }
  return rows;
}

// The encoding of one of the exact text formats.
inline qf::TextEncoding EncodingOf(qf::FileFormat format) { return qf::FormatRowOf(format).encoding.value(); }

}  // namespace fuzz
