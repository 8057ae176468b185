// The POI check stages on generated documents: every group found is continued past, as a user
// pressing Continue would, until the stage is through.
#include <benchmark/benchmark.h>

#include "core/check_sets.h"
#include "core/poi_checks.h"
#include "poi_generator.h"

namespace qf {
namespace {

int RunToTheEnd(const PoiDocument& document, const CheckSettings& settings) {
  CheckRun run(document, settings);
  const CheckPoll never = [](CheckStage) { return false; };
  int groups = 0;
  for (CheckOutcome outcome = run.start(document, never); outcome == CheckOutcome::GroupFound;
       outcome = run.continueCheck(document, never)) {
    ++groups;
  }
  return groups;
}

void BM_NearDistances200k(benchmark::State& state) {
  static const PoiDocument document = bench::GeneratePois(200'000);
  CheckSettings settings;
  settings.similarNames = settings.emptyCoordinates = false;
  for (auto _ : state) state.counters["groups"] = RunToTheEnd(document, settings);
}
BENCHMARK(BM_NearDistances200k)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SimilarNames100k(benchmark::State& state) {
  static const PoiDocument document = bench::GeneratePois(100'000);
  CheckSettings settings;
  settings.nearDistances = settings.emptyCoordinates = false;
  for (auto _ : state) state.counters["groups"] = RunToTheEnd(document, settings);
}
BENCHMARK(BM_SimilarNames100k)->Unit(benchmark::kMillisecond)->Iterations(1);

// The command line's sets: every set of the document at once.
void BM_NearSets200k(benchmark::State& state) {
  static const PoiDocument document = bench::GeneratePois(200'000);
  for (auto _ : state) state.counters["sets"] = static_cast<double>(NearSets(document, 5000, nullptr)->size());
}
BENCHMARK(BM_NearSets200k)->Unit(benchmark::kMillisecond);

void BM_SimilarSets200k(benchmark::State& state) {
  static const PoiDocument document = bench::GeneratePois(200'000);
  for (auto _ : state) state.counters["sets"] = static_cast<double>(SimilarSets(document, nullptr)->size());
}
BENCHMARK(BM_SimilarSets200k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
