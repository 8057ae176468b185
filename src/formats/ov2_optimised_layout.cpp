#include "formats/ov2_optimised_layout.h"

#include <algorithm>
#include <array>
#include <atomic>
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
    keptCells_.assign(cells_.size(), false);
  }

  // Whether the body opens with a skipper over all of it, which it does unless it is one block:
  // a single cell of three or more rows, or the group of the first cell when every other cell
  // joins it and it stays.
  bool hasTopSkipper() const {
    if (cells_.empty()) return false;
    const Cell& first = cells_[creationOrder_.front()];
    if (cells_.size() == 1) return first.rowCount < 3;
    const bool allJoinFirst = std::all_of(cells_.begin(), cells_.end(),
                                          [&first](const Cell& cell) { return Meet(first.bounds, cell.bounds); });
    return !(allJoinFirst && (cells_.size() >= 3 || rowsByCell_.size() >= 3));
  }

  // Fills in the top skipper at `start`, once the body is written: its box holds every cell's.
  void fillTopSkipper(BackgroundWriter& out, std::uint64_t start) const {
    Bounds all = cells_.front().bounds;
    for (const Cell& cell : cells_) all.widen(cell.bounds);
    fillSkipper(out, start, all.box());
  }

  // Each cell not yet taken starts a group with every later free cell whose box, grown by
  // 0.1 degree, overlaps its own grown box. Such cells lie in the same block or the eight
  // around it. The group lists them in creation order, as a pairwise scan would.
  void buildGroups() {
    // Whatever happens, even running out of memory, the writer of the groups learns that there
    // are no more, rather than wait for them.
    struct Ended {
      Impl& layout;
      ~Ended() { layout.publish(true); }
    } ended{*this};
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
      publish(false);
    }
    // Only the scan needs these.
    Release(blocks_);
    Release(blockOfRank_);
    Release(candidates_);
  }

  // Writes each group that stays (three or more cells, or three or more rows) as soon as the
  // scan finds it, until the scan ends: the group's skipper, then its cells. makeRecord(rows, k,
  // to) makes that of rows[k], the rows in the order they are written.
  void writeKeptGroups(BackgroundWriter& out, const RecordMaking& makeRecord) {
    std::vector<std::uint32_t> rows;  // of the groups being written
    for (std::uint32_t written = 0;;) {
      const std::uint32_t state = published_.load(std::memory_order_acquire);
      const std::uint32_t found = state & ~kScanEnded;
      if (found > written) {
        const std::span<const Group> fresh(groups_.data() + written, found - written);
        listRows(fresh, rows);
        std::size_t k = 0;
        for (const Group& group : fresh) {
          if (!stays(group)) continue;
          const std::uint64_t start = out.size();
          out.buffer().resize(out.buffer().size() + kSkipperBytes);  // filled in once the group is written
          for (std::uint32_t c : cellsOf(group)) {
            writeCell(cells_[c], out, [&](std::vector<std::uint8_t>& to) { makeRecord(rows, k++, to); });
            keptCells_[c] = true;
          }
          fillSkipper(out, start, group.bounds.box());
        }
        written = found;
      }
      if ((state & kScanEnded) != 0) return;
      published_.wait(state, std::memory_order_acquire);
    }
  }

  // The cells no group that stays holds, in creation order, and their rows in the order the
  // file holds them, once the groups are written.
  void orderBareCells() {
    // Room for the most there can be: only the part filled takes memory.
    fileCells_.reserve(cells_.size());
    bareOrder_.reserve(rowsByCell_.size());
    for (std::uint32_t c : creationOrder_) {
      if (!keptCells_[c]) fileCells_.push_back(c);
    }
    for (std::size_t j = 0; j < fileCells_.size(); ++j) {
      fetchCellAhead(j);
      const std::span<const std::uint32_t> rows = rowsOf(cells_[fileCells_[j]]);
      bareOrder_.insert(bareOrder_.end(), rows.begin(), rows.end());
    }
    // Writing them needs only the cells from now on.
    Release(creationOrder_);
    Release(rowsByCell_);
    Release(keptCells_);
    Release(groups_);
    Release(groupCells_);
  }
  std::span<const std::uint32_t> bareOrder() const { return bareOrder_; }

  // Writes those cells; writeRow(i, to) writes the record of bareOrder()[i].
  void writeBareCells(BackgroundWriter& out,
                      const std::function<void(std::size_t, std::vector<std::uint8_t>&)>& writeRow) const {
    std::size_t nextRow = 0;
    for (std::size_t j = 0; j < fileCells_.size(); ++j) {
      fetchCellAhead(j);
      writeCell(cells_[fileCells_[j]], out, [&](std::vector<std::uint8_t>& to) { writeRow(nextRow++, to); });
    }
  }

 private:
  static constexpr std::uint32_t kNoCell = 0xFFFFFFFF;
  static constexpr std::uint32_t kScanEnded = 0x80000000;

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

  // Tells the writer of the groups how many there are, and whether the scan has ended. It is woken
  // now and then, not for every group.
  void publish(bool ended) {
    constexpr std::uint32_t kWakeEvery = 1024;
    const auto found = static_cast<std::uint32_t>(groups_.size());
    published_.store(found | (ended ? kScanEnded : 0), std::memory_order_release);
    if (ended || found % kWakeEvery == 0) published_.notify_one();
  }

  bool stays(const Group& group) const {
    std::uint32_t rows = 0;
    for (std::uint32_t c : cellsOf(group)) rows += cells_[c].rowCount;
    return group.endCell - group.firstCell >= 3 || rows >= 3;
  }

  // The rows of the groups that stay among `groups`, in the order they are written.
  void listRows(std::span<const Group> groups, std::vector<std::uint32_t>& rows) const {
    rows.clear();
    for (const Group& group : groups) {
      if (!stays(group)) continue;
      for (std::uint32_t c : cellsOf(group)) {
        const std::span<const std::uint32_t> cellRows = rowsOf(cells_[c]);
        rows.insert(rows.end(), cellRows.begin(), cellRows.end());
      }
    }
  }

  // Writes a cell: its records, each appended by makeRecord(to), behind a skipper when there are
  // three or more.
  template <typename MakeRecord>
  static void writeCell(const Cell& cell, BackgroundWriter& out, MakeRecord makeRecord) {
    const std::uint64_t start = out.size();
    if (cell.rowCount >= 3) out.buffer().resize(out.buffer().size() + kSkipperBytes);  // filled in below
    for (std::uint32_t k = 0; k < cell.rowCount; ++k) {
      makeRecord(out.buffer());
      out.passOn();
    }
    if (cell.rowCount >= 3) fillSkipper(out, start, cell.bounds.box());
  }

  // Fills in the skipper at `start` over what was written since.
  static void fillSkipper(BackgroundWriter& out, std::uint64_t start, const SkipperBox& box) {
    std::array<std::uint8_t, kSkipperBytes> skipper;
    PutSkipperRecord(static_cast<std::size_t>(out.size() - start), box, skipper.data());
    out.rewrite(start, skipper);
  }

  std::span<const std::uint32_t> cellsOf(const Group& group) const {
    return {groupCells_.data() + group.firstCell, group.endCell - group.firstCell};
  }
  std::span<const std::uint32_t> rowsOf(const Cell& cell) const {
    return {rowsByCell_.data() + cell.firstRow, cell.rowCount};
  }

  // File order jumps through the cells, so each is asked for some cells before its turn.
  [[gnu::always_inline]] void fetchCellAhead(std::size_t j) const {
    constexpr std::size_t kAhead = 8;
    if (j + kAhead >= fileCells_.size()) return;
    __builtin_prefetch(&cells_[fileCells_[j + kAhead]]);
  }

  SquareGrid grid_;
  std::vector<Cell> cells_;  // in square order
  std::vector<std::uint32_t> creationOrder_;
  std::vector<std::uint32_t> rowsByCell_;
  std::vector<std::uint32_t> fileCells_;    // those no group that stays holds, in creation order
  std::vector<std::uint32_t> bareOrder_;    // their rows
  std::vector<Block> blocks_;               // those holding cells, in number order
  std::vector<std::uint32_t> blockOfRank_;  // by creation rank, in blocks_
  std::vector<Candidate> candidates_;       // in square order
  std::vector<bool> keptCells_;             // those a group that stays holds
  std::vector<Group> groups_;
  // The groups found so far, with kScanEnded once the scan has ended.
  std::atomic<std::uint32_t> published_ = 0;
  std::vector<std::uint32_t> groupCells_;
};

OptimisedLayout::OptimisedLayout() : impl_(std::make_unique<Impl>()) {}
OptimisedLayout::~OptimisedLayout() = default;

void OptimisedLayout::buildCells(std::span<const UnitPosition> positions) { impl_->buildCells(positions); }
bool OptimisedLayout::hasTopSkipper() const { return impl_->hasTopSkipper(); }
void OptimisedLayout::buildGroups() { impl_->buildGroups(); }
void OptimisedLayout::writeKeptGroups(BackgroundWriter& out, const RecordMaking& makeRecord) {
  impl_->writeKeptGroups(out, makeRecord);
}
void OptimisedLayout::orderBareCells() { impl_->orderBareCells(); }
std::span<const std::uint32_t> OptimisedLayout::bareOrder() const { return impl_->bareOrder(); }
void OptimisedLayout::writeBareCells(
    BackgroundWriter& out, const std::function<void(std::size_t, std::vector<std::uint8_t>&)>& writeRow) const {
  impl_->writeBareCells(out, writeRow);
}
void OptimisedLayout::fillTopSkipper(BackgroundWriter& out, std::uint64_t start) const {
  impl_->fillTopSkipper(out, start);
}

}  // namespace qf
