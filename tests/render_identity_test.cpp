// SPDX-License-Identifier: ISC
// The engine's output, bit for bit: a hash of every sample of the benchmark's
// plain and busy patches (ten seconds each), of the demo song and of the
// oscillators' waveform tables, held against tests/golden/render_hashes.txt.
// Work on speed must leave them as they are. A change that is meant to change the sound writes the file anew:
// run the test with WOBBLYTONE_UPDATE_GOLDEN=1 and commit the file with it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "adapters/offline/demo_song.h"
#include "adapters/offline/render_job.h"
#include "engine_workload.h"
#include "modules/vco.h"

namespace {

const std::string kGoldenFile = WOBBLYTONE_SOURCE_DIR "/tests/golden/render_hashes.txt";

// FNV-1a over the bytes of each sample.
class SampleHash {
 public:
  template <class T>
  void add(const T* samples, size_t count) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    for (size_t i = 0; i < count * sizeof(T); ++i) {
      hash ^= bytes[i];
      hash *= 0x100000001b3ULL;
    }
  }
  std::string text() const {
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(hash));
    return out;
  }

 private:
  uint64_t hash = 0xcbf29ce484222325ULL;
};

std::string workloadHash(bool busy) {
  EngineWorkload work(busy);
  SampleHash hash;
  for (int block = 0; block < 188 + 1875; ++block) {
    work.renderBlocks(1);
    hash.add(work.lastLeft().data(), work.lastLeft().size());
    hash.add(work.lastRight().data(), work.lastRight().size());
  }
  return hash.text();
}

// The demo as the renderer plays it with --seed 7, before the WAV's rounding.
std::string demoHash() {
  InstanceInfo info;
  info.resourcePath = WOBBLYTONE_BENCH_RESOURCES;
  info.randomSeed = 7;
  Wobblytone synth(info);
  DemoSong demo = makeDemoSong();
  for (auto [index, plain] : demo.program) synth.GetParam(index)->Set(plain);
  IByteChunk state;
  synth.SerializeState(state);
  synth.UnserializeState(state, 0);
  RenderSettings settings;
  settings.seed = 7;
  settings.resourcePath = WOBBLYTONE_BENCH_RESOURCES;
  SampleHash hash;
  EXPECT_TRUE(renderSong(synth, demo.events, settings, [&](const float* samples, int frames) {
    hash.add(samples, static_cast<size_t>(frames));
    return true;
  }));
  return hash.text();
}

// Every sample of the process-wide waveform tables that the oscillators read.
std::string waveTablesHash() {
  const WaveTables& tables = VCO::waveTables();
  SampleHash hash;
  for (int p = 0; p < WaveTables::kTables; ++p) {
    hash.add(tables.saw[p], WaveTables::kLength);
    hash.add(tables.tri[p], WaveTables::kLength);
    hash.add(tables.sawTri[p], WaveTables::kLength);
  }
  return hash.text();
}

std::map<std::string, std::string> readGolden() {
  std::map<std::string, std::string> golden;
  std::ifstream in(kGoldenFile);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string name, value;
    if (words >> name >> value) golden[name] = value;
  }
  return golden;
}

}  // namespace

TEST(RenderIdentity, ThePatchesAndTheDemoRenderTheSameSamplesAsBefore) {
  const std::map<std::string, std::string> now = {{"plain", workloadHash(false)},
                                                  {"busy", workloadHash(true)},
                                                  {"demo", demoHash()},
                                                  {"wave_tables", waveTablesHash()}};
  const char* update = std::getenv("WOBBLYTONE_UPDATE_GOLDEN");
  if (update && std::strcmp(update, "1") == 0) {
    std::ofstream out(kGoldenFile);
    out << "# Hashes of the engine's output (tests/render_identity_test.cpp). Written by the test\n"
           "# with WOBBLYTONE_UPDATE_GOLDEN=1, after a change meant to change the sound.\n";
    for (const auto& [name, value] : now) out << name << " " << value << "\n";
    ASSERT_TRUE(out.good()) << "cannot write " << kGoldenFile;
    GTEST_SKIP() << "wrote " << kGoldenFile;
  }
  const std::map<std::string, std::string> golden = readGolden();
  ASSERT_FALSE(golden.empty()) << kGoldenFile << " is missing: run with WOBBLYTONE_UPDATE_GOLDEN=1";
  for (const auto& [name, value] : now) {
    ASSERT_TRUE(golden.count(name)) << name << " is not in " << kGoldenFile;
    EXPECT_EQ(value, golden.at(name)) << "the " << name << " render changed";
  }
}
