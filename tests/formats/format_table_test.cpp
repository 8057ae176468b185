#include "formats/format_table.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

// A row added or changed must agree with the rows of its kind, or look-ups by number, extension
// or encoding would find the wrong format.
TEST(FormatTable, RowsAgreeWithTheirLookUps) {
  for (const FormatRow& row : FormatRows()) {
    SCOPED_TRACE(FormatNumber(row.format));
    EXPECT_EQ(&FormatRowOf(row.format), &row);
    EXPECT_EQ(FormatNumbered(FormatNumber(row.format)), row.format);
    if (row.chosenByExtension) {
      EXPECT_EQ(FormatOfExtension(row.extension), row.format);
    }
    if (!IsDelimitedText(row.layout)) continue;
    // Text is read with its encoding detected, and written in the encoding chosen.
    const FormatRow& detecting = FormatRowOf(*FormatOfExtension(row.extension));
    EXPECT_EQ(detecting.layout, row.layout);
    EXPECT_EQ(detecting.spareBytes, row.spareBytes);
    EXPECT_EQ(row.writer == nullptr, !row.encoding);
    if (row.encoding) {
      EXPECT_EQ(TextFormat(row.layout, *row.encoding), row.format);
    }
  }
  EXPECT_EQ(FormatNumbered(-1), std::nullopt);
  EXPECT_EQ(FormatNumbered(static_cast<int>(FormatRows().size())), std::nullopt);
  EXPECT_EQ(FormatOfExtension(""), std::nullopt);
  EXPECT_EQ(FormatOfExtension("bmp"), std::nullopt);
  EXPECT_THROW(TextFormat(FormatLayout::Ov2, TextEncoding::Ansi), std::invalid_argument);
  for (const TextEncoding encoding : {TextEncoding::Ansi, TextEncoding::Unicode, TextEncoding::Utf8}) {
    EXPECT_EQ(EncodingNamed(EncodingName(encoding)), encoding);
  }
  EXPECT_EQ(EncodingNamed("latin9"), std::nullopt);
}

}  // namespace
}  // namespace qf
