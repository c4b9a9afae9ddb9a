// SPDX-License-Identifier: ISC
// ProcessBlock at 48 kHz in 256-frame blocks, for a plain and a busy patch
// playing a steady phrase. Reports the realtime factor (audio seconds per
// CPU second). `wobblytone_bench --benchmark_filter=Engine` runs just these;
// bench/instructions.sh counts instructions per frame under callgrind.
#include <benchmark/benchmark.h>

#include "engine_workload.h"
#include "instrument/engine_view.h"

static void runPatch(benchmark::State& state, bool busy) {
  EngineWorkload work(busy);
  long frames = 0;
  for (auto _ : state) frames += work.renderBlocks(188);  // about a second
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(frames) / EngineWorkload::kRate, benchmark::Counter::kIsRate);
  state.SetItemsProcessed(frames);
}

static void BM_EnginePlainPatch(benchmark::State& state) { runPatch(state, false); }
static void BM_EngineBusyPatch(benchmark::State& state) { runPatch(state, true); }
BENCHMARK(BM_EnginePlainPatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineBusyPatch)->Unit(benchmark::kMillisecond);

static void BM_FirstAndFurtherInstance(benchmark::State& state) {
  for (auto _ : state) {
    InstanceInfo info;
    info.resourcePath = WOBBLYTONE_BENCH_RESOURCES;
    Wobblytone synth(info);
    benchmark::DoNotOptimize(EngineView(synth).knobBroken(0));
  }
}
BENCHMARK(BM_FirstAndFurtherInstance)->Unit(benchmark::kMillisecond);
