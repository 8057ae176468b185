#include "core/check_sets.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <string_view>

#include "core/distances.h"
#include "core/substring_automaton.h"
#include "core/unicode.h"

namespace qf {

namespace {

constexpr int kRowsBetweenPolls = 4096;

// Joins rows into sets and keeps, for every join, the pair of rows that caused it: those pairs
// span each set, so that every row can name a row of its set it is linked to.
class RowLinks {
 public:
  explicit RowLinks(std::size_t rows) : root_(rows), size_(rows, 1) { std::iota(root_.begin(), root_.end(), 0); }

  int find(int row) {
    while (root_[row] != row) row = root_[row] = root_[root_[row]];
    return row;
  }
  bool joined(int a, int b) { return find(a) == find(b); }
  void link(int a, int b, std::int32_t distance) {
    int x = find(a), y = find(b);
    if (x == y) return;
    if (size_[x] < size_[y]) std::swap(x, y);
    root_[y] = x;
    size_[x] += size_[y];
    links_.push_back({a, b, distance});
  }

  // Each set's first row leads it; every other row names its neighbour on the way to the first.
  std::vector<CheckSet> sets() {
    const auto rows = static_cast<int>(root_.size());
    std::vector<int> start(root_.size() + 1, 0);
    for (const Link& link : links_) ++start[link.a + 1], ++start[link.b + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::pair<int, std::int32_t>> neighbours(start.back());
    std::vector<int> filled(start.begin(), start.end() - 1);
    for (const Link& link : links_) {
      neighbours[filled[link.a]++] = {link.b, link.distance};
      neighbours[filled[link.b]++] = {link.a, link.distance};
    }
    std::vector<SetMember> member(root_.size(), {-1, -1, kNoDistance});
    std::vector<int> setOf(root_.size(), -1);
    std::vector<CheckSet> sets;
    std::vector<int> queue;
    for (int row = 0; row < rows; ++row) {
      if (size_[find(row)] < 2) continue;
      int& set = setOf[find(row)];
      if (set < 0) {
        // The first row of a set: walk the set from here.
        set = static_cast<int>(sets.size());
        sets.emplace_back();
        member[row] = {row, -1, kNoDistance};
        queue.assign(1, row);
        for (std::size_t head = 0; head < queue.size(); ++head) {
          const int at = queue[head];
          for (int k = start[at]; k < start[at + 1]; ++k) {
            const auto [next, distance] = neighbours[k];
            if (member[next].row >= 0) continue;
            member[next] = {next, at, distance};
            queue.push_back(next);
          }
        }
      }
      sets[set].push_back(member[row]);
    }
    return sets;
  }

 private:
  struct Link {
    int a;
    int b;
    std::int32_t distance;
  };
  std::vector<int> root_;
  std::vector<int> size_;
  std::vector<Link> links_;
};

// Latitude bands half the near reach high, each cut into cells about as wide on the ground as the
// band is high at its widest, so that a cell is narrower than the threshold and its near rows lie
// in the cells of two bands up and down. Cells wrap around at the 180th meridian; towards the
// poles a band has fewer, wider cells, down to one.
class NearGrid {
 public:
  explicit NearGrid(std::int32_t thresholdMetres)
      : reach_(NearReachDegrees(thresholdMetres)),
        height_(std::min(reach_ / 2, 180.0)),
        bands_(static_cast<std::int64_t>(std::ceil(180 / height_))) {}

  double reach() const { return reach_; }
  std::int64_t bands() const { return bands_; }
  static std::int64_t key(std::int64_t band, std::int64_t cell) { return band << 32 | cell; }

  std::int64_t keyOf(GeoPoint position) const {
    const std::int64_t band = std::clamp<std::int64_t>(
        static_cast<std::int64_t>(std::floor((position.latitude + 90) / height_)), 0, bands_ - 1);
    const std::int64_t cells = cellsIn(band);
    const auto cell = static_cast<std::int64_t>(std::floor((position.longitude + 180) / (360.0 / cells)));
    return key(band, (cell % cells + cells) % cells);
  }

  // The cells of a band that may hold rows near a row of a cell: up to two ranges of cell numbers.
  // With `adjacent`, only the cells within one band's height: joining those first joins most
  // rows of a crowded area before the farther cells are compared.
  template <typename Visit>
  void neighbours(std::int64_t cellKey, std::int64_t band, bool adjacent, Visit&& visit) const {
    const std::int64_t ownBand = cellKey >> 32, own = cellKey & 0xffffffff;
    const double ownWidth = 360.0 / cellsIn(ownBand);
    const double longitudeReach = LongitudeReach(poleward(ownBand), adjacent ? height_ : reach_);
    const std::int64_t cells = cellsIn(band);
    const double width = 360.0 / cells;
    const double west = -180 + own * ownWidth - longitudeReach;
    const double east = -180 + (own + 1) * ownWidth + longitudeReach;
    const auto first = static_cast<std::int64_t>(std::floor((west + 180) / width));
    const auto last = static_cast<std::int64_t>(std::floor((east + 180) / width));
    if (longitudeReach >= 180 || last - first + 1 >= cells) {
      visit(0, cells - 1);
    } else if (first < 0) {
      visit(first + cells, cells - 1);
      visit(0, last);
    } else if (last >= cells) {
      visit(first, cells - 1);
      visit(0, last - cells);
    } else {
      visit(first, last);
    }
  }

 private:
  std::int64_t cellsIn(std::int64_t band) const {
    const double south = -90 + band * height_, north = std::min(90.0, south + height_);
    const double widest = south <= 0 && north >= 0 ? 0 : std::min(std::abs(south), std::abs(north));
    const double cells = std::floor(360 / (height_ / std::cos(widest / 57.29577951308232)));
    return cells < 1 ? 1 : static_cast<std::int64_t>(std::min(cells, 1e9));
  }
  // The band's latitude farthest from the equator, where a distance spans the most longitude.
  double poleward(std::int64_t band) const {
    const double south = -90 + band * height_;
    return std::min(90.0, std::max(std::abs(south), std::abs(south + height_)));
  }

  double reach_;
  double height_;
  std::int64_t bands_;
};

// The bounds of some rows' positions, in degrees.
struct Box {
  double west, east, south, north;

  static Box Of(const BasePointCache& p) { return {p.longitude, p.longitude, p.latitude, p.latitude}; }
  void widen(const BasePointCache& p) {
    west = std::min(west, p.longitude), east = std::max(east, p.longitude);
    south = std::min(south, p.latitude), north = std::max(north, p.latitude);
  }
  // Whether every position in one is farther than reach degrees of arc from every position in the
  // other: by latitude alone, or by the haversine formula, hav(d) >= cos(a)cos(b) hav(dLongitude),
  // with both cosines at their smallest.
  bool farFrom(const Box& other, double reach) const {
    if (std::max({other.south - north, south - other.north}) > reach) return true;
    const double apart = std::max({0.0, other.west - east, west - other.east});
    const double around = 360 - (std::max(east, other.east) - std::min(west, other.west));
    const double gap = std::min(apart, around);
    if (gap <= 0) return false;
    const double poleward = std::max({std::abs(south), std::abs(north), std::abs(other.south), std::abs(other.north)});
    return std::cos(poleward * kRadians) * std::sin(gap * kRadians / 2) > std::sin(reach * kRadians / 2);
  }

  static constexpr double kRadians = 0.017453292519943295;
};

struct Located {
  std::int64_t cell;
  int row;
  BasePointCache position;
};

class NearLinker {
 public:
  NearLinker(const PoiDocument& document, std::int32_t thresholdMetres)
      : threshold_(thresholdMetres), grid_(thresholdMetres), links_(document.rows.size()) {
    for (int row = 0; row < document.rowCount(); ++row) {
      if (const std::optional<GeoPoint> position = RowGeoPoint(document, row)) {
        points_.push_back({grid_.keyOf(*position), row, CacheOf(*position)});
      }
    }
    std::sort(points_.begin(), points_.end(),
              [](const Located& a, const Located& b) { return a.cell != b.cell ? a.cell < b.cell : a.row < b.row; });
    for (std::size_t i = 0; i < points_.size(); ++i) {
      if (i == 0 || points_[i].cell != points_[i - 1].cell) cells_.push_back({points_[i].cell, static_cast<int>(i)});
    }
    for (std::size_t c = 0; c < cells_.size(); ++c) {
      cells_[c].end = c + 1 < cells_.size() ? cells_[c + 1].begin : static_cast<int>(points_.size());
    }
  }

  std::optional<std::vector<CheckSet>> run(const CheckPoll& poll) {
    int sincePoll = 0;
    for (Cell& cell : cells_) {
      joinWithin(cell);
      findRuns(cell);
    }
    for (const bool adjacent : {true, false}) {
      for (const Cell& cell : cells_) {
        joinNeighbours(cell, adjacent);
        if ((sincePoll += cell.end - cell.begin) >= kRowsBetweenPolls) {
          sincePoll = 0;
          if (poll && poll(CheckStage::NearDistances)) return std::nullopt;
        }
      }
    }
    return links_.sets();
  }

 private:
  struct Cell {
    std::int64_t key;
    int begin;
    int end = 0;
    int firstRun = 0;  // the cell's runs of rows of one set are runStarts_[firstRun] .. [lastRun + 1]
    int lastRun = 0;
  };

  bool tryLink(const Located& a, const Located& b) {
    if (std::abs(a.position.latitude - b.position.latitude) > grid_.reach()) return false;
    const std::int32_t distance = DistanceFrom(a.position, b.position);
    if (distance > threshold_) return false;
    links_.link(a.row, b.row, distance);
    return true;
  }

  // Rows of one cell: nearly always all near its first row. A cell wider than the threshold
  // compares its other rows pair by pair. The cell's rows end up ordered by set, so that
  // joinNeighbours compares each pair of sets once.
  void joinWithin(const Cell& cell) {
    const Located& first = points_[cell.begin];
    bool whole = true;
    for (int i = cell.begin + 1; i < cell.end; ++i) whole &= tryLink(first, points_[i]);
    if (whole) return;
    for (int i = cell.begin + 1; i < cell.end; ++i) {
      for (int j = cell.begin; j < cell.end; ++j) {
        if (!links_.joined(points_[i].row, points_[j].row)) tryLink(points_[i], points_[j]);
      }
    }
    std::sort(points_.begin() + cell.begin, points_.begin() + cell.end, [this](const Located& a, const Located& b) {
      const int x = links_.find(a.row), y = links_.find(b.row);
      return x != y ? x < y : a.row < b.row;
    });
  }

  // The runs of rows of one set in a cell, as joinWithin left them, with their bounds.
  void findRuns(Cell& cell) {
    cell.firstRun = static_cast<int>(runStarts_.size());
    for (int i = cell.begin; i < cell.end; ++i) {
      if (i == cell.begin || !links_.joined(points_[i - 1].row, points_[i].row)) {
        runStarts_.push_back(i);
        runBoxes_.push_back(Box::Of(points_[i].position));
      } else {
        runBoxes_.back().widen(points_[i].position);
      }
    }
    cell.lastRun = static_cast<int>(runStarts_.size()) - 1;
  }
  int runEnd(int run) const {
    return run + 1 < static_cast<int>(runStarts_.size()) ? runStarts_[run + 1] : static_cast<int>(points_.size());
  }

  // Each later cell that may hold near rows; per pair of sets, pairs of rows until one is near.
  void joinNeighbours(const Cell& cell, bool adjacent) {
    const std::int64_t band = cell.key >> 32;
    for (std::int64_t other = band; other <= std::min(band + (adjacent ? 1 : 2), grid_.bands() - 1); ++other) {
      grid_.neighbours(cell.key, other, adjacent, [&](std::int64_t first, std::int64_t last) {
        auto it = std::lower_bound(cells_.begin(), cells_.end(), NearGrid::key(other, first),
                                   [](const Cell& c, std::int64_t key) { return c.key < key; });
        for (; it != cells_.end() && it->key <= NearGrid::key(other, last); ++it) {
          if (it->key > cell.key) joinCells(cell, *it);
        }
      });
    }
  }

  void joinCells(const Cell& a, const Cell& b) {
    for (int x = a.firstRun; x <= a.lastRun; ++x) {
      for (int y = b.firstRun; y <= b.lastRun; ++y) joinRuns(x, y);
    }
  }

  // Two crowds just farther apart than the threshold would compare every pair without the bounds.
  void joinRuns(int x, int y) {
    if (links_.joined(points_[runStarts_[x]].row, points_[runStarts_[y]].row)) return;
    const Box& far = runBoxes_[y];
    if (runBoxes_[x].farFrom(far, grid_.reach())) return;
    for (int i = runStarts_[x]; i < runEnd(x); ++i) {
      if (Box::Of(points_[i].position).farFrom(far, grid_.reach())) continue;
      for (int j = runStarts_[y]; j < runEnd(y); ++j) {
        if (tryLink(points_[i], points_[j])) return;
      }
    }
  }

  std::int32_t threshold_;
  NearGrid grid_;
  RowLinks links_;
  std::vector<Located> points_;
  std::vector<Cell> cells_;
  std::vector<int> runStarts_;
  std::vector<Box> runBoxes_;
};

// Texts of many rows in one buffer, each reachable as a view.
template <typename Char>
class TextPool {
 public:
  void add(std::basic_string_view<Char> text) {
    texts_.append(text);
    ends_.push_back(texts_.size());
  }
  std::basic_string_view<Char> view(int index) const {
    const std::size_t begin = index == 0 ? 0 : ends_[static_cast<std::size_t>(index) - 1];
    return std::basic_string_view<Char>(texts_).substr(begin, ends_[static_cast<std::size_t>(index)] - begin);
  }

 private:
  std::basic_string<Char> texts_;
  std::vector<std::size_t> ends_;
};

// Joins the rows whose texts are equal, each to the first row of its text; returns those first
// rows in the order of their texts.
template <typename Char>
std::vector<int> LinkEqualTexts(const TextPool<Char>& pool, int rows, RowLinks& links) {
  std::vector<int> order(static_cast<std::size_t>(rows));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const auto x = pool.view(a), y = pool.view(b);
    return x != y ? x < y : a < b;
  });
  std::vector<int> firsts;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && pool.view(order[i]) == pool.view(firsts.back())) {
      links.link(firsts.back(), order[i], kNoDistance);
    } else {
      firsts.push_back(order[i]);
    }
  }
  return firsts;
}

}  // namespace

std::optional<std::vector<CheckSet>> NearSets(const PoiDocument& document, std::int32_t thresholdMetres,
                                              const CheckPoll& poll) {
  return NearLinker(document, thresholdMetres).run(poll);
}

std::optional<std::vector<CheckSet>> SimilarSets(const PoiDocument& document, const CheckPoll& poll) {
  const int rows = document.rowCount();
  RowLinks links(document.rows.size());
  auto stopped = [&] { return poll && poll(CheckStage::SimilarNames); };
  {
    // Names of which one occurs in the other ignoring case: equal folded names first, then every
    // distinct folded name found inside another in one pass of an automaton over all of them.
    TextPool<char16_t> folded;
    for (int row = 0; row < rows; ++row) folded.add(FoldCase(document.text(row, kName)));
    const std::vector<int> distinct = LinkEqualTexts(folded, rows, links);
    if (stopped()) return std::nullopt;
    std::vector<std::u16string_view> names;
    names.reserve(distinct.size());
    for (const int row : distinct) names.push_back(folded.view(row));
    const SubstringAutomaton automaton(names);
    for (std::size_t name = 0; name < names.size(); ++name) {
      automaton.scan(names[name], [&](int inside) { links.link(distinct[name], distinct[inside], kNoDistance); });
      if (name % kRowsBetweenPolls == 0 && stopped()) return std::nullopt;
    }
  }
  // Names equal in the locale's comparison.
  TextPool<char> keys;
  for (int row = 0; row < rows; ++row) {
    keys.add(SimilarNameKey(document.text(row, kName)));
    if (row % kRowsBetweenPolls == 0 && stopped()) return std::nullopt;
  }
  LinkEqualTexts(keys, rows, links);
  return links.sets();
}

}  // namespace qf
