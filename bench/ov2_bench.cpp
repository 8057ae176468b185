// OV2 reading and writing on a generated file of a million POIs.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "formats/file_session.h"
#include "formats/ov2_reader.h"
#include "formats/ov2_writer.h"
#include "poi_generator.h"

namespace qf {
namespace {

constexpr std::size_t kPois = 1'000'000;

PoiDocument& BigDocument() {
  static PoiDocument document = bench::GeneratePois(kPois);
  return document;
}

std::vector<std::uint8_t> Write(bool optimise) {
  AppSettings settings;
  settings.set(Switch::OptimisePoi, optimise);
  SilentUserPort port;
  FileSession session(BigDocument(), FileOperation::Save, FileFormat::Ov2, settings, port);
  MemorySink sink;
  if (WriteOv2(session, sink) != 0) std::abort();
  return std::move(sink.bytes);
}

void BM_WriteOv2(benchmark::State& state) {
  const bool optimise = state.range(0) != 0;
  BigDocument();
  std::size_t bytes = 0;
  for (auto _ : state) bytes = Write(optimise).size();
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteOv2)->Arg(0)->Arg(1)->ArgNames({"optimise"})->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ReadOv2(benchmark::State& state) {
  const std::vector<std::uint8_t> file = Write(state.range(0) != 0);
  AppSettings settings;
  SilentUserPort port;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::uint8_t> bytes = file;
    auto document = std::make_unique<PoiDocument>();
    state.ResumeTiming();
    FileSession session(*document, FileOperation::Open, FileFormat::Ov2, settings, port);
    if (ReadOv2(session, bytes) != 0 || document->rowCount() != static_cast<int>(kPois)) std::abort();
    state.PauseTiming();
    document.reset();  // freeing a million rows is not part of reading
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadOv2)->Arg(0)->Arg(1)->ArgNames({"optimised"})->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace qf

BENCHMARK_MAIN();
