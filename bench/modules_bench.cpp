// SPDX-License-Identifier: ISC
// Cost of the sound modules: the one-time waveform build and per-sample work.
#include <benchmark/benchmark.h>

#include <memory>

#include "modules/contour.h"
#include "modules/filter.h"
#include "modules/vcf.h"
#include "modules/vco.h"

static void BM_WaveTableBuild(benchmark::State& state) {
  auto tables = std::make_unique<WaveTables>();
  for (auto _ : state) {
    WaveTables::build(*tables);
    benchmark::DoNotOptimize(tables->saw[0][100]);
  }
}
BENCHMARK(BM_WaveTableBuild)->Unit(benchmark::kMillisecond);

static void BM_PhaseIncrementTables(benchmark::State& state) {
  double rate = 44100;
  for (auto _ : state) {
    PhaseIncrementTables t(rate);
    benchmark::DoNotOptimize(t.freq2PhInc[100]);
    rate += 1;
  }
}
BENCHMARK(BM_PhaseIncrementTables)->Unit(benchmark::kMicrosecond);

static void BM_VCOSawtooth(benchmark::State& state) {
  VCO osc;
  osc.setSampleRate(48000);
  double sum = 0;
  for (auto _ : state) {
    osc.update(4800);
    for (int i = 0; i < 256; ++i) sum += osc.process();
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_VCOSawtooth);

static void BM_LadderFilter(benchmark::State& state) {
  VCF vcf;
  vcf.setSampleRate(48000);
  vcf.setCutoff(9000, false);
  vcf.setEmphasis(0.8);
  double x = 0.3, sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < 256; ++i) {
      x = -x;
      sum += vcf.process(x, 0);
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_LadderFilter);

static void BM_Biquad(benchmark::State& state) {
  BandPass bp;
  bp.setSampleRate(48000);
  bp.setFrequency(330);
  double x = 0.3, sum = 0;
  for (auto _ : state) {
    for (int i = 0; i < 256; ++i) {
      x = -x;
      sum += bp.process(x);
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations() * 256);
}
BENCHMARK(BM_Biquad);
