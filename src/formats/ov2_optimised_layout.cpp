#include "formats/ov2_optimised_layout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

#include "core/coordinates.h"
#include "formats/ov2_record.h"

namespace qf {

namespace {

using ov2::kSkipperBytes;

constexpr std::int64_t kCellSize = 5000;     // 0.05 degree
constexpr std::int64_t kCellMargin = 1;      // a cell's box reaches this far past its rows
constexpr std::int64_t kGroupReach = 10000;  // 0.1 degree

// A skipper being filled starts inverted, so that the first box merged into it replaces it.
constexpr SkipperBox kInvertedBox = {-kMaxLongitudeUnits, -kMaxLatitudeUnits, kMaxLongitudeUnits, kMaxLatitudeUnits};

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
  SkipperBox box() const {
    return {std::int64_t{east} + kCellMargin, std::int64_t{north} + kCellMargin, std::int64_t{west} - kCellMargin,
            std::int64_t{south} - kCellMargin};
  }
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

}  // namespace

class OptimisedLayout::Impl {
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
    std::vector<bool> taken(cells_.size());  // by creation rank
    // Room for the most there can be, so that growing never holds two copies: only the part
    // filled takes memory.
    groups_.reserve(cells_.size() / 2);
    groupCells_.reserve(cells_.size());
    std::vector<Candidate> partners;
    for (std::uint32_t rank = 0; rank + 1 < creationOrder_.size(); ++rank) {
      fetchScanAhead(rank);
      if (taken[rank]) continue;
      const std::uint32_t a = creationOrder_[rank];
      partners.clear();
      Bounds groupBounds = cells_[a].bounds;
      const Block& home = blocks_[blockOfRank_[rank]];
      for (std::size_t side = 0; side < 3; ++side) {
        for (std::uint32_t b = home.around[side]; b < home.around[side] + home.beside[side]; ++b) {
          takePartners(blocks_[b], rank, partners, groupBounds);
        }
      }
      if (partners.empty()) continue;
      std::sort(partners.begin(), partners.end(), [](Candidate x, Candidate y) { return x.rank < y.rank; });
      for (const Candidate& partner : partners) taken[partner.rank] = true;
      addGroup(a, partners, groupBounds);
    }
    // Only the scan needs these.
    Release(blocks_);
    Release(blockOfRank_);
    Release(candidates_);
  }

  // Which groups stay (three or more cells, or three or more rows) and how many bytes every
  // block takes, so that each skipper can be written before the records it covers; then the
  // cells and rows in the order the file holds them. Row i's record takes recordSizes[i] bytes.
  void measure(std::span<const std::uint16_t> recordSizes) {
    taken_.assign(cells_.size(), false);
    cellBytes_.resize(cells_.size());
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      cellBytes_[c] = cells_[c].rowCount >= 3 ? kSkipperBytes : 0;
      for (std::uint32_t row : rowsOf(cells_[c])) cellBytes_[c] += recordSizes[row];
    }
    groupBytes_.resize(groups_.size());
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      std::uint32_t rows = 0;
      for (std::uint32_t c : cellsOf(groups_[g])) rows += cells_[c].rowCount;
      const bool kept = groups_[g].endCell - groups_[g].firstCell >= 3 || rows >= 3;
      std::size_t bytes = kSkipperBytes;
      for (std::uint32_t c : cellsOf(groups_[g])) {
        taken_[c] = kept;
        bytes += cellBytes_[c];
      }
      groupBytes_[g] = kept ? bytes : 0;
    }
    orderCells();
    orderRows();
  }

  // The rows in the order the file holds them, once measured.
  std::span<const std::uint32_t> fileOrder() const { return fileOrder_; }

  // Writes the file body after the signal mark: the kept groups, then the cells no group
  // holds, inside a top skipper unless that would hold exactly one block. Nothing at all
  // when there are no rows. writeRow(i) writes the record of fileOrder()[i].
  void write(BackgroundWriter& out, const std::function<void(std::size_t)>& writeRow) const {
    if (cells_.empty()) return;
    SkipperBox top = kInvertedBox;
    std::size_t topBytes = kSkipperBytes;
    std::size_t blocks = 0;
    std::size_t groupedCells = 0;
    bool bareRecords = false;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      if (groupBytes_[g] == 0) continue;
      top.widen(groups_[g].bounds.box());
      topBytes += groupBytes_[g];
      ++blocks;
      groupedCells += groups_[g].endCell - groups_[g].firstCell;
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
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      if (groupBytes_[g] == 0) continue;
      MakeSkipperRecord(groupBytes_[g], groups_[g].bounds.box(), out.buffer());
      for (std::uint32_t k = groups_[g].firstCell; k < groups_[g].endCell; ++k) writeCell();
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
  // A cell that may join a group, and its creation rank.
  struct Candidate {
    std::uint32_t cell;
    std::uint32_t rank;
  };
  struct Group {
    std::uint32_t firstCell;  // in groupCells_; the cell that started the group comes first
    std::uint32_t endCell = 0;
    Bounds bounds;
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
    candidates_.resize(cells_.size());
    for (std::uint32_t c = 0; c < cells_.size(); ++c) candidates_[c].cell = c;
    for (std::uint32_t rank = 0; rank < creationOrder_.size(); ++rank) candidates_[creationOrder_[rank]].rank = rank;
    const auto blockOf = [this](std::size_t c) { return grid_.blockOf(cells_[c].bounds.corner()); };
    std::vector<std::uint64_t> numbers;  // of the blocks
    numbers.reserve(RunCount(cells_.size(), blockOf));
    blocks_.reserve(numbers.capacity());
    blockOfRank_.resize(cells_.size());
    for (std::uint32_t c = 0; c < cells_.size(); ++c) {
      if (numbers.empty() || numbers.back() != blockOf(c)) {
        numbers.push_back(blockOf(c));
        blocks_.push_back({c, c, {}, {}});
      }
      ++blocks_.back().end;
      blockOfRank_[candidates_[c].rank] = static_cast<std::uint32_t>(blocks_.size() - 1);
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
      return static_cast<std::uint32_t>(at);
    };
    if (const auto r = ahead(4)) __builtin_prefetch(&cells_[creationOrder_[*r]]);
    if (const auto r = ahead(3)) __builtin_prefetch(&blocks_[blockOfRank_[*r]]);
    if (const auto r = ahead(2)) {
      const Block& home = blocks_[blockOfRank_[*r]];
      for (std::size_t side = 0; side < 3; ++side) {
        if (home.beside[side] > 0) __builtin_prefetch(&blocks_[home.around[side]]);
      }
    }
    if (const auto r = ahead(1)) {
      const Block& home = blocks_[blockOfRank_[*r]];
      for (std::size_t side = 0; side < 3; ++side) {
        if (home.beside[side] == 0) continue;
        const std::uint32_t first = blocks_[home.around[side]].begin;
        __builtin_prefetch(&candidates_[first]);
        __builtin_prefetch(&cells_[first]);
      }
    }
  }

  // Moves the cells of `block` that join the group of the cell created `rank`th to `partners`,
  // widening `groupBounds` by them. Cells created before it leave the block too: later groups
  // start at later cells, which only take cells created after them.
  void takePartners(Block& block, std::uint32_t rank, std::vector<Candidate>& partners, Bounds& groupBounds) {
    const Bounds& reach = cells_[creationOrder_[rank]].bounds;
    auto kept = candidates_.begin() + block.begin;
    for (auto c = kept; c != candidates_.begin() + block.end; ++c) {
      if (c->rank <= rank) continue;
      if (Meet(reach, cells_[c->cell].bounds)) {
        partners.push_back(*c);
        groupBounds.widen(cells_[c->cell].bounds);
      } else {
        *kept++ = *c;
      }
    }
    block.end = static_cast<std::uint32_t>(kept - candidates_.begin());
  }

  // The group of cell `a` and its partners, which are in creation order.
  void addGroup(std::uint32_t a, std::span<const Candidate> partners, const Bounds& groupBounds) {
    Group group{.firstCell = static_cast<std::uint32_t>(groupCells_.size()), .bounds = groupBounds};
    groupCells_.push_back(a);
    for (const Candidate& partner : partners) groupCells_.push_back(partner.cell);
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
    for (std::size_t g = 0; g < groups_.size(); ++g) {
      if (groupBytes_[g] == 0) continue;
      const std::span<const std::uint32_t> cells = cellsOf(groups_[g]);
      fileCells_.insert(fileCells_.end(), cells.begin(), cells.end());
    }
    for (std::uint32_t c : creationOrder_) {
      if (!taken_[c]) fileCells_.push_back(c);
    }
    // Writing needs only the groups' sizes from now on.
    Release(groupCells_);
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
  std::vector<Block> blocks_;               // those holding cells, in number order
  std::vector<std::uint32_t> blockOfRank_;  // by creation rank, in blocks_
  std::vector<Candidate> candidates_;       // in square order
  std::vector<bool> taken_;                 // by cell: whether a kept group holds it
  std::vector<Group> groups_;
  std::vector<std::size_t> groupBytes_;  // with the group's skipper; none when the group is not kept
  std::vector<std::uint32_t> groupCells_;
};

OptimisedLayout::OptimisedLayout() : impl_(std::make_unique<Impl>()) {}
OptimisedLayout::~OptimisedLayout() = default;

void OptimisedLayout::buildCells(std::span<const UnitPosition> positions) { impl_->buildCells(positions); }
void OptimisedLayout::buildGroups() { impl_->buildGroups(); }
void OptimisedLayout::measure(std::span<const std::uint16_t> recordSizes) { impl_->measure(recordSizes); }
std::span<const std::uint32_t> OptimisedLayout::fileOrder() const { return impl_->fileOrder(); }
void OptimisedLayout::write(BackgroundWriter& out, const std::function<void(std::size_t)>& writeRow) const {
  impl_->write(out, writeRow);
}

}  // namespace qf
