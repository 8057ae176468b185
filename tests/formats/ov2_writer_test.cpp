#include "formats/ov2_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/ov2_reader.h"
#include "formats/ov2_record_maker.h"
#include "formats/signal_mark.h"
#include "support/test_support.h"

namespace qf {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Uint32At(const Bytes& bytes, std::size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}
std::int32_t Int32At(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::int32_t>(Uint32At(bytes, offset));
}

class FailingSink : public ByteSink {
 public:
  bool write(const void*, std::size_t) override { return false; }
};

// The five texts of a row, for comparing documents.
using RowTexts = std::array<std::u16string, 5>;

class Ov2WriterTest : public testing::Test {
 protected:
  void SetUp() override {
    settings.set(Switch::OptimisePoi, false);
    settings.set(Switch::SignalMark, false);
  }

  int add(std::u16string_view name, std::int32_t longitude, std::int32_t latitude, std::u16string_view tel = {},
          std::u16string_view memo = {}) {
    const int row = AppendPoi(document, name, false);
    SetCell(document, row, kLng, FormatUnits(longitude, Axis::Longitude, document.display));
    SetCell(document, row, kLat, FormatUnits(latitude, Axis::Latitude, document.display));
    SetTelephone(document, row, tel);
    SetMemo(document, row, memo);
    return row;
  }

  Bytes write(FileOperation operation = FileOperation::Save) {
    MemorySink sink;
    FileSession session(document, operation, FileFormat::Ov2, settings, port);
    EXPECT_EQ(WriteOv2(session, sink), 0);
    return sink.bytes;
  }

  PoiDocument readBack(Bytes bytes) const {
    PoiDocument read;
    read.display = document.display;
    test::ScriptedUserPort readPort;
    FileSession session(read, FileOperation::Open, FileFormat::Ov2, settings, readPort);
    EXPECT_EQ(ReadOv2(session, bytes), 0);
    return read;
  }

  static std::vector<RowTexts> Texts(const PoiDocument& from, bool sorted) {
    std::vector<RowTexts> rows;
    for (int row = 0; row < from.rowCount(); ++row) {
      rows.push_back({std::u16string(from.text(row, kName)), std::u16string(from.text(row, kLng)),
                      std::u16string(from.text(row, kLat)), std::u16string(from.text(row, kTel)),
                      std::u16string(from.text(row, kMemo))});
    }
    if (sorted) std::sort(rows.begin(), rows.end());
    return rows;
  }

  PoiDocument document;
  AppSettings settings;
  test::ScriptedUserPort port;
};

TEST_F(Ov2WriterTest, ByteExamples) {
  add(u"Cafe", 489000, 5237000, u"123", u"x");
  EXPECT_EQ(write(), test::Hex("02 18 00 00 00 28 76 07 00 08 E9 4F 00 43 61 66 65 3E 31 32 33 00 78 00"));

  document = PoiDocument{};
  document.kind = DocumentKind::SafetyCamera;
  add(kSafetyCameraName, 489000, 5237000, u"50", u"Fixed");
  const Bytes bytes = write();
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 21), Bytes(kCameraSignalMark.begin(), kCameraSignalMark.end()));
  EXPECT_EQ(Bytes(bytes.begin() + 21, bytes.end()), test::Hex("1E 81 28 76 07 00 08 E9 4F 00 0A"));
}

TEST_F(Ov2WriterTest, PlainSaveFollowsTableOrderAndMarkOption) {
  add(u"B", 2, 2);
  add(u"A", 1, 1);
  Bytes bytes = write();
  ASSERT_EQ(bytes.size(), 30u);
  EXPECT_EQ(bytes[13], 'B');
  EXPECT_EQ(bytes[28], 'A');
  EXPECT_FALSE(document.hasSignalMark());

  settings.set(Switch::SignalMark, true);
  bytes = write();
  ASSERT_EQ(bytes.size(), 51u);
  SignalMark mark;
  std::copy(bytes.begin(), bytes.begin() + 21, mark.begin());
  EXPECT_TRUE(IsValidMark(mark, kPoiMarkSum));
  EXPECT_EQ(document.signalMark, mark);
  bytes = write();
  EXPECT_TRUE(std::equal(mark.begin(), mark.end(), bytes.begin()));  // reused

  document.signalMark[5] ^= 1;  // a damaged mark is replaced
  bytes = write();
  std::copy(bytes.begin(), bytes.begin() + 21, mark.begin());
  EXPECT_TRUE(IsValidMark(mark, kPoiMarkSum));
  EXPECT_EQ(document.signalMark, mark);
}

TEST_F(Ov2WriterTest, CameraDocumentKeepsItsOwnValidMark) {
  document.kind = DocumentKind::SafetyCamera;
  add(kSafetyCameraName, 1, 1, u"", u"");
  SignalMark own = kCameraSignalMark;
  std::swap(own[5], own[6]);
  document.signalMark = own;
  EXPECT_TRUE(std::equal(own.begin(), own.end(), write().begin()));
  document.signalMark[6] = 0;
  EXPECT_TRUE(std::equal(kCameraSignalMark.begin(), kCameraSignalMark.end(), write().begin()));
  EXPECT_EQ(MarkCheckSum(kCameraSignalMark), kCameraMarkSum);
}

TEST(SignalMarkTest, NewMarksHaveTheirRangesAndCheckSum) {
  for (std::uint32_t seed = 0; seed < 5000; ++seed) {
    const SignalMark mark = NewSignalMark(seed);
    ASSERT_EQ(mark[0], 100);
    ASSERT_EQ(Uint32At(Bytes(mark.begin(), mark.end()), 1), 21u);
    for (std::size_t offset = 5; offset <= 8; ++offset) ASSERT_NE(mark[offset], 0);
    for (std::size_t offset : {9, 10, 11, 12, 13, 15, 17, 18, 19, 20}) ASSERT_EQ(mark[offset], 0);
    ASSERT_EQ(mark[14], 0x80);
    ASSERT_GE(mark[16], 1);  // 255 - b with b from 0 to 254
    ASSERT_EQ(MarkCheckSum(mark), kPoiMarkSum);
  }
}

TEST_F(Ov2WriterTest, WideNamesUseTheCharacterCode) {
  add(u"\u6771\u4EAC Caf\u00E9", -489000, -5237000, u"+81 3", u"\u00DCn\u00EFc\u00F6d\u00E9 \u2713");
  add(u"Caf\u00E9", 0, 0);
  const Bytes bytes = write();
  EXPECT_EQ(bytes[13], '>');
  EXPECT_EQ(bytes[14], '>');
  EXPECT_EQ(Uint32At(bytes, 1), 13u + 2 + 2 * 13 + 1 + 2 * 9);
  EXPECT_EQ(Texts(readBack(bytes), false), Texts(document, false));
}

TEST_F(Ov2WriterTest, RichRecords) {
  document.richPoiFile = true;
  add(u"Ab", 489000, 5237000, u"", u"");
  add(u"Ab", 489000, 5237000, u"12", u"1234567");
  add(u"Ab", 489000, 5237000, u"", u"16777221");
  add(u"X", 1, 1);
  add(std::u16string(200, u'\u4E2D'), 1, 1, u"", u"7");
  const Bytes bytes = write();
  const Bytes codesOnly = test::Hex("1D 05 28 76 07 00 08 E9 4F 00 05 01 41 21 62 21");
  ASSERT_TRUE(std::equal(codesOnly.begin(), codesOnly.end(), bytes.begin()));
  std::size_t at = codesOnly.size();
  EXPECT_EQ(bytes[at + 1], 3 + 2 * 5);
  EXPECT_EQ(Bytes(bytes.begin() + at + 10, bytes.begin() + at + 14), test::Hex("06 87 D6 12"));
  at += bytes[at + 1] + 11;
  EXPECT_EQ(Bytes(bytes.begin() + at + 10, bytes.begin() + at + 14), test::Hex("06 05 00 00"));
  at += bytes[at + 1] + 11;
  // A lone character gets a blank after it so that the record has the 16 bytes readers need.
  EXPECT_EQ(Bytes(bytes.begin() + at, bytes.begin() + at + 16),
            test::Hex("1D 05 01 00 00 00 01 00 00 00 05 01 58 21 20 21"));
  at += 16;
  EXPECT_EQ(bytes[at + 1], 255);  // 126 characters
  EXPECT_EQ(at + 255 + 11, bytes.size());

  const PoiDocument read = readBack(bytes);
  ASSERT_EQ(read.rowCount(), 5);
  EXPECT_EQ(read.text(1, kTel), u"12");
  EXPECT_EQ(read.text(1, kMemo), u"1234567");
  EXPECT_EQ(read.text(2, kMemo), u"5");
  EXPECT_EQ(read.text(3, kName), u"X");
  EXPECT_EQ(read.text(4, kName), std::u16string(126, u'\u4E2D'));
}

TEST_F(Ov2WriterTest, CameraRecords) {
  document.kind = DocumentKind::SafetyCamera;
  add(kSafetyCameraName, 1, 1, u"", u"Mobile");
  add(kSafetyCameraName, 1, 1, u"70", u"Grade crossing without gates");
  add(kSafetyCameraName, 1, 1, u"0", u"");
  const Bytes bytes = write();
  ASSERT_EQ(bytes.size(), 21u + 33);
  EXPECT_EQ(bytes[21 + 1], 130);
  EXPECT_EQ(bytes[21 + 10], 12);
  EXPECT_EQ(bytes[32 + 1], 140);
  EXPECT_EQ(bytes[32 + 10], 14);
  EXPECT_EQ(bytes[43 + 1], 134);
  EXPECT_EQ(bytes[43 + 10], 0);
  const PoiDocument read = readBack(bytes);
  EXPECT_EQ(read.text(0, kTel), u"60");
  EXPECT_EQ(read.text(1, kTel), u"70");
  EXPECT_EQ(read.text(2, kMemo), u"Other");
}

TEST_F(Ov2WriterTest, EveryDocumentKindReadsBack) {
  for (const bool optimise : {false, true}) {
    for (const DocumentKind kind : {DocumentKind::Poi, DocumentKind::SafetyCamera}) {
      for (const bool rich : {false, true}) {
        if (kind == DocumentKind::SafetyCamera && rich) continue;
        SCOPED_TRACE(testing::Message() << "optimise " << optimise << " kind " << int(kind) << " rich " << rich);
        document = PoiDocument{};
        document.kind = kind;
        document.richPoiFile = rich;
        settings.set(Switch::OptimisePoi, optimise);
        settings.set(Switch::SignalMark, true);
        for (int i = 0; i < 40; ++i) {
          const std::int32_t x = -1234567 + (i % 7) * 2500 + (i / 7) * 300000;
          const std::int32_t y = 5237000 - (i % 3) * 4000;
          if (kind == DocumentKind::SafetyCamera) {
            add(kSafetyCameraName, x, y, std::u16string(1, u'2' + i % 7) + u"0", kCameraTypeNames[i % 12]);
          } else {
            const std::u16string number(1, u'0' + i % 10);
            add(u"\u4E2D\u6587 POI " + number + std::u16string(static_cast<std::size_t>(i), u'\u00E9'), x, y,
                i % 2 ? u"+49 30 " + number : u"", rich ? u"1" + number + u"0" : u"Memo \u2713 " + number);
          }
        }
        const PoiDocument read = readBack(write());
        EXPECT_EQ(read.kind, kind);
        EXPECT_EQ(read.richPoiFile, rich);
        EXPECT_EQ(read.signalMark, kind == DocumentKind::SafetyCamera ? kCameraSignalMark : document.signalMark);
        EXPECT_EQ(Texts(read, optimise), Texts(document, optimise));
      }
    }
  }
}

TEST_F(Ov2WriterTest, OptimisedCellOfThreeIsTheWholeFile) {
  settings.set(Switch::OptimisePoi, true);
  add(u"A", 486000, 5237000);
  add(u"B", 487000, 5238000);
  add(u"C", 488000, 5236000);
  const Bytes bytes = write();
  ASSERT_EQ(bytes.size(), 21u + 3 * 15);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(Uint32At(bytes, 1), bytes.size());
  EXPECT_EQ(Int32At(bytes, 5), 488001);
  EXPECT_EQ(Int32At(bytes, 9), 5238001);
  EXPECT_EQ(Int32At(bytes, 13), 485999);
  EXPECT_EQ(Int32At(bytes, 17), 5235999);
  EXPECT_EQ(bytes[21 + 13], 'A');
}

TEST_F(Ov2WriterTest, OptimisedLonePoisAreBareInsideTheTopSkipper) {
  settings.set(Switch::OptimisePoi, true);
  add(u"A", 489000, 5237000);
  add(u"B", -7400000, 4070000);
  const Bytes bytes = write();
  ASSERT_EQ(bytes.size(), 21u + 2 * 15);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(Uint32At(bytes, 1), bytes.size());
  EXPECT_EQ(Int32At(bytes, 5), 489001);
  EXPECT_EQ(Int32At(bytes, 13), -7400001);
  EXPECT_EQ(bytes[21], 2);
  EXPECT_EQ(bytes[36], 2);
}

TEST_F(Ov2WriterTest, OptimisedCellsAreAnchoredAtTheFloor) {
  settings.set(Switch::OptimisePoi, true);
  add(u"E", 1000, 1000);
  add(u"W", -1000, 1000);
  add(u"X", -2000, 1000);
  add(u"Y", -3000, 1000);
  // Cells (0, 0) and (-5000, 0) form a group; only the western cell has three rows.
  const Bytes bytes = write();
  ASSERT_EQ(bytes.size(), 21u + 21 + 4 * 15);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(Uint32At(bytes, 1), bytes.size());
  EXPECT_EQ(bytes[21], 2);  // the eastern cell came first
  EXPECT_EQ(bytes[21 + 13], 'E');
  EXPECT_EQ(bytes[36], 1);
  EXPECT_EQ(Uint32At(bytes, 37), 21u + 3 * 15);
  EXPECT_EQ(Int32At(bytes, 36 + 5), -999);
  EXPECT_EQ(Int32At(bytes, 36 + 13), -3001);
  EXPECT_EQ(Int32At(bytes, 13), -3001);
  EXPECT_EQ(Int32At(bytes, 5), 1001);
}

TEST_F(Ov2WriterTest, EmptyOptimisedSaveWritesOnlyTheMark) {
  settings.set(Switch::OptimisePoi, true);
  EXPECT_TRUE(write().empty());
  settings.set(Switch::SignalMark, true);
  EXPECT_EQ(write().size(), 21u);
}

TEST_F(Ov2WriterTest, MissingCoordinateFallsBackToPlainWriting) {
  settings.set(Switch::OptimisePoi, true);
  add(u"A", 1, 1);
  add(u"B", 2, 2);
  add(u"C", 3, 3);
  SetCell(document, 1, kLat, u"");
  const Bytes bytes = write();
  ASSERT_EQ(bytes.size(), 3u * 15);
  EXPECT_EQ(bytes[15 + 13], 'B');
  EXPECT_EQ(Int32At(bytes, 15 + 9), kMissingUnits);
  EXPECT_EQ(readBack(bytes).text(1, kLat), u"");
}

TEST_F(Ov2WriterTest, FailedWritesAreReported) {
  add(u"A", 1, 1);
  for (const bool optimise : {false, true}) {
    settings.set(Switch::OptimisePoi, optimise);
    FailingSink sink;
    FileSession session(document, FileOperation::Save, FileFormat::Ov2, settings, port);
    EXPECT_EQ(WriteOv2(session, sink), kCannotWrite);
  }
}

// The optimiser as plainly stated: a linear search for cells and a pairwise scan for groups.
Bytes LiteralOptimised(const PoiDocument& document) {
  if (document.rowCount() == 0) return {};  // no empty top skipper
  struct Box {
    std::int64_t east, north, west, south;
  };
  const auto widen = [](Box& box, const Box& by) {
    box = {std::max(box.east, by.east), std::max(box.north, by.north), std::min(box.west, by.west),
           std::min(box.south, by.south)};
  };
  const auto grow = [](const Box& box, std::int64_t by) {
    return Box{box.east + by, box.north + by, box.west - by, box.south - by};
  };
  struct Cell {
    std::int64_t x0 = 0, y0 = 0;
    Box box{};
    bool empty = true;
    std::vector<int> rows;
    bool taken = false;
  };
  struct Group {
    std::vector<std::size_t> cells;
    Box box;
  };
  std::vector<Cell> cells;
  std::vector<UnitPosition> positions;
  for (int row = 0; row < document.rowCount(); ++row) {
    const UnitPosition p = RowPosition(document, row);
    positions.push_back(p);
    Cell* cell = nullptr;
    for (Cell& c : cells) {
      if (c.x0 <= p.longitude && p.longitude < c.x0 + 5000 && c.y0 <= p.latitude && p.latitude < c.y0 + 5000) {
        cell = &c;
        break;
      }
    }
    if (cell == nullptr) {
      cell = &cells.emplace_back();
      cell->x0 = static_cast<std::int64_t>(std::floor(p.longitude / 5000.0)) * 5000;
      cell->y0 = static_cast<std::int64_t>(std::floor(p.latitude / 5000.0)) * 5000;
    }
    const Box point{p.longitude, p.latitude, p.longitude, p.latitude};
    if (cell->empty) cell->box = point;
    cell->empty = false;
    widen(cell->box, point);
    cell->rows.push_back(row);
  }
  for (Cell& c : cells) c.box = grow(c.box, 1);
  std::vector<Group> groups;
  if (cells.size() >= 2) {
    for (std::size_t a = 0; a + 1 < cells.size(); ++a) {
      if (cells[a].taken) continue;
      const Box r = grow(cells[a].box, 10000);
      Group* group = nullptr;
      for (std::size_t b = a + 1; b < cells.size(); ++b) {
        if (cells[b].taken) continue;
        const Box g = grow(cells[b].box, 10000);
        if (std::max(r.west, g.west) < std::min(r.east, g.east) &&
            std::max(r.south, g.south) < std::min(r.north, g.north)) {
          if (group == nullptr) {
            groups.push_back({{a}, cells[a].box});
            group = &groups.back();
            cells[a].taken = true;
          }
          group->cells.push_back(b);
          cells[b].taken = true;
          widen(group->box, cells[b].box);
        }
      }
    }
  }
  const auto skipper = [](Bytes& out, std::size_t at, const Box& box) {
    Bytes fields;
    for (std::int64_t value : {std::int64_t(out.size() - at), box.east, box.north, box.west, box.south}) {
      for (int shift = 0; shift < 32; shift += 8) fields.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    out[at] = 1;
    std::copy(fields.begin(), fields.end(), out.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  };
  const auto emitCell = [&](Bytes& out, const Cell& cell) {
    const std::size_t at = out.size();
    if (cell.rows.size() >= 3) out.resize(out.size() + 21);
    for (int row : cell.rows) MakePoiRecord(document.rows[static_cast<std::size_t>(row)], positions[row], out);
    if (cell.rows.size() >= 3) skipper(out, at, cell.box);
  };
  Bytes out(21);
  Box top{-18000000, -9000000, 18000000, 9000000};
  for (const Group& group : groups) {
    std::size_t rows = 0;
    for (std::size_t c : group.cells) rows += cells[c].rows.size();
    if (group.cells.size() >= 3 || rows >= 3) {
      const std::size_t at = out.size();
      out.resize(out.size() + 21);
      for (std::size_t c : group.cells) emitCell(out, cells[c]);
      skipper(out, at, group.box);
      widen(top, group.box);
    } else {
      for (std::size_t c : group.cells) cells[c].taken = false;
    }
  }
  for (const Cell& cell : cells) {
    if (cell.taken) continue;
    emitCell(out, cell);
    widen(top, cell.box);
  }
  skipper(out, 0, top);
  const bool oneBlock = out.size() > 21 && out[21] == 1 && Uint32At(out, 22) + 21 == out.size();
  return oneBlock ? Bytes(out.begin() + 21, out.end()) : out;
}

TEST_F(Ov2WriterTest, FastOptimiserEqualsThePlainAlgorithm) {
  settings.set(Switch::OptimisePoi, true);
  std::mt19937 random(1209);
  const auto uniform = [&](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };
  for (int trial = 0; trial < 300; ++trial) {
    document = PoiDocument{};
    const int clusters = static_cast<int>(uniform(1, 8));
    const std::int64_t spread = std::array<std::int64_t, 4>{0, 3000, 12000, 40000}[uniform(0, 3)];
    std::vector<std::pair<std::int64_t, std::int64_t>> centres;
    for (int c = 0; c < clusters; ++c) {
      // Centres near zero or on grid lines, so that cells meet on both sides of them.
      const bool onGrid = uniform(0, 1) == 1;
      std::int64_t x = uniform(-200000, 200000);
      std::int64_t y = uniform(-200000, 200000);
      if (onGrid) {
        x = x / 5000 * 5000;
        y = y / 5000 * 5000;
      }
      centres.emplace_back(x, y);
    }
    const int rows = static_cast<int>(uniform(0, 250));
    for (int i = 0; i < rows; ++i) {
      const auto [cx, cy] = centres[static_cast<std::size_t>(uniform(0, clusters - 1))];
      std::int64_t x = cx + uniform(-spread, spread);
      std::int64_t y = cy + uniform(-spread, spread);
      if (uniform(0, 9) == 0) x = x / 5000 * 5000;  // exactly on a border
      if (uniform(0, 9) == 0) y = y / 5000 * 5000 - 1;
      add(u"P" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)), static_cast<std::int32_t>(x),
          static_cast<std::int32_t>(y), i % 3 ? u"" : u"12", i % 4 ? u"" : u"m");
    }
    ASSERT_EQ(write(), LiteralOptimised(document)) << "trial " << trial;
  }
}

// The top skipper is written over its place once its size is known: after the mark, not over it.
TEST_F(Ov2WriterTest, OptimisedSaveWithTheMarkHasTheTopSkipperAfterIt) {
  settings.set(Switch::OptimisePoi, true);
  settings.set(Switch::SignalMark, true);
  for (int i = 0; i < 40; ++i) add(u"P", 489000 + i * 4000, 5237000 - i * 3000, i % 2 ? u"1" : u"");
  const Bytes bytes = write();
  ASSERT_GT(bytes.size(), 21u);
  SignalMark mark;
  std::copy(bytes.begin(), bytes.begin() + 21, mark.begin());
  EXPECT_TRUE(IsValidMark(mark, kPoiMarkSum));
  EXPECT_EQ(Bytes(bytes.begin() + 21, bytes.end()), LiteralOptimised(document));
}

// Enough rows that the records are made on two cores, stretch by stretch, of different sizes.
TEST_F(Ov2WriterTest, FastOptimiserEqualsThePlainAlgorithmOnManyRows) {
  settings.set(Switch::OptimisePoi, true);
  std::mt19937 random(1210);
  const auto uniform = [&](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };
  for (int i = 0; i < 150000; ++i) {
    const std::int64_t cluster = uniform(0, 11);
    const std::int64_t x = cluster * 40000 - 200000 + uniform(-3000, 3000);
    const std::int64_t y = cluster % 3 * 30000 + uniform(-3000, 3000);
    add(u"P" + std::u16string(static_cast<std::size_t>(uniform(0, 20)), u'n'), static_cast<std::int32_t>(x),
        static_cast<std::int32_t>(y), i % 3 ? u"" : u"12", i % 4 ? u"" : u"memo");
  }
  ASSERT_EQ(write(), LiteralOptimised(document));
}

TEST_F(Ov2WriterTest, FastOptimiserFindsPartnersAtTheFarthestReach) {
  // Two cells five squares apart still meet when their points sit on the facing edges; six apart they do not.
  settings.set(Switch::OptimisePoi, true);
  const auto edges = [](std::int64_t anchor, int direction, int squares) {
    if (direction > 0) return std::pair{anchor + 4999, anchor + squares * 5000};
    if (direction < 0) return std::pair{anchor, anchor - squares * 5000 + 4999};
    return std::pair{anchor + 2000, anchor + 2000};
  };
  const std::pair<int, int> directions[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}};
  for (int column = -7; column <= 7; ++column) {
    for (const int squares : {5, 6}) {
      for (const auto& [dx, dy] : directions) {
        document = PoiDocument{};
        const auto [ax, bx] = edges(column * 5000, dx, squares);
        const auto [ay, by] = edges(-column * 5000, dy, squares);
        for (int i = 0; i < 3; ++i) add(u"A", static_cast<std::int32_t>(ax), static_cast<std::int32_t>(ay));
        add(u"B", static_cast<std::int32_t>(bx), static_cast<std::int32_t>(by));
        add(u"C", 17000000, 8000000);
        const Bytes bytes = write();
        ASSERT_EQ(bytes, LiteralOptimised(document)) << column << " " << squares << " " << dx << " " << dy;
        // The top skipper holds a group skipper only when the cells met.
        EXPECT_EQ(bytes.size(), (squares == 5 ? 21u : 0u) + 21 + 21 + 5 * 15);
      }
    }
  }
}

TEST_F(Ov2WriterTest, OptimisedCellsMeetOnlyWhenTheirGrownBoxesOverlap) {
  // Grown by the margin and the reach, boxes 20002 units apart touch but do not overlap.
  settings.set(Switch::OptimisePoi, true);
  for (const std::int32_t gap : {20001, 20002}) {
    for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
      document = PoiDocument{};
      for (int i = 0; i < 3; ++i) add(u"A", 0, 0);
      add(u"B", dx * gap, dy * gap);
      add(u"C", 17000000, 8000000);
      const Bytes bytes = write();
      ASSERT_EQ(bytes, LiteralOptimised(document)) << gap << " " << dx << " " << dy;
      EXPECT_EQ(bytes.size(), (gap == 20001 ? 21u : 0u) + 21 + 21 + 5 * 15);
    }
  }
}

TEST_F(Ov2WriterTest, FastOptimiserTakesAnyCoordinates) {
  // Files can carry coordinates far off the map: cells then spread over the whole 32-bit range,
  // and crowd together and meet at its ends like anywhere else.
  settings.set(Switch::OptimisePoi, true);
  constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::lowest();
  constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
  std::mt19937 random(31);
  const auto uniform = [&](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };
  const auto coordinate = [&] {
    switch (uniform(0, 3)) {
      case 0:
        return uniform(kLowest, kHighest);
      case 1:
        return kLowest + uniform(0, 40000);
      case 2:
        return kHighest - uniform(0, 40000);
      default:
        return uniform(-40000, 40000);
    }
  };
  for (int trial = 0; trial < 40; ++trial) {
    document = PoiDocument{};
    for (int i = 0; i < 150; ++i) {
      add(u"P", static_cast<std::int32_t>(coordinate()), static_cast<std::int32_t>(coordinate()));
    }
    ASSERT_EQ(write(), LiteralOptimised(document)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace qf
