#include "formats/ov2_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>
#include <optional>
#include <span>
#include <thread>

#include "core/background_writer.h"
#include "core/coordinates.h"
#include "core/field_rules.h"
#include "formats/charcode.h"
#include "formats/file_pipeline.h"
#include "formats/little_endian.h"
#include "formats/ov2_record.h"
#include "formats/signal_mark.h"

namespace qf {

namespace {

using ov2::kSkipperBytes;
using ov2::RecordType;
using ov2::RichEncoding;

constexpr std::size_t kRichCharacters = 126;
// L below 5 would make a rich POI record shorter than readers accept.
constexpr std::size_t kRichMinimumL = 5;
constexpr std::uint8_t kEmptySpeedByte = 12;  // reads back as 60
constexpr std::int64_t kCellSize = 5000;     // 0.05 degree
constexpr std::int64_t kCellMargin = 1;      // a cell's box reaches this far past its rows
constexpr std::int64_t kGroupReach = 10000;  // 0.1 degree

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
  const std::size_t length = ov2::kPoiTextOffset + textBytes + 1 + 2 * memo.size();
  std::uint8_t* p = Extend(out, length);
  p[0] = static_cast<std::uint8_t>(RecordType::kPoi);
  PutUint32(p + 1, static_cast<std::uint32_t>(length));
  PutInt32(p + 5, position.longitude);
  PutInt32(p + 9, position.latitude);
  p += ov2::kPoiTextOffset;
  if (bytes) {
    text.forEach(text.size(), [&](char16_t c) { *p++ = static_cast<std::uint8_t>(c); });
  } else {
    *p++ = '>';
    *p++ = '>';
    text.forEach(text.size(), [&](char16_t c) {
      PutUint16(p, EncodeCharCode(c));
      p += 2;
    });
  }
  *p++ = 0;
  for (char16_t c : memo) {
    PutUint16(p, c);
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
  const std::size_t l = std::max(textOffset - ov2::kRichHeadBytes + 2 * characters, kRichMinimumL);
  std::uint8_t* p = Extend(out, l + ov2::kRichHeadBytes);
  p[0] = static_cast<std::uint8_t>(RecordType::kRichPoi);
  p[1] = static_cast<std::uint8_t>(l);
  PutInt32(p + 2, position.longitude);
  PutInt32(p + 6, position.latitude);
  if (number) {
    p[10] = static_cast<std::uint8_t>(RichEncoding::kNumberCodes);
    PutUint24(p + 11, static_cast<std::uint32_t>(static_cast<std::uint64_t>(WholeNumber(memo))));
  } else {
    p[10] = static_cast<std::uint8_t>(RichEncoding::kCodes);
    p[11] = 1;
  }
  std::uint8_t* const end = p + l + ov2::kRichHeadBytes;
  p += textOffset;
  text.forEach(characters, [&](char16_t c) {
    PutUint16(p, EncodeCharCode(c));
    p += 2;
  });
  for (; p < end; p += 2) PutUint16(p, EncodeCharCode(u' '));
  return l + ov2::kRichHeadBytes;
}

std::size_t MakeCameraRecord(const PoiRecord& row, UnitPosition position, std::vector<std::uint8_t>& out) {
  const auto name = std::find(std::begin(kCameraTypeNames), std::end(kCameraTypeNames), row.text(kMemo));
  const int code = name == std::end(kCameraTypeNames)
                       ? kOtherCameraCode
                       : kFirstCameraCode + static_cast<int>(name - std::begin(kCameraTypeNames));
  std::uint8_t speed = kEmptySpeedByte;
  if (!row.text(kTel).empty()) {
    const std::int64_t limit = WholeNumber(row.text(kTel));
    speed = limit == 0 ? 0 : static_cast<std::uint8_t>(std::clamp<std::int64_t>(limit, 20, 140) / 5);
  }
  std::uint8_t* p = Extend(out, ov2::kCameraBytes);
  p[0] = static_cast<std::uint8_t>(RecordType::kCamera);
  p[1] = static_cast<std::uint8_t>(code);
  PutInt32(p + 2, position.longitude);
  PutInt32(p + 6, position.latitude);
  p[10] = speed;
  return ov2::kCameraBytes;
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

// Gives a vector's memory back, which assigning {} would keep.
template <typename T>
void Release(std::vector<T>& vector) {
  std::vector<T>().swap(vector);
}

// The number of runs of equal keys among keyOf(0) to keyOf(count - 1).
template <typename KeyOf>
std::size_t RunCount(std::size_t count, KeyOf keyOf) {
  std::size_t runs = 0;
  for (std::size_t i = 0; i < count; ++i) runs += i == 0 || keyOf(i) != keyOf(i - 1) ? 1 : 0;
  return runs;
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

// A skipper over `length` bytes, itself included.
void MakeSkipperRecord(std::size_t length, const Box& box, std::vector<std::uint8_t>& out) {
  std::uint8_t* p = Extend(out, kSkipperBytes);
  p[0] = static_cast<std::uint8_t>(RecordType::kSkipper);
  PutUint32(p + 1, static_cast<std::uint32_t>(length));
  // A box grown by the cell margin may pass the 32-bit range; it keeps its low 32 bits.
  PutInt32(p + 5, static_cast<std::int32_t>(box.east));
  PutInt32(p + 9, static_cast<std::int32_t>(box.north));
  PutInt32(p + 13, static_cast<std::int32_t>(box.west));
  PutInt32(p + 17, static_cast<std::int32_t>(box.south));
}

// The optimised file body: the rows in cells of 0.05 degree, nearby cells in groups,
// each group, and each cell of three or more rows, behind its own skipper.
class OptimisedLayout {
 public:
  // The cells in square order, each with its rows (indexes into `positions`) in order, and the
  // order in which they were created.
  void buildCells(std::span<const UnitPosition> positions) {
    if (positions.empty()) return;
    grid_ = SquareGrid(positions);
    const std::vector<std::uint64_t> squares = sortRowsBySquare(positions);
    // The positions in that order, fetched all at once, which is much faster than one by one below.
    std::vector<UnitPosition> sorted(positions.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = positions[rowsByCell_[i]];
    // Each run of one square is a cell.
    cells_.reserve(RunCount(squares.size(), [&squares](std::size_t i) { return squares[i]; }));
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
      fetchScanAhead(rank);
      const std::uint32_t a = creationOrder_[rank];
      if (taken_[a]) continue;
      partners.clear();
      Bounds groupBounds = cells_[a].bounds;
      const Block& home = blocks_[blockOfCell_[a]];
      for (std::size_t side = 0; side < 3; ++side) {
        for (std::uint32_t b = home.around[side]; b < home.around[side] + home.beside[side]; ++b) {
          takePartners(blocks_[b], rank, partners, groupBounds);
        }
      }
      if (!partners.empty()) addGroup(a, partners, groupBounds);
    }
    // Only the scan needs these.
    Release(ranks_);
    Release(blocks_);
    Release(blockOfCell_);
    Release(candidates_);
  }

  // Which groups stay (three or more cells, or three or more rows) and how many bytes every
  // block takes, so that each skipper can be written before the records it covers; then the
  // cells and rows in the order the file holds them. Row i's record takes recordSizes[i] bytes.
  void measure(std::span<const std::uint16_t> recordSizes) {
    cellBytes_.resize(cells_.size());
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      cellBytes_[c] = cells_[c].rowCount >= 3 ? kSkipperBytes : 0;
      for (std::uint32_t row : rowsOf(cells_[c])) cellBytes_[c] += recordSizes[row];
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
    orderCells();
    orderRows();
  }

  // The rows in the order the file holds them, once measured.
  std::span<const std::uint32_t> fileOrder() const { return fileOrder_; }

  // Writes the file body after the signal mark: the kept groups, then the cells no group
  // holds, inside a top skipper unless that would hold exactly one block. Nothing at all
  // when there are no rows. writeRow(i) writes the record of fileOrder()[i].
  template <typename WriteRow>
  void write(BackgroundWriter& out, WriteRow writeRow) const {
    if (cells_.empty()) return;
    Box top = kInvertedBox;
    std::size_t topBytes = kSkipperBytes;
    std::size_t blocks = 0;
    std::size_t groupedCells = 0;
    bool bareRecords = false;
    for (const Group& group : groups_) {
      if (!group.kept) continue;
      top.widen(group.bounds.box());
      topBytes += group.bytes;
      ++blocks;
      groupedCells += group.endCell - group.firstCell;
    }
    for (std::size_t j = groupedCells; j < fileCells_.size(); ++j) {
      fetchCellAhead(j);
      const Cell& cell = cells_[fileCells_[j]];
      top.widen(cell.bounds.box());
      topBytes += cellBytes_[fileCells_[j]];
      ++blocks;
      bareRecords = bareRecords || cell.rowCount < 3;
    }
    if (blocks > 1 || bareRecords) MakeSkipperRecord(topBytes, top, out.buffer());
    std::size_t nextCell = 0;
    std::size_t nextRow = 0;
    const auto writeCell = [&] {
      fetchCellAhead(nextCell);
      const std::uint32_t c = fileCells_[nextCell++];
      if (cells_[c].rowCount >= 3) MakeSkipperRecord(cellBytes_[c], cells_[c].bounds.box(), out.buffer());
      for (std::uint32_t k = 0; k < cells_[c].rowCount; ++k) writeRow(nextRow++);
    };
    for (const Group& group : groups_) {
      if (!group.kept) continue;
      MakeSkipperRecord(group.bytes, group.bounds.box(), out.buffer());
      for (std::uint32_t k = group.firstCell; k < group.endCell; ++k) writeCell();
    }
    while (nextCell < fileCells_.size()) writeCell();
  }

 private:
  static constexpr std::uint32_t kNoCell = 0xFFFFFFFF;

  struct Cell {
    Bounds bounds;
    std::uint32_t firstRow = 0;  // in rowsByCell_
    std::uint32_t rowCount = 0;
  };
  // The cells of a block that may still join a group are candidates_[begin] to candidates_[end - 1].
  struct Block {
    std::uint32_t begin;
    std::uint32_t end;
    // The blocks beside it column by column (to the left, its own, to the right), from the line
    // below it to the line above: `beside` of them in blocks_ from `around` on.
    std::array<std::uint32_t, 3> around;
    std::array<std::uint8_t, 3> beside;
  };
  struct Group {
    std::uint32_t firstCell;  // in groupCells_; the cell that started the group comes first
    std::uint32_t endCell = 0;
    Bounds bounds;
    bool kept = false;
    std::size_t bytes = 0;
  };

  // Sorts rowsByCell_ by square, stably, which puts the rows of each cell together, in row
  // order. Returns the squares in that order.
  std::vector<std::uint64_t> sortRowsBySquare(std::span<const UnitPosition> positions) {
    std::vector<std::uint64_t> squares(positions.size());
    std::transform(positions.begin(), positions.end(), squares.begin(),
                   [this](UnitPosition p) { return grid_.squareOf(p); });
    rowsByCell_.resize(positions.size());
    std::iota(rowsByCell_.begin(), rowsByCell_.end(), 0u);
    SortByKey(squares, rowsByCell_, grid_.squareBits());
    return squares;
  }

  // Cells were created in the order of their first rows.
  void findCreationOrder() {
    std::vector<std::uint32_t> cellOfFirstRow(rowsByCell_.size(), kNoCell);
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
    ranks_.resize(cells_.size());
    for (std::uint32_t rank = 0; rank < creationOrder_.size(); ++rank) ranks_[creationOrder_[rank]] = rank;
    const auto blockOf = [this](std::size_t c) { return grid_.blockOf(cells_[c].bounds.corner()); };
    std::vector<std::uint64_t> numbers;  // of the blocks
    numbers.reserve(RunCount(cells_.size(), blockOf));
    blocks_.reserve(numbers.capacity());
    candidates_.resize(cells_.size());
    std::iota(candidates_.begin(), candidates_.end(), 0u);
    blockOfCell_.reserve(cells_.size());
    for (std::uint32_t c = 0; c < cells_.size(); ++c) {
      if (numbers.empty() || numbers.back() != blockOf(c)) {
        numbers.push_back(blockOf(c));
        blocks_.push_back({c, c, {}, {}});
      }
      ++blocks_.back().end;
      blockOfCell_.push_back(static_cast<std::uint32_t>(blocks_.size() - 1));
    }
    findBlocksAround(numbers);
  }

  // For each block, the blocks around it, column by column. They rise with the block numbers,
  // so one sweep per column finds them all.
  void findBlocksAround(std::span<const std::uint64_t> numbers) {
    for (const int columnStep : {-1, 0, 1}) {
      const std::size_t side = static_cast<std::size_t>(columnStep + 1);
      std::size_t next = 0;
      for (std::size_t b = 0; b < blocks_.size(); ++b) {
        blocks_[b].around[side] = static_cast<std::uint32_t>(next);
        blocks_[b].beside[side] = 0;
        const auto beside = grid_.blocksBeside(numbers[b], columnStep);
        if (!beside) continue;
        while (next < numbers.size() && numbers[next] < beside->first) ++next;
        std::size_t end = next;
        while (end < numbers.size() && numbers[end] <= beside->second) ++end;
        blocks_[b].around[side] = static_cast<std::uint32_t>(next);
        blocks_[b].beside[side] = static_cast<std::uint8_t>(end - next);
      }
    }
  }

  // The scan takes the cells in creation order, which jumps through memory. So each cell's data
  // is asked for some cells before its turn, in steps, since each step needs what the one before
  // brought: its block, then the blocks around, then their cells. (These fetching functions must be inlined: a
  // compiler takes a call that only fetches for one without effect, and drops it.)
  [[gnu::always_inline]] void fetchScanAhead(std::uint32_t rank) const {
    constexpr std::size_t kStep = 4;
    const auto ahead = [&](std::size_t steps) -> std::optional<std::uint32_t> {
      const std::size_t at = rank + steps * kStep;
      if (at >= creationOrder_.size()) return std::nullopt;
      return creationOrder_[at];
    };
    if (const auto c = ahead(4)) {
      __builtin_prefetch(&blockOfCell_[*c]);
      __builtin_prefetch(&cells_[*c]);
    }
    if (const auto c = ahead(3)) __builtin_prefetch(&blocks_[blockOfCell_[*c]]);
    if (const auto c = ahead(2)) {
      const Block& home = blocks_[blockOfCell_[*c]];
      for (std::size_t side = 0; side < 3; ++side) {
        if (home.beside[side] > 0) __builtin_prefetch(&blocks_[home.around[side]]);
      }
    }
    if (const auto c = ahead(1)) {
      const Block& home = blocks_[blockOfCell_[*c]];
      for (std::size_t side = 0; side < 3; ++side) {
        if (home.beside[side] == 0) continue;
        const std::uint32_t first = blocks_[home.around[side]].begin;
        __builtin_prefetch(&candidates_[first]);
        __builtin_prefetch(&cells_[first]);
        __builtin_prefetch(&ranks_[first]);
      }
    }
  }

  // Moves the cells of `block` that join the group of the cell created `rank`th to `partners`,
  // widening `groupBounds` by them. Cells created before it leave the block too: later groups
  // start at later cells, which only take cells created after them.
  void takePartners(Block& block, std::uint32_t rank, std::vector<std::uint32_t>& partners, Bounds& groupBounds) {
    const Bounds& reach = cells_[creationOrder_[rank]].bounds;
    auto kept = candidates_.begin() + block.begin;
    for (auto c = kept; c != candidates_.begin() + block.end; ++c) {
      if (ranks_[*c] <= rank) continue;
      if (Meet(reach, cells_[*c].bounds)) {
        partners.push_back(ranks_[*c]);
        groupBounds.widen(cells_[*c].bounds);
      } else {
        *kept++ = *c;
      }
    }
    block.end = static_cast<std::uint32_t>(kept - candidates_.begin());
  }

  // The group of cell `a` and its partners, given by creation rank, listed in creation order.
  void addGroup(std::uint32_t a, std::vector<std::uint32_t>& partners, const Bounds& groupBounds) {
    std::sort(partners.begin(), partners.end());
    Group group{.firstCell = static_cast<std::uint32_t>(groupCells_.size()), .bounds = groupBounds};
    groupCells_.push_back(a);
    taken_[a] = true;
    for (std::uint32_t rank : partners) {
      groupCells_.push_back(creationOrder_[rank]);
      taken_[creationOrder_[rank]] = true;
    }
    group.endCell = static_cast<std::uint32_t>(groupCells_.size());
    groups_.push_back(group);
  }

  std::span<const std::uint32_t> cellsOf(const Group& group) const {
    return {groupCells_.data() + group.firstCell, group.endCell - group.firstCell};
  }
  std::span<const std::uint32_t> rowsOf(const Cell& cell) const {
    return {rowsByCell_.data() + cell.firstRow, cell.rowCount};
  }

  // The cells in the order the file holds them: those of the kept groups, group by group, then
  // the cells no group holds, in creation order.
  void orderCells() {
    fileCells_.reserve(cells_.size());
    for (const Group& group : groups_) {
      if (!group.kept) continue;
      const std::span<const std::uint32_t> cells = cellsOf(group);
      fileCells_.insert(fileCells_.end(), cells.begin(), cells.end());
    }
    for (std::uint32_t c : creationOrder_) {
      if (!taken_[c]) fileCells_.push_back(c);
    }
  }

  // Their rows, as write() takes them.
  void orderRows() {
    fileOrder_.reserve(rowsByCell_.size());
    for (std::size_t j = 0; j < fileCells_.size(); ++j) {
      fetchCellAhead(j);
      const std::span<const std::uint32_t> rows = rowsOf(cells_[fileCells_[j]]);
      fileOrder_.insert(fileOrder_.end(), rows.begin(), rows.end());
    }
    Release(rowsByCell_);
  }

  // File order jumps through the cells, so each is asked for some cells before its turn.
  [[gnu::always_inline]] void fetchCellAhead(std::size_t j) const {
    constexpr std::size_t kAhead = 8;
    if (j + kAhead >= fileCells_.size()) return;
    __builtin_prefetch(&cells_[fileCells_[j + kAhead]]);
    __builtin_prefetch(&cellBytes_[fileCells_[j + kAhead]]);
  }

  SquareGrid grid_;
  std::vector<Cell> cells_;  // in square order
  std::vector<std::uint32_t> creationOrder_;
  std::vector<std::size_t> cellBytes_;  // with the cell's skipper, if any
  std::vector<std::uint32_t> rowsByCell_;
  std::vector<std::uint32_t> fileCells_;
  std::vector<std::uint32_t> fileOrder_;
  std::vector<std::uint32_t> ranks_;        // by cell, in creation order
  std::vector<Block> blocks_;               // those holding cells, in number order
  std::vector<std::uint32_t> blockOfCell_;  // by cell, in blocks_
  std::vector<std::uint32_t> candidates_;   // cells
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
    const bool everyPosition = readPositions();
    if (session_.settings.on(Switch::OptimisePoi) && everyPosition) {
      writeOptimised();
    } else {
      writePlain();
    }
    // Rows without a position are written too, with the missing-coordinate mark.
    session_.counts = {.written = static_cast<int>(rows_.size())};
    return out_.finish() ? 0 : kCannotWrite;
  }

 private:
  // Fills positions_, half of them on a second core: reading coordinate texts takes long.
  // True when every row has both coordinates.
  bool readPositions() {
    positions_.resize(rows_.size());
    const std::size_t half = rows_.size() / 2;
    bool first = true;
    bool second = true;
    {
      std::jthread other([&] { second = readPositions(half, rows_.size()); });
      first = readPositions(0, half);
    }
    return first && second;
  }
  bool readPositions(std::size_t begin, std::size_t end) {
    bool everyPosition = true;
    for (std::size_t i = begin; i < end; ++i) {
      const int row = rows_[i];
      positions_[i] = RowPosition(document_, row);
      everyPosition = everyPosition && !document_.text(row, kLng).empty() && !document_.text(row, kLat).empty();
    }
    return everyPosition;
  }

  void writePlain() {
    for (std::size_t i = 0; i < rows_.size() && out_.good(); ++i) {
      make_(rowAt(i), positions_[i], out_.buffer());
      session_.progress(rows_.size(), i + 1);
      out_.passOn();
    }
  }

  void writeOptimised() {
    OptimisedLayout layout;
    // The skippers need the records' sizes before the records. They are found by making each
    // record once in row order, which reads the rows fast, on a second core while this one
    // lays out the cells: both only read the rows. Holding the records instead would take as
    // much memory again as the file; so would keeping the positions, which are read again.
    std::vector<std::uint16_t> recordSizes(rows_.size());
    {
      std::jthread sizer([&] {
        std::vector<std::uint8_t> record;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
          record.clear();
          recordSizes[i] = static_cast<std::uint16_t>(make_(rowAt(i), UnitPosition{}, record));
        }
      });
      layout.buildCells(positions_);
      Release(positions_);
      layout.buildGroups();
    }
    layout.measure(recordSizes);
    writeInFileOrder(layout, recordSizes);
  }

  // File order jumps through the rows, which makes each record slow to make: a second core makes
  // every other stretch of records meanwhile, into memory, and this one copies them out in turn.
  void writeInFileOrder(const OptimisedLayout& layout, std::span<const std::uint16_t> recordSizes) {
    constexpr std::size_t kStretch = std::size_t{1} << 16;
    const std::span<const std::uint32_t> order = layout.fileOrder();
    std::vector<std::uint8_t> made;  // the records of the other core's stretch
    std::size_t copied = 0;          // bytes of them written
    std::jthread maker;
    layout.write(out_, [&](std::size_t k) {
      const bool ours = k / kStretch % 2 == 0;
      if (ours && k % kStretch == 0) {
        made.clear();
        copied = 0;
        const std::size_t end = std::min(k + 2 * kStretch, order.size());
        maker = std::jthread([&, end, begin = std::min(k + kStretch, end)] {
          for (std::size_t i = begin; i < end; ++i) {
            fetchAhead(order, i);
            makeAgain(order[i], made);
          }
        });
      }
      if (ours) {
        fetchAhead(order, k);
        makeAgain(order[k], out_.buffer());
      } else {
        if (maker.joinable()) maker.join();
        const auto from = made.begin() + static_cast<std::ptrdiff_t>(copied);
        copied += recordSizes[order[k]];
        out_.buffer().insert(out_.buffer().end(), from, made.begin() + static_cast<std::ptrdiff_t>(copied));
      }
      session_.progress(order.size(), k + 1);
      out_.passOn();
    });
  }

  const PoiRecord& rowAt(std::size_t i) const { return document_.rows[static_cast<std::size_t>(rows_[i])]; }
  // The record of rows_[i], its position read again from the row.
  void makeAgain(std::size_t i, std::vector<std::uint8_t>& out) const {
    make_(rowAt(i), RowPosition(document_, rows_[i]), out);
  }

  // Rows are written in file order, which jumps through memory: each row is asked for some
  // rows before it is written, in steps, since finding its texts needs the row itself.
  [[gnu::always_inline]] void fetchAhead(std::span<const std::uint32_t> order, std::size_t k) const {
    constexpr std::size_t kAhead = 8;
    if (k + 3 * kAhead < order.size()) __builtin_prefetch(&rows_[order[k + 3 * kAhead]]);
    if (k + 2 * kAhead < order.size()) {
      __builtin_prefetch(&document_.rows[static_cast<std::size_t>(rows_[order[k + 2 * kAhead]])]);
    }
    if (k + kAhead < order.size()) {
      if (const auto* texts = static_cast<const char*>(rowAt(order[k + kAhead]).storage())) {
        __builtin_prefetch(texts);
        __builtin_prefetch(texts + 64);
      }
    }
  }

  FileSession& session_;
  PoiDocument& document_;
  BackgroundWriter out_;
  const RecordMaker make_;
  std::vector<int> rows_;
  std::vector<UnitPosition> positions_;
};

}  // namespace

int WriteOv2(FileSession& session, ByteSink& out) { return Ov2Writer(session, out).run(); }

}  // namespace qf
