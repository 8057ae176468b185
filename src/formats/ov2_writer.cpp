#include "formats/ov2_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>
#include <optional>
#include <span>
#include <thread>

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
constexpr std::int64_t kCellMargin = 1;      // a cell's box reaches this far past its rows
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
};

// A skipper being filled starts inverted, so that the first box merged into it replaces it.
constexpr Box kInvertedBox = {-kMaxLongitudeUnits, -kMaxLatitudeUnits, kMaxLongitudeUnits, kMaxLatitudeUnits};

// The extent of a cell's rows. Its box adds the margin, which can leave the 32-bit range.
struct Bounds {
  std::int32_t east;
  std::int32_t north;
  std::int32_t west;
  std::int32_t south;

  static Bounds Of(UnitPosition p) { return {p.longitude, p.latitude, p.longitude, p.latitude}; }
  void widen(UnitPosition p) {
    east = std::max(east, p.longitude);
    north = std::max(north, p.latitude);
    west = std::min(west, p.longitude);
    south = std::min(south, p.latitude);
  }
  void widen(const Bounds& other) {
    east = std::max(east, other.east);
    north = std::max(north, other.north);
    west = std::min(west, other.west);
    south = std::min(south, other.south);
  }
  UnitPosition corner() const { return {west, south}; }
  Box box() const { return Box{east, north, west, south}.grown(kCellMargin); }
};

// Whether two cells' boxes, each grown by the group reach, overlap with a positive area:
// the edges are compared before growing, so that nothing overflows.
bool Meet(const Bounds& a, const Bounds& b) {
  constexpr std::int64_t kGap = 2 * (kCellMargin + kGroupReach);
  return std::int64_t{std::max(a.west, b.west)} - std::min(a.east, b.east) < kGap &&
         std::int64_t{std::max(a.south, b.south)} - std::min(a.north, b.north) < kGap;
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

// The grid squares the rows lie in, numbered so that the 25 squares of each block of five by
// five come one after the other, blocks by column, then line. A cell's box lies within its
// square and the margin, so cells meet only when their squares are at most five apart either
// way: in the same block or the eight around it. Counting from the lowest column and line in
// use keeps the numbers small, and below 2^40 for any coordinates.
class SquareGrid {
 public:
  static constexpr std::int64_t kBlockSide = 5;
  static constexpr std::int64_t kBlockSquares = kBlockSide * kBlockSide;

  SquareGrid() = default;
  // The grid around `positions`, which must not be empty.
  explicit SquareGrid(std::span<const UnitPosition> positions) {
    Bounds all = Bounds::Of(positions.front());
    for (UnitPosition p : positions) all.widen(p);
    // Floor division keeps the order, so the outermost points give the outermost squares.
    firstColumn_ = FloorDiv(all.west, kCellSize);
    firstLine_ = FloorDiv(all.south, kCellSize);
    blockColumns_ = (FloorDiv(all.east, kCellSize) - firstColumn_) / kBlockSide + 1;
    blockLines_ = (FloorDiv(all.north, kCellSize) - firstLine_) / kBlockSide + 1;
  }

  // `p` must lie within the grid.
  std::uint64_t squareOf(UnitPosition p) const {
    const std::int64_t column = FloorDiv(p.longitude, kCellSize) - firstColumn_;
    const std::int64_t line = FloorDiv(p.latitude, kCellSize) - firstLine_;
    const std::int64_t block = column / kBlockSide * blockLines_ + line / kBlockSide;
    return static_cast<std::uint64_t>(block * kBlockSquares + column % kBlockSide * kBlockSide + line % kBlockSide);
  }
  std::uint64_t blockOf(UnitPosition p) const { return squareOf(p) / kBlockSquares; }
  // Bits that hold every square number.
  int squareBits() const {
    return std::bit_width(static_cast<std::uint64_t>(blockColumns_ * blockLines_ * kBlockSquares - 1));
  }

  // The first and last number of the blocks `columnStep` columns beside `block`, from the line
  // below it to the line above, which are numbered one after the other; none off the grid.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> blocksBeside(std::uint64_t block, int columnStep) const {
    const std::int64_t column = static_cast<std::int64_t>(block) / blockLines_ + columnStep;
    const std::int64_t line = static_cast<std::int64_t>(block) % blockLines_;
    if (column < 0 || column >= blockColumns_) return std::nullopt;
    const std::int64_t first = column * blockLines_ + std::max<std::int64_t>(line - 1, 0);
    const std::int64_t last = column * blockLines_ + std::min(line + 1, blockLines_ - 1);
    return std::pair{static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(last)};
  }

 private:
  std::int64_t firstColumn_ = 0;
  std::int64_t firstLine_ = 0;
  std::int64_t blockColumns_ = 0;
  std::int64_t blockLines_ = 0;
};

// Sorts `rows` by `keys`, which move along, keeping the order of rows with equal keys: a radix
// sort, lowest digit first, over the `keyBits` low bits of the keys.
void SortByKey(std::vector<std::uint64_t>& keys, std::vector<std::uint32_t>& rows, int keyBits) {
  constexpr int kDigitBits = 11;
  constexpr std::size_t kDigitMask = (std::size_t{1} << kDigitBits) - 1;
  std::vector<std::uint64_t> keysOut(keys.size());
  std::vector<std::uint32_t> rowsOut(rows.size());
  for (int shift = 0; shift < keyBits; shift += kDigitBits) {
    const auto digit = [shift](std::uint64_t key) { return static_cast<std::size_t>(key >> shift) & kDigitMask; };
    std::vector<std::uint32_t> next(kDigitMask + 1);  // where the next key with each digit goes
    for (std::uint64_t key : keys) ++next[digit(key)];
    std::exclusive_scan(next.begin(), next.end(), next.begin(), 0u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const std::uint32_t to = next[digit(keys[i])]++;
      keysOut[to] = keys[i];
      rowsOut[to] = rows[i];
    }
    keys.swap(keysOut);
    rows.swap(rowsOut);
  }
}

// Collects the file's bytes and hands them to the sink in large pieces. A full piece is written
// on another thread while the next one is collected.
class ChunkWriter {
 public:
  explicit ChunkWriter(ByteSink& sink) : sink_(sink) {
    buffer_.reserve(kChunkBytes + 4096);
    writing_.reserve(kChunkBytes + 4096);
  }
  ~ChunkWriter() { wait(); }
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

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
  // Writes what is left, here: a small file starts no thread. False when any write failed.
  bool finish() {
    wait();
    if (good_ && !buffer_.empty()) good_ = sink_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return good_;
  }

 private:
  void flush() {
    wait();
    if (good_ && !buffer_.empty()) {
      writing_.swap(buffer_);
      writer_ = std::jthread([this] { written_ = sink_.write(writing_.data(), writing_.size()); });
    }
    buffer_.clear();
  }
  // Waits for the chunk being written.
  void wait() {
    if (!writer_.joinable()) return;
    writer_.join();
    good_ = good_ && written_;
  }

  ByteSink& sink_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::uint8_t> writing_;
  std::jthread writer_;
  bool written_ = true;
  bool good_ = true;
};

// The optimised file body: the rows in cells of 0.05 degree, nearby cells in groups,
// each group, and each cell of three or more rows, behind its own skipper.
class OptimisedLayout {
 public:
  explicit OptimisedLayout(std::span<const UnitPosition> positions) : positions_(positions) {}

  // The cells in square order, each with its rows (indexes into `positions`) in order, and the
  // order in which they were created.
  void buildCells() {
    if (positions_.empty()) return;
    grid_ = SquareGrid(positions_);
    const std::vector<std::uint64_t> squares = sortRowsBySquare();
    // The positions in that order, fetched all at once, which is much faster than one by one below.
    std::vector<UnitPosition> sorted(positions_.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = positions_[rowsByCell_[i]];
    // Each run of one square is a cell; there are at most as many cells as rows.
    cells_.reserve(positions_.size());
    for (std::uint32_t begin = 0, end = 0; begin < squares.size(); begin = end) {
      Cell cell{.bounds = Bounds::Of(sorted[begin]), .firstRow = begin};
      for (end = begin + 1; end < squares.size() && squares[end] == squares[begin]; ++end) {
        cell.bounds.widen(sorted[end]);
      }
      cell.rowCount = end - begin;
      cells_.push_back(cell);
    }
    findCreationOrder();
  }

  // Each cell not yet taken starts a group with every later free cell whose box, grown by
  // 0.1 degree, overlaps its own grown box. Such cells lie in the same block or the eight
  // around it. The group lists them in creation order, as a pairwise scan would.
  void buildGroups() {
    listByBlock();
    taken_.assign(cells_.size(), false);
    std::vector<std::uint32_t> partners;  // by creation rank
    for (std::uint32_t rank = 0; rank + 1 < creationOrder_.size(); ++rank) {
      const std::uint32_t a = creationOrder_[rank];
      if (taken_[a]) continue;
      partners.clear();
      Bounds groupBounds = cells_[a].bounds;
      for (const int columnStep : {-1, 0, 1}) {
        for (Block& block : blocksBeside(blockOfCell_[a], columnStep)) takePartners(block, rank, partners, groupBounds);
      }
      if (!partners.empty()) addGroup(a, partners, groupBounds);
    }
  }

  // Which groups stay (three or more cells, or three or more rows) and how many bytes every
  // block takes, so that each skipper can be written before the records it covers.
  // `records` holds the records made in row order, record i ending at recordEnds[i].
  void measure(std::span<const std::uint8_t> records, std::span<const std::size_t> recordEnds) {
    // Each row's record, found in one go for all rows: far faster than one at a time while writing.
    recordsByCell_.resize(rowsByCell_.size());
    for (std::size_t i = 0; i < rowsByCell_.size(); ++i) {
      const std::uint32_t row = rowsByCell_[i];
      const std::size_t start = row == 0 ? 0 : recordEnds[row - 1];
      recordsByCell_[i] = records.subspan(start, recordEnds[row] - start);
    }
    cellBytes_.resize(cells_.size());
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      cellBytes_[c] = cells_[c].rowCount >= 3 ? kSkipperBytes : 0;
      for (std::span<const std::uint8_t> record : recordsOf(cells_[c])) cellBytes_[c] += record.size();
    }
    for (Group& group : groups_) {
      std::uint32_t rows = 0;
      for (std::uint32_t c : cellsOf(group)) rows += cells_[c].rowCount;
      group.kept = group.endCell - group.firstCell >= 3 || rows >= 3;
      group.bytes = kSkipperBytes;
      for (std::uint32_t c : cellsOf(group)) {
        taken_[c] = group.kept;
        group.bytes += cellBytes_[c];
      }
    }
  }

  // Writes the file body after the signal mark: the kept groups, then the cells no group
  // holds, inside a top skipper unless that would hold exactly one block. Nothing at all
  // when there are no rows.
  void write(ChunkWriter& out) const {
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
    for (std::uint32_t c : creationOrder_) {
      if (taken_[c]) continue;
      top.widen(cells_[c].bounds.box());
      topBytes += cellBytes_[c];
      ++blocks;
      bareRecords = bareRecords || cells_[c].rowCount < 3;
    }
    if (blocks > 1 || bareRecords) out.skipper(topBytes, top);
    for (const Group& group : groups_) {
      if (!group.kept) continue;
      out.skipper(group.bytes, group.box);
      for (std::uint32_t c : cellsOf(group)) writeCell(c, out);
    }
    for (std::uint32_t c : creationOrder_) {
      if (!taken_[c]) writeCell(c, out);
    }
  }

 private:
  static constexpr std::uint32_t kNoCell = 0xFFFFFFFF;

  struct Cell {
    Bounds bounds;
    std::uint32_t firstRow = 0;  // in rowsByCell_
    std::uint32_t rowCount = 0;
  };
  // A cell as the group scan sees it, kept with the others of its block.
  struct Candidate {
    std::uint32_t rank;  // in creation order
    Bounds bounds;
  };
  // The cells of a block that may still join a group are candidates_[begin] to candidates_[end - 1].
  struct Block {
    std::uint64_t number;  // in grid_
    std::uint32_t begin;
    std::uint32_t end;
    std::array<std::uint32_t, 3> around;  // in blocks_, the first of the column to the left, its own, to the right
  };
  struct Group {
    std::size_t firstCell;  // in groupCells_; the cell that started the group comes first
    std::size_t endCell = 0;
    Box box;
    bool kept = false;
    std::size_t bytes = 0;
  };

  // Sorts rowsByCell_ by square, stably, which puts the rows of each cell together, in row
  // order. Returns the squares in that order.
  std::vector<std::uint64_t> sortRowsBySquare() {
    std::vector<std::uint64_t> squares(positions_.size());
    std::transform(positions_.begin(), positions_.end(), squares.begin(),
                   [this](UnitPosition p) { return grid_.squareOf(p); });
    rowsByCell_.resize(positions_.size());
    std::iota(rowsByCell_.begin(), rowsByCell_.end(), 0u);
    SortByKey(squares, rowsByCell_, grid_.squareBits());
    return squares;
  }

  // Cells were created in the order of their first rows.
  void findCreationOrder() {
    std::vector<std::uint32_t> cellOfFirstRow(positions_.size(), kNoCell);
    for (std::uint32_t c = 0; c < cells_.size(); ++c) cellOfFirstRow[rowsByCell_[cells_[c].firstRow]] = c;
    creationOrder_.reserve(cells_.size());
    for (std::uint32_t c : cellOfFirstRow) {
      if (c != kNoCell) creationOrder_.push_back(c);
    }
  }

  // Lists the cells for the group scan block by block, the blocks in number order, so that the
  // blocks of a column around a cell are one stretch of the list. In square order, the cells of
  // a block are already together.
  void listByBlock() {
    std::vector<std::uint32_t> ranks(cells_.size());
    for (std::uint32_t rank = 0; rank < creationOrder_.size(); ++rank) ranks[creationOrder_[rank]] = rank;
    candidates_.reserve(cells_.size());
    blockOfCell_.reserve(cells_.size());
    for (std::uint32_t c = 0; c < cells_.size(); ++c) {
      const std::uint64_t block = grid_.blockOf(cells_[c].bounds.corner());
      if (blocks_.empty() || blocks_.back().number != block) blocks_.push_back({block, c, c, {}});
      candidates_.push_back({ranks[c], cells_[c].bounds});
      ++blocks_.back().end;
      blockOfCell_.push_back(static_cast<std::uint32_t>(blocks_.size() - 1));
    }
    findBlocksAround();
  }

  // For each block, where the blocks around it begin in blocks_, column by column. They rise with
  // the block numbers, so one sweep per column finds them all.
  void findBlocksAround() {
    for (const int columnStep : {-1, 0, 1}) {
      auto next = blocks_.begin();
      for (Block& block : blocks_) {
        const auto numbers = grid_.blocksBeside(block.number, columnStep);
        if (numbers) {
          while (next != blocks_.end() && next->number < numbers->first) ++next;
        }
        block.around[columnStep + 1] = static_cast<std::uint32_t>(next - blocks_.begin());
      }
    }
  }

  // The blocks `columnStep` columns beside blocks_[at], on its line and the two next to it.
  std::span<Block> blocksBeside(std::size_t at, int columnStep) {
    const auto numbers = grid_.blocksBeside(blocks_[at].number, columnStep);
    if (!numbers) return {};
    const auto begin = blocks_.begin() + blocks_[at].around[columnStep + 1];
    auto end = begin;
    while (end != blocks_.end() && end->number <= numbers->second) ++end;
    return {begin, end};
  }

  // Moves the cells of `block` that join the group of the cell created `rank`th to `partners`,
  // widening `groupBounds` by them. Cells created before it leave the block too: later groups
  // start at later cells, which only take cells created after them.
  void takePartners(Block& block, std::uint32_t rank, std::vector<std::uint32_t>& partners, Bounds& groupBounds) {
    const Bounds& reach = cells_[creationOrder_[rank]].bounds;
    auto kept = candidates_.begin() + block.begin;
    for (auto c = kept; c != candidates_.begin() + block.end; ++c) {
      if (c->rank <= rank) continue;
      if (Meet(reach, c->bounds)) {
        partners.push_back(c->rank);
        groupBounds.widen(c->bounds);
      } else {
        *kept++ = *c;
      }
    }
    block.end = static_cast<std::uint32_t>(kept - candidates_.begin());
  }

  // The group of cell `a` and its partners, given by creation rank, listed in creation order.
  void addGroup(std::uint32_t a, std::vector<std::uint32_t>& partners, const Bounds& groupBounds) {
    std::sort(partners.begin(), partners.end());
    Group group{.firstCell = groupCells_.size(), .box = groupBounds.box()};
    groupCells_.push_back(a);
    taken_[a] = true;
    for (std::uint32_t rank : partners) {
      groupCells_.push_back(creationOrder_[rank]);
      taken_[creationOrder_[rank]] = true;
    }
    group.endCell = groupCells_.size();
    groups_.push_back(group);
  }

  std::span<const std::uint32_t> cellsOf(const Group& group) const {
    return {groupCells_.data() + group.firstCell, group.endCell - group.firstCell};
  }
  std::span<const std::span<const std::uint8_t>> recordsOf(const Cell& cell) const {
    return {recordsByCell_.data() + cell.firstRow, cell.rowCount};
  }

  void writeCell(std::uint32_t c, ChunkWriter& out) const {
    if (cells_[c].rowCount >= 3) out.skipper(cellBytes_[c], cells_[c].bounds.box());
    for (std::span<const std::uint8_t> record : recordsOf(cells_[c])) out.append(record);
  }

  std::span<const UnitPosition> positions_;
  SquareGrid grid_;
  std::vector<Cell> cells_;  // in square order
  std::vector<std::uint32_t> creationOrder_;
  std::vector<std::size_t> cellBytes_;  // with the cell's skipper, if any
  std::vector<std::uint32_t> rowsByCell_;
  // The rows' records, in the order of rowsByCell_.
  std::vector<std::span<const std::uint8_t>> recordsByCell_;
  std::vector<Block> blocks_;               // those holding cells, in number order
  std::vector<std::uint32_t> blockOfCell_;  // by cell, in blocks_
  std::vector<Candidate> candidates_;
  std::vector<bool> taken_;
  std::vector<Group> groups_;
  std::vector<std::uint32_t> groupCells_;
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
    const RowSurvey survey = readPositions();
    if (session_.settings.on(Switch::OptimisePoi) && survey.everyPosition) {
      writeOptimised(survey.recordBytes);
    } else {
      writePlain();
    }
    // Rows without a position are written too, with the missing-coordinate mark.
    session_.counts = {.written = static_cast<int>(rows_.size())};
    return out_.finish() ? 0 : kCannotWrite;
  }

 private:
  struct RowSurvey {
    bool everyPosition = true;    // every row has both coordinates
    std::size_t recordBytes = 0;  // about the size of the rows' records
  };

  // Fills positions_, half of them on a second core: reading coordinate texts takes long.
  RowSurvey readPositions() {
    positions_.resize(rows_.size());
    const std::size_t half = rows_.size() / 2;
    RowSurvey first;
    RowSurvey second;
    {
      std::jthread other([&] { second = readPositions(half, rows_.size()); });
      first = readPositions(0, half);
    }
    return {first.everyPosition && second.everyPosition, first.recordBytes + second.recordBytes};
  }
  RowSurvey readPositions(std::size_t begin, std::size_t end) {
    RowSurvey survey;
    for (std::size_t i = begin; i < end; ++i) {
      const int row = rows_[i];
      positions_[i] = RowPosition(document_, row);
      survey.everyPosition =
          survey.everyPosition && !document_.text(row, kLng).empty() && !document_.text(row, kLat).empty();
      survey.recordBytes += 16 + 2 * (document_.text(row, kName).size() + document_.text(row, kTel).size() +
                                      document_.text(row, kMemo).size());
    }
    return survey;
  }

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

  void writeOptimised(std::size_t recordBytes) {
    OptimisedLayout layout(positions_);
    // Records are made in row order, which reads the rows far faster than cell order would,
    // and on a second core while this one lays out the cells: both only read the rows.
    std::vector<std::uint8_t> records;
    std::vector<std::size_t> recordEnds(rows_.size());
    {
      std::jthread maker([&] {
        records.reserve(recordBytes);
        for (std::size_t i = 0; i < rows_.size(); ++i) {
          make_(document_.rows[static_cast<std::size_t>(rows_[i])], positions_[i], records);
          recordEnds[i] = records.size();
        }
      });
      layout.buildCells();
      layout.buildGroups();
    }
    session_.progress(rows_.size(), rows_.size());
    layout.measure(records, recordEnds);
    layout.write(out_);
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
