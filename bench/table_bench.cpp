// Editing a table of a million POIs: sorting, deleting, pasting, and undoing and redoing them.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include "core/user_port.h"
#include "editing/clipboard_edits.h"
#include "editing/find_replace.h"
#include "editing/poi_table.h"
#include "poi_generator.h"

namespace qf {
namespace {

constexpr std::size_t kPois = 1'000'000;

const PoiDocument& BigDocument() {
  static const PoiDocument document = bench::GeneratePois(kPois);
  return document;
}

struct Fixture {
  PoiDocument document = BigDocument();
  PoiTable table{document};
};

// Only `measured` is timed: making the table an iteration starts from, and freeing the one before,
// are not.
void Run(benchmark::State& state, const std::function<void(PoiTable&)>& prepare,
         const std::function<void(PoiTable&)>& measured) {
  std::unique_ptr<Fixture> fixture;
  for (auto _ : state) {
    state.PauseTiming();
    fixture.reset();
    fixture = std::make_unique<Fixture>();
    prepare(fixture->table);
    state.ResumeTiming();
    measured(fixture->table);
  }
}

void SortByName(PoiTable& table) { table.sort(kName, true); }

// 100,000 selected rows spread over the table.
void SelectTenth(PoiTable& table) {
  PoiDocument& document = table.document();
  for (std::size_t row = 0; row < document.rows.size(); row += 10) document.rows[row].selected = true;
}

void BM_SortByName(benchmark::State& state) { Run(state, [](PoiTable&) {}, SortByName); }
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UndoSort(benchmark::State& state) { Run(state, SortByName, [](PoiTable& table) { table.undo(); }); }
BENCHMARK(BM_UndoSort)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RedoSort(benchmark::State& state) {
  Run(
      state,
      [](PoiTable& table) {
        SortByName(table);
        table.undo();
      },
      [](PoiTable& table) { table.redo(); });
}
BENCHMARK(BM_RedoSort)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DeleteTenth(benchmark::State& state) {
  Run(state, SelectTenth, [](PoiTable& table) { table.deleteSelected(); });
}
BENCHMARK(BM_DeleteTenth)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UndoDeleteTenth(benchmark::State& state) {
  Run(
      state,
      [](PoiTable& table) {
        SelectTenth(table);
        table.deleteSelected();
      },
      [](PoiTable& table) { table.undo(); });
}
BENCHMARK(BM_UndoDeleteTenth)->Unit(benchmark::kMillisecond)->Iterations(3);

// A tenth of the rows copied and pasted into the middle, as Ctrl+C and Ctrl+V do.
void PasteTenthInTheMiddle(PoiTable& table) {
  SelectTenth(table);
  const ExchangeRows copied = SelectedExchangeRows(table.document());
  table.clearSelection();
  table.selectAndFocus(table.document().rowCount() / 2);
  SilentUserPort port;
  PasteRows(table, copied, false, port);
}

void BM_PasteTenthInTheMiddle(benchmark::State& state) { Run(state, [](PoiTable&) {}, PasteTenthInTheMiddle); }
BENCHMARK(BM_PasteTenthInTheMiddle)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UndoPasteTenthInTheMiddle(benchmark::State& state) {
  Run(state, PasteTenthInTheMiddle, [](PoiTable& table) { table.undo(); });
}
BENCHMARK(BM_UndoPasteTenthInTheMiddle)->Unit(benchmark::kMillisecond)->Iterations(3);

// Generated names hold "a" in about half of the rows.
FindState FindA() {
  FindState find;
  find.findText = u"a";
  find.replaceText = u"A";
  find.selectAll = true;
  return find;
}

void BM_FindSelectAll(benchmark::State& state) {
  Run(state, [](PoiTable&) {}, [](PoiTable& table) { Find(table, FindA()); });
}
BENCHMARK(BM_FindSelectAll)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReplaceAll(benchmark::State& state) {
  Run(state, [](PoiTable&) {}, [](PoiTable& table) { ReplaceAll(table, FindA(), false); });
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
