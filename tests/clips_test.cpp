// SPDX-License-Identifier: ISC
// The generated sound clips, decoded as the engine decodes them and measured:
// sizes, repeatability, pitch, level, spectral shape and seamless loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "clip_generator.h"
#include "test_util.h"

namespace {

constexpr double kRate = kClipSampleRate;

// Every clip is generated once and shared by the tests.
const std::vector<uint8_t>& clipBytes(int index) {
  static std::vector<uint8_t> cache[kClipCount];
  if (cache[index].empty()) cache[index] = makeClipBytes(index);
  return cache[index];
}

// The signed 8-bit samples the engine reads from a clip: a packed byte holds
// two 4-bit values v, low nibble first, each meaning v * 16 - 128.
const std::vector<double>& clip(int index) {
  static std::vector<double> cache[kClipCount];
  if (cache[index].empty()) {
    for (uint8_t b : clipBytes(index)) {
      if (kClipFiles[index].packed4Bit) {
        cache[index].push_back((b & 15) * 16 - 128);
        cache[index].push_back((b >> 4) * 16 - 128);
      } else {
        cache[index].push_back(b - 128);
      }
    }
  }
  return cache[index];
}

double mean(const std::vector<double>& x, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += x[i];
  return sum / (to - from);
}

double rms(const std::vector<double>& x, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += x[i] * x[i];
  return std::sqrt(sum / (to - from));
}

// Mean Hann-windowed power spectrum of `frames` frames of `size` samples taken
// `hop` apart from `start`, wrapping round the end as a looped clip does.
// Bin k is at k * rate / size.
std::vector<double> spectrum(const std::vector<double>& x, size_t start, int frames, size_t size, size_t hop) {
  std::vector<double> power(size / 2 + 1);
  std::vector<double> window(size);
  for (size_t i = 0; i < size; ++i) window[i] = 0.5 - 0.5 * std::cos(2 * M_PI * i / size);
  std::vector<std::complex<double>> a(size);
  for (int f = 0; f < frames; ++f) {
    for (size_t i = 0; i < size; ++i) a[i] = x[(start + f * hop + i) % x.size()] * window[i];
    testutil::fft(a);
    for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(a[k]) / frames;
  }
  return power;
}

// Sum of the bins from `lowHz` up to `highHz`.
double bandPower(const std::vector<double>& power, double lowHz, double highHz) {
  const double binHz = kRate / (2 * (power.size() - 1));
  double sum = 0;
  for (size_t k = static_cast<size_t>(std::ceil(lowHz / binHz)); k * binHz < highHz; ++k) sum += power[k];
  return sum;
}

double median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// Fraction of samples at the lowest or highest 4-bit value.
double extremeFraction(const std::vector<double>& x) {
  return std::count_if(x.begin(), x.end(), [](double v) { return v <= -128 || v >= 112; }) /
         static_cast<double>(x.size());
}

}  // namespace

TEST(ClipFiles, HoldExactlyTheirSamples) {
  for (int i = 0; i < kClipCount; ++i) {
    const ClipFile& file = kClipFiles[i];
    EXPECT_EQ(clipBytes(i).size(), static_cast<size_t>(file.packed4Bit ? file.samples / 2 : file.samples)) << file.name;
  }
  EXPECT_TRUE(makeClipBytes(-1).empty());
  EXPECT_TRUE(makeClipBytes(kClipCount).empty());
}

// The writer generates the clips afresh, so its files matching the bytes made
// earlier in this run also shows that generation repeats exactly.
TEST(ClipFiles, AreWrittenTheSameOnEveryRun) {
  char pattern[] = "/tmp/wobblytone-clips-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path folder = pattern;
  std::string error;
  ASSERT_TRUE(writeClipFiles(folder.string(), error)) << error;
  for (int i = 0; i < kClipCount; ++i) {
    std::ifstream in(folder / kClipFiles[i].name, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(bytes == clipBytes(i)) << kClipFiles[i].name;
  }
  std::filesystem::remove_all(folder);

  EXPECT_FALSE(writeClipFiles((folder / "missing").string(), error));
  EXPECT_NE(error.find("easy.bin"), std::string::npos) << error;
}

TEST(ReferenceTone, IsA440HzSineOfModerateLevel) {
  const std::vector<double>& x = clip(kClip440);
  // Rising zero crossings, placed by linear interpolation.
  std::vector<double> rising;
  for (size_t n = 1; n < x.size(); ++n)
    if (x[n - 1] < 0 && x[n] >= 0) rising.push_back(n - 1 + x[n - 1] / (x[n - 1] - x[n]));
  ASSERT_GT(rising.size(), 1000u);
  const double hz = (rising.size() - 1) * kRate / (rising.back() - rising.front());
  EXPECT_NEAR(hz, 440, 0.05);

  const double peak = *std::max_element(x.begin(), x.end());
  EXPECT_GE(peak, 60);
  EXPECT_LE(peak, 80);
  EXPECT_NEAR(rms(x, 0, x.size()) / peak, std::sqrt(0.5), 0.01);
  const double fundamental = testutil::toneMagnitude(x, hz, kRate);
  for (int k = 2; k <= 4; ++k) EXPECT_LT(testutil::toneMagnitude(x, k * hz, kRate), fundamental * 0.01) << k;
}

TEST(ReferenceTone, LoopsSeamlessly) {
  const std::vector<double>& x = clip(kClip440);
  const size_t n = x.size();
  // A whole number of cycles: as many rising zero crossings round the loop as cycles.
  int rising = 0;
  for (size_t i = 0; i < n; ++i) rising += x[(i + n - 1) % n] < 0 && x[i] >= 0;
  EXPECT_EQ(rising, 3278);
  // A sine obeys x[n+1] = 2 cos(w) x[n] - x[n-1]; the first sample must continue the last two.
  const double w = 2 * M_PI * 3278 / n;
  EXPECT_NEAR(x[0], 2 * std::cos(w) * x[n - 1] - x[n - 2], 2.0);
  EXPECT_NEAR(x[1], 2 * std::cos(w) * x[0] - x[n - 1], 2.0);
}

TEST(PulseClip, IsPitchedAtMiddleC) {
  const std::vector<double>& x = clip(kClipPulse);
  const std::vector<double> head(x.begin(), x.begin() + 4096);
  // The loudest frequency near middle C, in steps of 0.1 Hz.
  double loudest = 0, loudestMagnitude = 0;
  for (double hz = 255; hz <= 268; hz += 0.1) {
    const double m = testutil::toneMagnitude(head, hz, kRate);
    if (m > loudestMagnitude) loudestMagnitude = m, loudest = hz;
  }
  EXPECT_NEAR(loudest, 261.626, 0.5);
}

TEST(PulseClip, HasHarmonicsOfAPulseWave) {
  const std::vector<double>& x = clip(kClipPulse);
  const std::vector<double> head(x.begin(), x.begin() + 2048);
  const double f0 = 261.626;
  const double fundamental = testutil::toneMagnitude(head, f0, kRate);
  for (int k = 2; k <= 5; ++k) {
    EXPECT_GT(testutil::toneMagnitude(head, k * f0, kRate), 0.25 * fundamental) << "harmonic " << k;
    EXPECT_LT(testutil::toneMagnitude(head, (k - 0.5) * f0, kRate), 0.01 * fundamental) << "between " << k - 1 << " and " << k;
  }
}

TEST(PulseClip, StartsQuicklyAndDecaysToSilence) {
  const std::vector<double>& x = clip(kClipPulse);
  const size_t tenth = x.size() / 10;
  EXPECT_LE(std::abs(x.front()), 2);
  EXPECT_LE(std::abs(x.back()), 1);
  // The loudest sample comes within the first 20 ms.
  const auto loudest = std::max_element(x.begin(), x.end(), [](double a, double b) { return std::abs(a) < std::abs(b); });
  EXPECT_LT(loudest - x.begin(), 0.02 * kRate);
  EXPECT_GT(std::abs(*loudest), 60);
  // Each tenth is quieter than the one before until the tail has gone below a step.
  double previous = rms(x, 0, tenth);
  for (int t = 1; t < 10; ++t) {
    const double now = rms(x, t * tenth, (t + 1) * tenth);
    if (previous > 1) {
      EXPECT_LT(now, 0.8 * previous) << "tenth " << t;
    }
    previous = now;
  }
  EXPECT_LT(rms(x, 9 * tenth, x.size()), rms(x, 0, tenth) / 50);
}

TEST(PinkNoise, UsesTheFourBitRangeWell) {
  const std::vector<double>& x = clip(kClipEasy);
  EXPECT_NEAR(mean(x, 0, x.size()) / 16, 0, 0.05);
  EXPECT_GE(rms(x, 0, x.size()) / 16, 2.5);
  EXPECT_LE(rms(x, 0, x.size()) / 16, 4.0);
  EXPECT_LT(extremeFraction(x), 0.03);
}

TEST(PinkNoise, HasEqualEnergyPerOctave) {
  const std::vector<double>& x = clip(kClipEasy);
  const std::vector<double> power = spectrum(x, 0, static_cast<int>(x.size() / 4096), 4096, 4096);
  const double reference = bandPower(power, 60, 120);
  for (double low = 30; low < 2000; low *= 2)
    EXPECT_NEAR(testutil::dB(std::sqrt(bandPower(power, low, 2 * low) / reference)), 0, 1.5) << low << " Hz";
  // White noise would have sixteen times the energy in 1-2 kHz: the density falls 3 dB per octave.
  const double densityDrop = bandPower(power, 1000, 2000) / 1000 / (bandPower(power, 62.5, 125) / 62.5);
  EXPECT_NEAR(testutil::dB(std::sqrt(densityDrop)), -12, 1.5);
}

TEST(PinkNoise, LoopsWithoutAClick) {
  const std::vector<double>& x = clip(kClipEasy);
  const size_t n = x.size(), block = 256;
  // The level holds right up to both ends.
  const double level = rms(x, 0, n);
  EXPECT_NEAR(rms(x, 0, 2000) / level, 1, 0.3);
  EXPECT_NEAR(rms(x, n - 2000, n) / level, 1, 0.3);
  // The jump between the means of neighbouring blocks, a measure of low-frequency
  // continuity, is no larger across the wrap than between other blocks.
  std::vector<double> jumps;
  for (size_t at = block; at + block <= n; at += block) jumps.push_back(mean(x, at, at + block) - mean(x, at - block, at));
  double spread = 0;
  for (double j : jumps) spread += j * j;
  spread = std::sqrt(spread / jumps.size());
  EXPECT_LT(std::abs(mean(x, 0, block) - mean(x, n - block, n)), 3 * spread);
  // Nor is the step from the last sample to the first.
  std::vector<double> steps;
  for (size_t i = 1; i < n; ++i) steps.push_back(std::abs(x[i] - x[i - 1]));
  std::nth_element(steps.begin(), steps.begin() + steps.size() * 999 / 1000, steps.end());
  EXPECT_LE(std::abs(x[0] - x[n - 1]), steps[steps.size() * 999 / 1000]);
}

TEST(RadioNoise, UsesTheFourBitRangeWell) {
  const std::vector<double>& x = clip(kClipJaccid);
  EXPECT_NEAR(mean(x, 0, x.size()) / 16, 0, 0.05);
  EXPECT_GE(rms(x, 0, x.size()) / 16, 2.5);
  EXPECT_LE(rms(x, 0, x.size()) / 16, 4.0);
  EXPECT_LT(extremeFraction(x), 0.03);
}

TEST(RadioNoise, IsBroadbandAndFlat) {
  const std::vector<double>& x = clip(kClipJaccid);
  const std::vector<double> power = spectrum(x, 0, static_cast<int>(x.size() / 16384), 4096, 16384);
  const double reference = bandPower(power, 1000, 2000) / 1000;
  for (double low = 125; low < 3000; low *= 2) {
    const double high = std::min(2 * low, 3800.0);
    EXPECT_NEAR(testutil::dB(std::sqrt(bandPower(power, low, high) / (high - low) / reference)), 0, 1.0) << low << " Hz";
  }
}

namespace {

struct Peak {
  double hz;
  double aboveFloorDB;  // height of the strongest narrow peak over the median of its neighbourhood
  double toneDB;        // power of that peak against the whole noise
};

// The strongest narrow peak in 2 s of the radio clip from `start`.
Peak strongestPeak(const std::vector<double>& x, size_t start) {
  constexpr size_t kSize = 2048;
  const std::vector<double> power = spectrum(x, start, 8, kSize, kSize);
  const double binHz = kRate / kSize;
  Peak best{0, -100, -100};
  size_t bestBin = 0;
  for (size_t k = 40; k + 40 < power.size(); ++k) {
    const double floor = median(std::vector<double>(power.begin() + k - 32, power.begin() + k + 33));
    const double height = testutil::dB(std::sqrt(power[k] / floor));
    if (height > best.aboveFloorDB) best = {k * binHz, height, 0}, bestBin = k;
  }
  const double floor = median(power);
  double tone = 0;
  for (size_t k = bestBin - 2; k <= bestBin + 2; ++k) tone += power[k] - floor;
  best.toneDB = testutil::dB(std::sqrt(tone / (floor * power.size())));
  return best;
}

}  // namespace

TEST(RadioNoise, HasFaintNarrowTonesThatWander) {
  const std::vector<double>& x = clip(kClipJaccid);
  constexpr int kWindows = 32;
  std::vector<double> toneHz;
  for (int w = 0; w < kWindows; ++w) {
    const Peak peak = strongestPeak(x, w * (x.size() / kWindows));
    // Averaged noise alone stays within about 4 dB of its median.
    if (peak.aboveFloorDB < 8) continue;
    toneHz.push_back(peak.hz);
    EXPECT_LT(peak.toneDB, -13) << "window " << w;
    EXPECT_GT(peak.toneDB, -30) << "window " << w;
  }
  EXPECT_GE(toneHz.size(), 8u);
  // Several different tones come and go.
  std::sort(toneHz.begin(), toneHz.end());
  int distinct = toneHz.empty() ? 0 : 1;
  for (size_t i = 1; i < toneHz.size(); ++i) distinct += toneHz[i] - toneHz[i - 1] > 20;
  EXPECT_GE(distinct, 3);
}

TEST(RadioNoise, CarriesItsTonesAcrossTheLoopPoint) {
  const std::vector<double>& x = clip(kClipJaccid);
  const size_t n = x.size(), size = 8192;
  // The frequency and power of the strongest bin in one frame.
  auto strongest = [&](size_t start) {
    const std::vector<double> power = spectrum(x, start, 1, size, size);
    const size_t k = std::max_element(power.begin() + 40, power.end()) - power.begin();
    return std::pair{k * kRate / size, power[k]};
  };
  // A frame centred on the wrap holds as strong and as narrow a tone as the
  // frames on either side; a jump in the tone's phase would split the peak.
  const auto [beforeHz, before] = strongest(n - 3 * size / 2);
  const auto [acrossHz, across] = strongest(n - size / 2);
  const auto [afterHz, after] = strongest(size / 2);
  EXPECT_NEAR(acrossHz, beforeHz, 2.0);
  EXPECT_NEAR(acrossHz, afterHz, 2.0);
  EXPECT_GT(testutil::dB(std::sqrt(across / std::min(before, after))), -1.5);
}

TEST(PotCrackle, IsSparseClicksOverNearSilence) {
  const std::vector<double>& x = clip(kClipScratch);
  const double zeros = std::count(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
  EXPECT_GT(zeros, 0.75);
  EXPECT_LT(zeros, 0.98);
  double peak = 0;
  for (double v : x) peak = std::max(peak, std::abs(v));
  EXPECT_GE(peak, 64);
  EXPECT_GT(peak / rms(x, 0, x.size()), 5);
  // Separate events: runs of sound parted by at least 8 silent samples.
  int events = 0, silent = 8;
  for (double v : x) {
    if (std::abs(v) >= 32 && silent >= 8) ++events;
    silent = v == 0 ? silent + 1 : 0;
  }
  EXPECT_GE(events, 8);
  // Quiet at both ends, so the wrap of the loop adds no click of its own.
  EXPECT_LE(std::abs(x.front()), 16);
  EXPECT_LE(std::abs(x.back()), 16);
}
