#include "formats/ov2_writer.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>

#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "formats/signal_mark.h"

namespace qf {

namespace {

constexpr std::size_t kSkipperBytes = 21;
constexpr std::size_t kRichCharacters = 126;
// L below 5 would make a type-29 record shorter than readers accept.
constexpr std::size_t kRichMinimumL = 5;
constexpr std::uint8_t kRichCodes = 5;        // encoding byte: codes only
constexpr std::uint8_t kRichNumberCodes = 6;  // encoding byte: number, then codes
constexpr std::uint8_t kEmptySpeedByte = 12;  // reads back as 60
constexpr std::size_t kChunkBytes = 1 << 20;
constexpr std::int64_t kCellSize = 5000;     // 0.05 degree
constexpr std::int64_t kGroupReach = 10000;  // 0.1 degree

void PutUint32(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}
void PutInt32(std::uint8_t* p, std::int64_t value) { PutUint32(p, static_cast<std::uint32_t>(value)); }
void PutUnit(std::uint8_t* p, char16_t unit) {
  p[0] = static_cast<std::uint8_t>(unit);
  p[1] = static_cast<std::uint8_t>(unit >> 8);
}

// Room for `size` more bytes at the end of `out`.
std::uint8_t* Extend(std::vector<std::uint8_t>& out, std::size_t size) {
  const std::size_t start = out.size();
  out.resize(start + size);
  return out.data() + start;
}

// The leading decimal number of a text, as a whole number.
std::int64_t WholeNumber(std::u16string_view text) {
  const double value = LeadingNumber(text);
  return std::fabs(value) < 9e18 ? static_cast<std::int64_t>(value) : 0;
}

// The text a POI record carries: the name, and ">" and the telephone when there is one.
class RecordText {
 public:
  explicit RecordText(const PoiRecord& row)
      : name_(row.text(kName).substr(0, kMaxNameLength)), telephone_(row.text(kTel).substr(0, kMaxTelephoneLength)) {}

  std::size_t size() const { return name_.size() + (telephone_.empty() ? 0 : 1 + telephone_.size()); }

  bool fitsInBytes() const {
    const auto small = [](char16_t c) { return c < 0x100; };
    return std::all_of(name_.begin(), name_.end(), small) && std::all_of(telephone_.begin(), telephone_.end(), small);
  }

  // Calls `f` for the first `limit` characters.
  template <typename F>
  void forEach(std::size_t limit, F f) const {
    for (char16_t c : name_.substr(0, limit)) f(c);
    if (telephone_.empty() || limit <= name_.size()) return;
    f(u'>');
    for (char16_t c : telephone_.substr(0, limit - name_.size() - 1)) f(c);
  }

 private:
  std::u16string_view name_;
  std::u16string_view telephone_;
};

}  // namespace

UnitPosition RowPosition(const PoiDocument& document, int row) {
  return {CoordinateToUnits(document.text(row, kLng), document.display),
          CoordinateToUnits(document.text(row, kLat), document.display)};
}

std::size_t MakePoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  const RecordText text(row);
  const std::u16string_view memo = row.text(kMemo).substr(0, kMaxMemoLength);
  const bool bytes = text.fitsInBytes();
  const std::size_t textBytes = bytes ? text.size() : 2 + 2 * text.size();
  const std::size_t length = 13 + textBytes + 1 + 2 * memo.size();
  std::uint8_t* p = Extend(out, length);
  p[0] = 2;
  PutUint32(p + 1, static_cast<std::uint32_t>(length));
  PutInt32(p + 5, position.longitude);
  PutInt32(p + 9, position.latitude);
  p += 13;
  if (bytes) {
    text.forEach(text.size(), [&](char16_t c) { *p++ = static_cast<std::uint8_t>(c); });
  } else {
    *p++ = '>';
    *p++ = '>';
    text.forEach(text.size(), [&](char16_t c) {
      PutUnit(p, EncodeCharCode(c));
      p += 2;
    });
  }
  *p++ = 0;
  for (char16_t c : memo) {
    PutUnit(p, c);
    p += 2;
  }
  return length;
}

std::size_t MakeRichPoiRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  const RecordText text(row);
  const std::u16string_view memo = row.text(kMemo);
  const bool number = !memo.empty();
  const std::size_t characters = std::min(text.size(), kRichCharacters);
  const std::size_t textOffset = number ? 14 : 12;
  // A one-character text without number would give L = 3; blanks fill it up to the
  // shortest record readers accept, and the name rule trims them again on reading.
  const std::size_t l = std::max(textOffset - 11 + 2 * characters, kRichMinimumL);
  std::uint8_t* p = Extend(out, l + 11);
  p[0] = 29;
  p[1] = static_cast<std::uint8_t>(l);
  PutInt32(p + 2, position.longitude);
  PutInt32(p + 6, position.latitude);
  if (number) {
    const auto value = static_cast<std::uint32_t>(static_cast<std::uint64_t>(WholeNumber(memo)));
    p[10] = kRichNumberCodes;
    p[11] = static_cast<std::uint8_t>(value);
    p[12] = static_cast<std::uint8_t>(value >> 8);
    p[13] = static_cast<std::uint8_t>(value >> 16);
  } else {
    p[10] = kRichCodes;
    p[11] = 1;
  }
  std::uint8_t* const end = p + l + 11;
  p += textOffset;
  text.forEach(characters, [&](char16_t c) {
    PutUnit(p, EncodeCharCode(c));
    p += 2;
  });
  for (; p < end; p += 2) PutUnit(p, EncodeCharCode(u' '));
  return l + 11;
}

std::size_t MakeCameraRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  constexpr std::size_t kLength = 11;
  const auto name = std::find(std::begin(kCameraTypeNames), std::end(kCameraTypeNames), row.text(kMemo));
  const int code = name == std::end(kCameraTypeNames)
                       ? kOtherCameraCode
                       : kFirstCameraCode + static_cast<int>(name - std::begin(kCameraTypeNames));
  std::uint8_t speed = kEmptySpeedByte;
  if (!row.text(kTel).empty()) {
    const std::int64_t limit = WholeNumber(row.text(kTel));
    speed = limit == 0 ? 0 : static_cast<std::uint8_t>(std::clamp<std::int64_t>(limit, 20, 140) / 5);
  }
  std::uint8_t* p = Extend(out, kLength);
  p[0] = 30;
  p[1] = static_cast<std::uint8_t>(code);
  PutInt32(p + 2, position.longitude);
  PutInt32(p + 6, position.latitude);
  p[10] = speed;
  return kLength;
}

namespace {

using RecordMaker = std::size_t (*)(const PoiRecord&, UnitPosition, std::vector<std::uint8_t>&);

RecordMaker MakerFor(const PoiDocument& document) {
  if (document.kind == DocumentKind::SafetyCamera) return MakeCameraRecord;
  if (document.richPoiFile) return MakeRichPoiRecord;
  return MakePoiRecord;
}

struct Box {
  std::int64_t east;
  std::int64_t north;
  std::int64_t west;
  std::int64_t south;

  void widen(const Box& other) {
    east = std::max(east, other.east);
    north = std::max(north, other.north);
    west = std::min(west, other.west);
    south = std::min(south, other.south);
  }
  Box grown(std::int64_t by) const { return {east + by, north + by, west - by, south - by}; }
  bool overlaps(const Box& other) const {
    return std::max(west, other.west) < std::min(east, other.east) &&
           std::max(south, other.south) < std::min(north, other.north);
  }
};

// A skipper being filled starts inverted, so that the first box merged into it replaces it.
constexpr Box kInvertedBox = {-kMaxLongitudeUnits, -kMaxLatitudeUnits, kMaxLongitudeUnits, kMaxLatitudeUnits};

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

std::uint64_t SquareKey(std::int64_t column, std::int64_t line) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(column)) << 32 | static_cast<std::uint32_t>(line);
}

// Grid squares to numbers, by open addressing: a million squares are looked up per file.
class SquareIndex {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  // The number stored for `key`, to be set when it is still kNone.
  std::uint32_t& operator[](std::uint64_t key) {
    if (2 * (used_ + 1) > slots_.size()) grow();
    Slot& slot = slots_[slotOf(key)];
    if (slot.value == kNone) {
      slot.key = key;
      ++used_;
    }
    return slot.value;
  }
  std::uint32_t find(std::uint64_t key) const { return slots_.empty() ? kNone : slots_[slotOf(key)].value; }

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::uint32_t value = kNone;
  };

  std::size_t slotOf(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = Mix(key) & mask;
    while (slots_[slot].value != kNone && slots_[slot].key != key) slot = (slot + 1) & mask;
    return slot;
  }

  void grow() {
    std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.value != kNone) slots_[slotOf(slot.key)] = slot;
    }
  }

  static std::size_t Mix(std::uint64_t key) {
    key = (key ^ (key >> 30)) * 0xBF58476D1CE4E5B9ULL;
    key = (key ^ (key >> 27)) * 0x94D049BB133111EBULL;
    return static_cast<std::size_t>(key ^ (key >> 31));
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

// Collects the file's bytes and hands them to the sink in large pieces.
class ChunkWriter {
 public:
  explicit ChunkWriter(ByteSink& sink) : sink_(sink) { buffer_.reserve(kChunkBytes + 4096); }

  // Bytes appended here go out with the next full chunk.
  std::vector<std::uint8_t>& buffer() { return buffer_; }
  void passOn() {
    if (buffer_.size() >= kChunkBytes) flush();
  }
  void append(std::span<const std::uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    passOn();
  }
  // A skipper over `length` bytes, itself included.
  void skipper(std::size_t length, const Box& box) {
    std::uint8_t* p = Extend(buffer_, kSkipperBytes);
    p[0] = 1;
    PutUint32(p + 1, static_cast<std::uint32_t>(length));
    PutInt32(p + 5, box.east);
    PutInt32(p + 9, box.north);
    PutInt32(p + 13, box.west);
    PutInt32(p + 17, box.south);
  }
  bool good() const { return good_; }
  // Writes what is left; false when any write failed.
  bool finish() {
    flush();
    return good_;
  }

 private:
  void flush() {
    if (good_ && !buffer_.empty()) good_ = sink_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

  ByteSink& sink_;
  std::vector<std::uint8_t> buffer_;
  bool good_ = true;
};

// The optimised file body: the rows in cells of 0.05 degree, nearby cells in groups,
// each group, and each cell of three or more rows, behind its own skipper.
class OptimisedLayout {
 public:
  explicit OptimisedLayout(std::span<const UnitPosition> positions) : positions_(positions) {}

  // Cells in creation order, each with its rows (indexes into `positions`) in order.
  void buildCells() {
    SquareIndex index;
    cells_.reserve(positions_.size());
    std::vector<std::uint32_t> cellOfRow(positions_.size());
    for (std::size_t i = 0; i < positions_.size(); ++i) {
      const std::int64_t x = positions_[i].longitude;
      const std::int64_t y = positions_[i].latitude;
      // Cells lie on the grid, so the one containing a point is the one at its floor anchor.
      const std::int64_t column = FloorDiv(x, kCellSize);
      const std::int64_t line = FloorDiv(y, kCellSize);
      std::uint32_t& cell = index[SquareKey(column, line)];
      if (cell == SquareIndex::kNone) {
        cell = static_cast<std::uint32_t>(cells_.size());
        cells_.push_back({.column = column, .line = line, .box = {x, y, x, y}});
      }
      cells_[cell].box.widen({x, y, x, y});
      ++cells_[cell].rowCount;
      cellOfRow[i] = cell;
    }
    for (Cell& cell : cells_) cell.box = cell.box.grown(1);
    // The rows of each cell, one after the other.
    std::uint32_t start = 0;
    for (Cell& cell : cells_) {
      cell.firstRow = start;
      start += cell.rowCount;
    }
    rowsByCell_.resize(positions_.size());
    std::vector<std::uint32_t> filled(cells_.size());
    for (std::size_t i = 0; i < positions_.size(); ++i) {
      const std::uint32_t cell = cellOfRow[i];
      rowsByCell_[cells_[cell].firstRow + filled[cell]++] = static_cast<std::uint32_t>(i);
    }
  }

  // Each cell not yet taken starts a group with every later free cell whose box, grown by
  // 0.1 degree, overlaps its own grown box. A box lies within its grid square and a
  // one-unit margin, so such cells are at most five squares away in each direction:
  // squares are bucketed in blocks of five by five, and partners lie in the same block
  // or the eight around it. Candidates are taken in creation order, as a pairwise scan would.
  void buildGroups() {
    constexpr std::int64_t kBlock = 5;
    SquareIndex blocks;
    std::vector<std::uint32_t> nextInBlock(cells_.size(), SquareIndex::kNone);
    for (std::size_t c = cells_.size(); c-- > 0;) {
      std::uint32_t& head = blocks[SquareKey(FloorDiv(cells_[c].column, kBlock), FloorDiv(cells_[c].line, kBlock))];
      nextInBlock[c] = head;
      head = static_cast<std::uint32_t>(c);
    }
    std::vector<std::uint32_t> partners;
    for (std::size_t a = 0; a + 1 < cells_.size(); ++a) {
      if (cells_[a].taken) continue;
      const Box reach = cells_[a].box.grown(kGroupReach);
      const std::int64_t blockColumn = FloorDiv(cells_[a].column, kBlock);
      const std::int64_t blockLine = FloorDiv(cells_[a].line, kBlock);
      partners.clear();
      for (std::int64_t column = blockColumn - 1; column <= blockColumn + 1; ++column) {
        for (std::int64_t line = blockLine - 1; line <= blockLine + 1; ++line) {
          for (std::uint32_t b = blocks.find(SquareKey(column, line)); b != SquareIndex::kNone; b = nextInBlock[b]) {
            if (b > a && !cells_[b].taken && reach.overlaps(cells_[b].box.grown(kGroupReach))) partners.push_back(b);
          }
        }
      }
      if (partners.empty()) continue;
      std::sort(partners.begin(), partners.end());
      Group group{.firstCell = groupCells_.size(), .box = cells_[a].box};
      groupCells_.push_back(static_cast<std::uint32_t>(a));
      cells_[a].taken = true;
      for (std::uint32_t b : partners) {
        groupCells_.push_back(b);
        cells_[b].taken = true;
        group.box.widen(cells_[b].box);
      }
      group.endCell = groupCells_.size();
      groups_.push_back(group);
    }
  }

  // Which groups stay (three or more cells, or three or more rows) and how many bytes every
  // block takes, so that each skipper can be written before the records it covers.
  // Record i of the rows ends at recordEnds[i] in the records made in row order.
  void measure(std::span<const std::size_t> recordEnds) {
    recordEnds_ = recordEnds;
    for (Cell& cell : cells_) {
      cell.bytes = cell.rowCount >= 3 ? kSkipperBytes : 0;
      for (std::uint32_t i = 0; i < cell.rowCount; ++i) cell.bytes += recordSize(rowsByCell_[cell.firstRow + i]);
    }
    for (Group& group : groups_) {
      std::uint32_t rows = 0;
      for (std::uint32_t c : cellsOf(group)) rows += cells_[c].rowCount;
      group.kept = group.endCell - group.firstCell >= 3 || rows >= 3;
      group.bytes = kSkipperBytes;
      for (std::uint32_t c : cellsOf(group)) {
        cells_[c].taken = group.kept;
        group.bytes += cells_[c].bytes;
      }
    }
  }

  // Writes the file body after the signal mark: the kept groups, then the cells no group
  // holds, inside a top skipper unless that would hold exactly one block. Nothing at all
  // when there are no rows.
  void write(std::span<const std::uint8_t> records, ChunkWriter& out) const {
    if (positions_.empty()) return;
    Box top = kInvertedBox;
    std::size_t topBytes = kSkipperBytes;
    std::size_t blocks = 0;
    bool bareRecords = false;
    for (const Group& group : groups_) {
      if (!group.kept) continue;
      top.widen(group.box);
      topBytes += group.bytes;
      ++blocks;
    }
    for (const Cell& cell : cells_) {
      if (cell.taken) continue;
      top.widen(cell.box);
      topBytes += cell.bytes;
      ++blocks;
      bareRecords = bareRecords || cell.rowCount < 3;
    }
    if (blocks > 1 || bareRecords) out.skipper(topBytes, top);
    for (const Group& group : groups_) {
      if (!group.kept) continue;
      out.skipper(group.bytes, group.box);
      for (std::uint32_t c : cellsOf(group)) writeCell(cells_[c], records, out);
    }
    for (const Cell& cell : cells_) {
      if (!cell.taken) writeCell(cell, records, out);
    }
  }

 private:
  struct Cell {
    std::int64_t column;
    std::int64_t line;
    Box box;
    std::uint32_t rowCount = 0;
    std::uint32_t firstRow = 0;  // in rowsByCell_
    bool taken = false;
    std::size_t bytes = 0;
  };
  struct Group {
    std::size_t firstCell;  // in groupCells_; the cell that started the group comes first
    std::size_t endCell = 0;
    Box box;
    bool kept = false;
    std::size_t bytes = 0;
  };

  std::span<const std::uint32_t> cellsOf(const Group& group) const {
    return {groupCells_.data() + group.firstCell, group.endCell - group.firstCell};
  }
  std::size_t recordStart(std::uint32_t row) const { return row == 0 ? 0 : recordEnds_[row - 1]; }
  std::size_t recordSize(std::uint32_t row) const { return recordEnds_[row] - recordStart(row); }

  void writeCell(const Cell& cell, std::span<const std::uint8_t> records, ChunkWriter& out) const {
    if (cell.rowCount >= 3) out.skipper(cell.bytes, cell.box);
    for (std::uint32_t i = 0; i < cell.rowCount; ++i) {
      const std::uint32_t row = rowsByCell_[cell.firstRow + i];
      out.append(records.subspan(recordStart(row), recordSize(row)));
    }
  }

  std::span<const UnitPosition> positions_;
  std::vector<Cell> cells_;
  std::vector<std::uint32_t> rowsByCell_;
  std::vector<Group> groups_;
  std::vector<std::uint32_t> groupCells_;
  std::span<const std::size_t> recordEnds_;
};

class Ov2Writer {
 public:
  Ov2Writer(FileSession& session, ByteSink& out)
      : session_(session), document_(session.document), out_(out), make_(MakerFor(session.document)) {}

  int run() {
    if (const auto mark = MarkForSave(document_, session_.settings.on(Switch::SignalMark))) {
      out_.append(*mark);
    }
    rows_ = session_.rowsToWrite();
    positions_.reserve(rows_.size());
    bool everyPosition = true;
    std::size_t estimate = 0;
    for (int row : rows_) {
      positions_.push_back(RowPosition(document_, row));
      everyPosition = everyPosition && !document_.text(row, kLng).empty() && !document_.text(row, kLat).empty();
      estimate += 16 + 2 * (document_.text(row, kName).size() + document_.text(row, kTel).size() +
                            document_.text(row, kMemo).size());
    }
    if (session_.settings.on(Switch::OptimisePoi) && everyPosition) {
      writeOptimised(estimate);
    } else {
      writePlain();
    }
    return out_.finish() ? 0 : kCannotWrite;
  }

 private:
  void makeRecord(std::size_t i, std::vector<std::uint8_t>& out) {
    make_(document_.rows[static_cast<std::size_t>(rows_[i])], positions_[i], out);
    session_.progress(rows_.size(), ++made_);
  }

  void writePlain() {
    for (std::size_t i = 0; i < rows_.size() && out_.good(); ++i) {
      makeRecord(i, out_.buffer());
      out_.passOn();
    }
  }

  void writeOptimised(std::size_t estimate) {
    OptimisedLayout layout(positions_);
    layout.buildCells();
    layout.buildGroups();
    // Records are made in row order, which reads the rows far faster than cell order would.
    std::vector<std::uint8_t> records;
    records.reserve(estimate);
    std::vector<std::size_t> recordEnds(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      makeRecord(i, records);
      recordEnds[i] = records.size();
    }
    layout.measure(recordEnds);
    layout.write(records, out_);
  }

  FileSession& session_;
  PoiDocument& document_;
  ChunkWriter out_;
  const RecordMaker make_;
  std::vector<int> rows_;
  std::vector<UnitPosition> positions_;
  std::size_t made_ = 0;
};

}  // namespace

int WriteOv2(FileSession& session, ByteSink& out) { return Ov2Writer(session, out).run(); }

}  // namespace qf
