#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "core/background_writer.h"
#include "formats/ov2_record_maker.h"

namespace qf {

// The optimised file body: the rows in cells of 0.05 degree, nearby cells in groups, each group,
// and each cell of three or more rows, behind its own skipper. It is built in steps, so that the
// writer can give memory back and find the records' sizes on another core in between.
class OptimisedLayout {
 public:
  OptimisedLayout();
  ~OptimisedLayout();

  // The cells of the rows at `positions` (a row is its index there).
  void buildCells(std::span<const UnitPosition> positions);
  // The groups of nearby cells.
  void buildGroups();
  // Which groups stay and how many bytes every block takes, so that each skipper can be written
  // before the records it covers; row i's record takes recordSizes[i] bytes.
  void measure(std::span<const std::uint16_t> recordSizes);
  // The rows in the order the file holds them, once measured.
  std::span<const std::uint32_t> fileOrder() const;
  // Writes the file body after the signal mark, skippers and all; writeRow(i) writes the record
  // of fileOrder()[i]. Nothing at all when there are no rows.
  void write(BackgroundWriter& out, const std::function<void(std::size_t)>& writeRow) const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qf
