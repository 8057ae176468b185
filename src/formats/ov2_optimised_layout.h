#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "core/background_writer.h"
#include "formats/ov2_record_maker.h"

namespace qf {

// The optimised file body: the rows in cells of 0.05 degree, nearby cells in groups, each group,
// and each cell of three or more rows, behind its own skipper, and all of it behind a top skipper
// unless it is a single block. It is built in steps, so that the writer can give memory back in
// between, and write the groups on another core while they are being found.
class OptimisedLayout {
 public:
  // makeRecord(rows, k, to) appends the record of rows[k] to `to`; `rows` are in the order the
  // records are made, so that it can fetch those after it ahead of their turn.
  using RecordMaking = std::function<void(std::span<const std::uint32_t>, std::size_t, std::vector<std::uint8_t>&)>;

  OptimisedLayout();
  ~OptimisedLayout();

  // The cells of the rows at `positions` (a row is its index there).
  void buildCells(std::span<const UnitPosition> positions);
  // Whether the body opens with the top skipper, known before the groups are. Its place is kept
  // at `start` and filled in once the body is written.
  bool hasTopSkipper() const;
  void fillTopSkipper(BackgroundWriter& out, std::uint64_t start) const;
  // Finds the groups of nearby cells.
  void buildGroups();
  // Run on another thread while buildGroups runs: writes each group that stays, skippers and all,
  // as soon as it is found, and returns once the last one is written.
  void writeKeptGroups(BackgroundWriter& out, const RecordMaking& makeRecord);
  // Then the cells no group that stays holds: orderBareCells finds their rows in the order the
  // file holds them, and writeBareCells writes them after the groups; writeRow(i, to) appends the
  // record of bareOrder()[i] to `to`.
  void orderBareCells();
  std::span<const std::uint32_t> bareOrder() const;
  void writeBareCells(BackgroundWriter& out,
                      const std::function<void(std::size_t, std::vector<std::uint8_t>&)>& writeRow) const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qf
