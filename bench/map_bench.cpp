// The map page for a large document, and a page message applied to a table of a million POIs.
#include <benchmark/benchmark.h>

#include <string>

#include "core/unicode.h"
#include "map/map_bridge.h"
#include "map/map_page.h"
#include "poi_generator.h"

namespace qf {
namespace {

void BM_MapPage100k(benchmark::State& state) {
  static const PoiDocument document = bench::GeneratePois(100'000, bench::Shape::World);
  const MapPageOptions options;
  for (auto _ : state) {
    const MapPage page = BuildMapPage(document, options);
    state.counters["MB"] = static_cast<double>(page.text.size()) / 1e6;
  }
}
BENCHMARK(BM_MapPage100k)->Unit(benchmark::kMillisecond);

// A million POIs over the whole globe whose names repeat every thousand rows, so that the name
// alone tells few rows apart.
PoiDocument MillionPois() {
  PoiDocument document = bench::GeneratePois(1'000'000, bench::Shape::World);
  for (int row = 0; row < document.rowCount(); ++row) {
    document.rows[static_cast<std::size_t>(row)].setText(kName, u"POI " + Utf8ToUtf16(std::to_string(row % 1000)));
  }
  return document;
}

std::u16string UpdateMessage(const std::array<std::u16string, 5>& texts, std::u16string_view lng,
                             std::u16string_view lat) {
  std::u16string message = u"<\t2";
  for (const std::u16string& text : texts) message += u'\t' + text;
  return message + u'\t' + std::u16string(lng) + u'\t' + std::u16string(lat) + u'\t' + texts[kMemo];
}

// A marker near the end of the table dragged back and forth: the message is read, its row found
// and updated as one undo step.
void BM_UpdateMessage1M(benchmark::State& state) {
  PoiDocument document = MillionPois();
  PoiTable table(document);
  const int row = document.rowCount() - 7;
  std::array<std::u16string, 5> here = MarkerTexts(document, row);
  std::array<std::u16string, 5> there = here;
  there[kLng] = u"12.34567";
  there[kLat] = u"-45.67891";
  const std::u16string messages[] = {UpdateMessage(here, there[kLng], there[kLat]),
                                     UpdateMessage(there, here[kLng], here[kLat])};
  int turn = 0;
  for (auto _ : state) {
    const BridgeResult result = ApplyPageMessage(table, *ParsePageMessage(messages[turn]), false);
    if (result.row != row) state.SkipWithError("the marker's row was not found");
    turn = 1 - turn;
  }
}
BENCHMARK(BM_UpdateMessage1M)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
