// SPDX-License-Identifier: ISC
// What the plug-in adapters cost: the same patch and phrase rendered by the
// engine alone, by the CLAP build through a host of our own, and by the LV2
// build through lilv, in one run so that the figures compare.
#include <benchmark/benchmark.h>

#include "adapters/dpf/lv2_symbol.h"
#include "clap_host.h"
#include "lv2_host.h"

namespace {

constexpr double kRate = 48000;
constexpr int kBlock = 256;
constexpr int kBlocksPerIteration = 1875;  // ten seconds

const std::vector<std::pair<int, double>>& patch() {
  static const std::vector<std::pair<int, double>> values = {
      {kPower, 1},          {kVoltage, 1},        {kWarmUp, 2},        {kCutoff, 0.45},
      {kEmphasis, 0.7},     {kAmountOfContour, 0.3}, {kFilterDecay, 0.3}, {kFilterSustain, 0.4},
      {kLoudnessDecay, 0.3}, {kLoudnessSustain, 0.7}};
  return values;
}

// Eighth notes at 120 bpm, as the engine benchmark plays them.
std::vector<IMidiMsg> phraseBlock(long block) {
  static const int kNotes[8] = {36, 48, 43, 39, 41, 53, 46, 31};
  std::vector<IMidiMsg> midi;
  if (block % 24 == 0) midi.push_back(IMidiMsg::noteOn(5, kNotes[(block / 24) % 8], 100));
  if (block % 24 == 20) midi.push_back(IMidiMsg::noteOff(3, kNotes[(block / 24) % 8]));
  return midi;
}

void BM_EngineAlone(benchmark::State& state) {
  InstanceInfo info;
  info.resourcePath = WOBBLYTONE_CLAP_RESOURCES "/";
  Wobblytone synth(info);
  HeadlessHost host(synth);
  host.prepare(kRate, kBlock);
  host.activate();
  for (auto [param, value] : patch()) synth.OnPlainParamChangeFromHost(param, value);
  std::vector<float> left(kBlock), right(kBlock);
  long block = 0;
  for (auto _ : state) {
    for (int b = 0; b < kBlocksPerIteration; ++b, ++block) {
      const auto midi = phraseBlock(block);
      host.process(midi.data(), static_cast<int>(midi.size()), left.data(), right.data(), kBlock);
    }
    benchmark::DoNotOptimize(left.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlocksPerIteration * kBlock);
}

void BM_ClapBuild(benchmark::State& state) {
  testhost::ClapInstance clap;
  if (!clap.plugin || !clap.activate(kRate, kBlock)) {
    state.SkipWithError("cannot load the CLAP build");
    return;
  }
  for (auto [param, value] : patch()) clap.in.add(testhost::paramEvent(0, testhost::idOf(param), value));
  long block = 0;
  for (auto _ : state) {
    for (int b = 0; b < kBlocksPerIteration; ++b, ++block) {
      for (const IMidiMsg& m : phraseBlock(block)) clap.in.add(testhost::midiEvent(static_cast<uint32_t>(m.mOffset), m));
      clap.process(kBlock);
    }
    benchmark::DoNotOptimize(clap.left.data());
  }
  state.SetItemsProcessed(state.iterations() * kBlocksPerIteration * kBlock);
}

void BM_Lv2Build(benchmark::State& state) {
  testhost::Lv2Instance lv2(kRate, kBlock);
  if (!lv2.instance) {
    state.SkipWithError("cannot load the LV2 build");
    return;
  }
  const Wobblytone names{InstanceInfo{}};
  for (auto [param, value] : patch()) lv2.setControl(lv2Symbol(names.GetParam(param)->GetName()), static_cast<float>(value));
  long block = 0;
  for (auto _ : state) {
    for (int b = 0; b < kBlocksPerIteration; ++b, ++block) lv2.run(phraseBlock(block));
    benchmark::DoNotOptimize(lv2.audioOut[0].data());
  }
  state.SetItemsProcessed(state.iterations() * kBlocksPerIteration * kBlock);
}

}  // namespace

BENCHMARK(BM_EngineAlone)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ClapBuild)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Lv2Build)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
