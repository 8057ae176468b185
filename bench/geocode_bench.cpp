// The geocoding loop against a service on this machine that answers at once: what a row costs
// besides the service's own answer (the request and reply on the loopback, parsing, the row's edit).
#include <benchmark/benchmark.h>

#include <string>

#include "core/field_rules.h"
#include "editing/poi_table.h"
#include "fakes/fake_geocoder.h"
#include "map/geocode_query.h"

namespace qf {
namespace {

constexpr int kRows = 200;

void BM_GeocodeRowOverhead(benchmark::State& state) {
  test::FakeGeocoder service;
  service.script({{.status = 200,
                   .body = "<GeocodeResponse><status>OK</status><result><formatted_address>Dam 1, 1012 JS Amsterdam, "
                           "Netherlands</formatted_address><geometry><location><lat>52.37310</lat><lng>4.89300</lng>"
                           "</location></geometry></result></GeocodeResponse>",
                   .dropped = false}});
  const ServiceSettings settings{.geocoder = GeocoderProvider::Xml, .geocoderHost = service.url(), .geocoderKey = {}};
  for (auto _ : state) {
    state.PauseTiming();
    PoiDocument document;
    PoiTable table(document);
    for (int row = 0; row < kRows; ++row) {
      AppendPoi(document, u"Shop " + std::u16string(1, u'A' + row % 26), false);
      SetCell(document, row, kMemo, u"Dam 1, Amsterdam");
    }
    Geocoder geocoder(settings, std::chrono::milliseconds(0));
    SilentUserPort port;
    state.ResumeTiming();
    RunGeocodeQuery(table, geocoder, GeocodeTarget::Coordinates, port);
  }
  // Seconds per row: the inverse of the rows done each second.
  state.counters["per_row"] = benchmark::Counter(static_cast<double>(kRows) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GeocodeRowOverhead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
