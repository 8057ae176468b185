#include "formats/ov2_writer.h"

#include <algorithm>
#include <span>
#include <thread>
#include <vector>

#include "core/background_writer.h"
#include "formats/file_pipeline.h"
#include "formats/ov2_optimised_layout.h"
#include "formats/ov2_record.h"
#include "formats/ov2_record_maker.h"
#include "formats/signal_mark.h"

namespace qf {

namespace {

class Ov2Writer {
 public:
  Ov2Writer(FileSession& session, ByteSink& out)
      : session_(session), document_(session.document), out_(out), make_(RecordMakerFor(session.document)) {}

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

  // The groups are found on this core while another writes each group that stays as soon as it
  // is found. The cells left over follow. The top skipper, whose size is known only at the end, is
  // then filled in at its place.
  void writeOptimised() {
    OptimisedLayout layout;
    layout.buildCells(positions_);
    // Its memory goes back at once (assigning {} would keep it); the positions are read again.
    std::vector<UnitPosition>().swap(positions_);
    const bool top = layout.hasTopSkipper();
    const std::uint64_t topStart = out_.size();
    if (top) out_.buffer().resize(out_.buffer().size() + ov2::kSkipperBytes);
    {
      std::jthread groupWriter([&] {
        layout.writeKeptGroups(
            out_, [this](std::span<const std::uint32_t> order, std::size_t k, std::vector<std::uint8_t>& to) {
              fetchAhead(order, k);
              makeAgain(order[k], to);
            });
      });
      layout.buildGroups();
    }
    layout.orderBareCells();
    writeInFileOrder(layout);
    if (top) layout.fillTopSkipper(out_, topStart);
  }

  // File order jumps through the rows, which makes each record slow to make: a second core makes
  // every other stretch of records meanwhile, into memory, and this one copies them out in turn.
  void writeInFileOrder(const OptimisedLayout& layout) {
    constexpr std::size_t kStretch = std::size_t{1} << 16;
    const std::span<const std::uint32_t> order = layout.bareOrder();
    const std::size_t alreadyWritten = rows_.size() - order.size();
    std::vector<std::uint8_t> made;  // the records of the other core's stretch
    std::vector<std::size_t> ends;   // where each of them ends there
    std::jthread maker;
    layout.writeBareCells(out_, [&](std::size_t k, std::vector<std::uint8_t>& to) {
      const bool ours = k / kStretch % 2 == 0;
      if (ours && k % kStretch == 0) {
        const std::size_t end = std::min(k + 2 * kStretch, order.size());
        maker = std::jthread([&, end, begin = std::min(k + kStretch, end)] {
          made.clear();
          ends.clear();
          for (std::size_t i = begin; i < end; ++i) {
            fetchAhead(order, i);
            makeAgain(order[i], made);
            ends.push_back(made.size());
          }
        });
      }
      if (ours) {
        fetchAhead(order, k);
        makeAgain(order[k], to);
      } else {
        if (maker.joinable()) maker.join();
        const std::size_t j = k % kStretch;
        to.insert(to.end(), made.begin() + static_cast<std::ptrdiff_t>(j == 0 ? 0 : ends[j - 1]),
                  made.begin() + static_cast<std::ptrdiff_t>(ends[j]));
      }
      session_.progress(rows_.size(), alreadyWritten + k + 1);
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
