// SPDX-License-Identifier: ISC
// Synthesis of the five sound clips. Each signal is built in steps of its
// file's format (a 4-bit step is 16 on the signed 8-bit scale) and rounded at
// the end. The looped clips are exactly periodic over their length: the pink
// filter runs twice round its input, and every tone makes a whole number of
// cycles per loop, counted in integers so that long loops do not drift.
#include "clip_generator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

const ClipFile kClipFiles[kClipCount] = {
    {"easy.bin", 956160, true}, {"jaccid.bin", 2423228, true}, {"scratch.bin", 2048, true},
    {"440.bin", 59601, false},  {"pulse.bin", 6331, false},
};

namespace {

constexpr double kRate = kClipSampleRate;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kNoiseRms = 3.0;  // in 4-bit steps: uses the range, clips about 1 % of samples

// SplitMix64 with our own conversions, so the clips do not depend on how a
// standard library implements its distributions.
class Random {
 public:
  explicit Random(uint64_t seed) : state(seed) {}

  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

  // Standard normal, by the Box-Muller transform; the second value is kept for the next call.
  double gaussian() {
    if (hasSpare) {
      hasSpare = false;
      return spare;
    }
    const double radius = std::sqrt(-2 * std::log(1 - uniform()));
    const double angle = kTwoPi * uniform();
    spare = radius * std::sin(angle);
    hasSpare = true;
    return radius * std::cos(angle);
  }

 private:
  uint64_t state;
  double spare = 0;
  bool hasSpare = false;
};

// sin(2 pi x) from a table with linear interpolation. The radio clip needs a
// sine per tone and sample; the table's error (3e-7) is far below a step.
class SineTable {
 public:
  SineTable() {
    for (int i = 0; i < kSize + 2; ++i) table[i] = std::sin(kTwoPi * i / kSize);
  }
  double operator()(double cycles) const {
    // The fraction of a turn, by truncation: std::floor is a slow library call here.
    double turn = cycles - static_cast<double>(static_cast<int64_t>(cycles));
    if (turn < 0) turn += 1;
    const double x = turn * kSize;  // may round up to kSize itself
    const int i = static_cast<int>(x);
    return table[i] + (x - i) * (table[i + 1] - table[i]);
  }

 private:
  static constexpr int kSize = 4096;
  double table[kSize + 2];
};

// A phase that makes `cycles` whole turns over a loop of `length` samples,
// kept as an exact fraction count / length.
class LoopPhase {
 public:
  LoopPhase(int64_t cycles, int64_t length, double start = 0)
      : step(cycles % length), length(length), count(static_cast<int64_t>(start * length) % length),
        perCount(1.0 / length) {}
  double cycles() const { return static_cast<double>(count) * perCount; }
  void advance() {
    count += step;
    count -= count >= length ? length : 0;  // a select, not a branch: fast phases wrap every few samples
  }
  void advance(int64_t samples) { count = (count + step * samples) % length; }

 private:
  int64_t step, length, count;
  double perCount;
};

// Adds a burst of crackle to `out` from `start` on, wrapping round its end:
// spikes of random sign and size at the given density, under an envelope that
// falls by about 35 dB over `length` samples.
void addCrackle(std::vector<double>& out, size_t start, int length, double peak, double density, Random& random) {
  for (int i = 0; i < length; ++i) {
    const double sign = random.uniform() < 0.5 ? -1 : 1;
    const double size = 0.4 + 0.6 * random.uniform();
    if (random.uniform() < density) out[(start + i) % out.size()] += sign * size * peak * std::exp(-4.0 * i / length);
  }
}

// Removes the mean, then scales to an RMS of `rms`.
void normalise(std::vector<double>& x, double rms) {
  double sum = 0, squares = 0;
  for (double v : x) sum += v;
  const double mean = sum / x.size();
  for (double& v : x) squares += (v - mean) * (v - mean);
  const double gain = rms / std::sqrt(squares / x.size());
  for (double& v : x) v = (v - mean) * gain;
}

// Pink noise: white noise through first-order sections whose poles lie an
// octave apart from 4 Hz and whose zeros sit half an octave above each pole,
// which gives -3 dB per octave within 0.35 dB from 10 Hz to 3.8 kHz. The top
// pair is moved (1800 Hz pole, 5250 Hz zero) to make up for the sections
// flattening near the Nyquist frequency. The input is fed round twice and the
// second pass kept, so the output is exactly periodic and the loop seamless.
std::vector<double> pinkNoise(int samples) {
  Random random(0x70696E6B);
  std::vector<double> white(samples);
  for (double& v : white) v = random.gaussian();

  struct Section {
    double pole, zero, lastIn = 0, lastOut = 0;
  };
  std::vector<Section> sections;
  for (int k = 0; k < 10; ++k) {
    const double poleHz = k < 9 ? 4 << k : 1800;
    const double zeroHz = k < 9 ? poleHz * std::sqrt(2.0) : 5250;
    sections.push_back({std::exp(-kTwoPi * poleHz / kRate), std::exp(-kTwoPi * zeroHz / kRate)});
  }
  std::vector<double> pink(samples);
  for (int pass = 0; pass < 2; ++pass) {
    for (int n = 0; n < samples; ++n) {
      double x = white[n];
      for (Section& s : sections) {
        const double y = x - s.zero * s.lastIn + s.pole * s.lastOut;
        s.lastIn = x;
        s.lastOut = y;
        x = y;
      }
      pink[n] = x;
    }
  }
  normalise(pink, kNoiseRms);
  return pink;
}

// A faint tone of the radio clip. Its pitch sweeps by the sum of two cosines
// of whole periods per loop, and its level swells by a clamped sine.
struct RadioTone {
  double hz;                     // centre pitch
  double dB;                     // level against the noise at the loudest
  double sweepHz[2];             // depth of each pitch sweep
  int sweepsPerLoop[2];          // whole periods of each sweep
  int swellsPerLoop;             // whole periods of the level swell
  double swellBias, swellDepth;  // the swell is clamp(bias + depth * sin, 0, 1), smoothed
  double start;                  // where in its periods the tone starts, 0..1
};

// Heterodyne whistles glide over hundreds of hertz and waver a little; the
// carriers hold their pitch within a hertz or two and fade in and out.
constexpr RadioTone kRadioTones[] = {
    {1250, -19, {350, 6}, {1, 37}, 5, 0.75, 0.25, 0.1},
    {2700, -22, {500, 10}, {2, 61}, 3, 0.4, 0.8, 0.6},
    {3350, -25, {200, 4}, {3, 90}, 9, 0.5, 0.5, 0.3},
    {620, -16, {1.5, 0}, {7, 1}, 4, -0.3, 1.3, 0.25},  // at full strength across the loop point
    {1875, -18, {2, 0}, {11, 1}, 6, -0.2, 1.2, 0.5},
};

// One radio tone in a loop of a given length. A pitch sweep d cos(2 pi k n / N)
// adds (d N / (2 pi k rate)) sin(2 pi k n / N) turns to the phase, which is back
// where it started after the loop. The sweeps and the swell move slowly, so
// they are worked out once a block and interpolated; the tone's own phase is
// exact at every sample.
class RadioVoice {
 public:
  static constexpr int kBlock = 16;

  RadioVoice(const RadioTone& tone, int samples)
      : tone(tone),
        centre(std::llround(tone.hz * samples / kRate), samples),
        sweep0(tone.sweepsPerLoop[0], samples, tone.start),
        sweep1(tone.sweepsPerLoop[1], samples, tone.start),
        swell(tone.swellsPerLoop, samples, tone.start),
        turns0(tone.sweepHz[0] * samples / (kTwoPi * tone.sweepsPerLoop[0] * kRate)),
        turns1(tone.sweepHz[1] * samples / (kTwoPi * tone.sweepsPerLoop[1] * kRate)),
        amplitude(kNoiseRms * std::sqrt(2.0) * std::pow(10.0, tone.dB / 20)),
        now(slow()) {}

  // Adds the next `count` samples (at most kBlock) to `out`.
  void addBlock(double* out, int count) {
    sweep0.advance(kBlock);
    sweep1.advance(kBlock);
    swell.advance(kBlock);
    const Slow next = slow();
    for (int i = 0; i < count; ++i) {
      const double f = static_cast<double>(i) / kBlock;
      const double turns = now.turns + f * (next.turns - now.turns);
      out[i] += (now.gain + f * (next.gain - now.gain)) * sine(centre.cycles() + turns);
      centre.advance();
    }
    now = next;
  }

 private:
  struct Slow {
    double turns, gain;
  };
  Slow slow() const {
    const double s = std::clamp(tone.swellBias + tone.swellDepth * sine(swell.cycles()), 0.0, 1.0);
    return {turns0 * sine(sweep0.cycles()) + turns1 * sine(sweep1.cycles()), amplitude * s * s * (3 - 2 * s)};
  }

  static inline const SineTable sine;
  const RadioTone& tone;
  LoopPhase centre, sweep0, sweep1, swell;
  double turns0, turns1, amplitude;
  Slow now;
};

// Radio static: white noise with the faint tones above and an occasional crackle.
std::vector<double> radioNoise(int samples) {
  Random random(0x72616469);
  std::vector<double> out(samples);
  for (double& v : out) v = kNoiseRms * random.gaussian();
  std::vector<RadioVoice> voices;
  for (const RadioTone& tone : kRadioTones) voices.emplace_back(tone, samples);
  // Block by block, every voice in turn, so that the block stays in the cache.
  for (int n = 0; n < samples; n += RadioVoice::kBlock)
    for (RadioVoice& voice : voices) voice.addBlock(&out[n], std::min(RadioVoice::kBlock, samples - n));

  // Crackles about every two seconds, 1 to 8 ms long.
  for (double at = 0;;) {
    at += -2.0 * kRate * std::log(1 - random.uniform());
    if (at >= samples) break;
    const int length = 8 + static_cast<int>(56 * random.uniform());
    const double peak = 2 + 3 * random.uniform();
    addCrackle(out, static_cast<size_t>(at), length, peak, 0.5, random);
  }
  return out;
}

// A dirty volume pot: faint hiss that mostly rounds to silence, with clicks
// and short bursts of gritty crackle. The first and last samples stay quiet.
std::vector<double> potCrackle(int samples) {
  Random random(0x706F7473);
  std::vector<double> out(samples);
  for (double& v : out) v = 0.22 * random.gaussian();
  // One draw per statement: the order in which function arguments are
  // evaluated differs between compilers, and so would the clip.
  auto addEvents = [&](int count, int shortest, int longest, double quietest, double loudest, double density) {
    for (int i = 0; i < count; ++i) {
      const int length = shortest + static_cast<int>((longest - shortest) * random.uniform());
      const double peak = quietest + (loudest - quietest) * random.uniform();
      const size_t start = 24 + static_cast<size_t>((samples - longest - 48) * random.uniform());
      addCrackle(out, start, length, peak, density, random);
    }
  };
  addEvents(14, 2, 6, 3, 7.5, 1);       // clicks: a spike and a short ring
  addEvents(5, 40, 160, 2.5, 5, 0.35);  // gritty bursts of 5 to 20 ms
  out.front() = out.back() = 0;
  return out;
}

// The reference tone: 3278 whole cycles over the loop, about 439.993 Hz.
std::vector<double> referenceTone(int samples) {
  std::vector<double> out(samples);
  LoopPhase phase(3278, samples);
  for (double& v : out) {
    v = 70 * std::sin(kTwoPi * phase.cycles());
    phase.advance();
  }
  return out;
}

// A band-limited pulse wave of 1/8 duty at middle C, every harmonic below
// 4 kHz, Lanczos-smoothed to tame the ringing beside the pulse. A 3 ms
// raised-cosine attack and a 0.14 s exponential decay bring it from silence to
// silence; it peaks at 100.
std::vector<double> pulseTone(int samples) {
  constexpr double kMiddleC = 261.6255653005986;  // 440 Hz * 2^(-9/12)
  constexpr double kDuty = 0.125;
  constexpr double kPi = kTwoPi / 2;
  const int harmonics = static_cast<int>(0.5 * kRate / kMiddleC);
  std::vector<double> weight(harmonics + 1);
  for (int k = 1; k <= harmonics; ++k) {
    const double x = kPi * k / (harmonics + 1);
    weight[k] = std::sin(kPi * k * kDuty) / k * std::sin(x) / x;
  }
  std::vector<double> out(samples);
  const int attack = static_cast<int>(0.003 * kRate);
  double peak = 0;
  for (int n = 0; n < samples; ++n) {
    double wave = 0;
    for (int k = 1; k <= harmonics; ++k) wave += weight[k] * std::cos(kTwoPi * k * kMiddleC * n / kRate);
    const double rise = n < attack ? 0.5 - 0.5 * std::cos(kPi * n / attack) : 1;
    out[n] = wave * rise * std::exp(-n / (0.14 * kRate));
    peak = std::max(peak, std::abs(out[n]));
  }
  for (double& v : out) v *= 100 / peak;
  return out;
}

// Rounds to the nearest step and clamps to the format's range.
int quantise(double x, int lowest, int highest) {
  const double y = std::clamp(x, lowest - 1.0, highest + 1.0) + 0.5;
  const int down = static_cast<int>(y);  // truncation, then down to the floor: quicker than std::floor
  return std::clamp(down > y ? down - 1 : down, lowest, highest);
}

}  // namespace

std::vector<uint8_t> makeClipBytes(int clipIndex) {
  if (clipIndex < 0 || clipIndex >= kClipCount) return {};
  const ClipFile& file = kClipFiles[clipIndex];
  std::vector<double> x;
  switch (clipIndex) {
    case kClipEasy: x = pinkNoise(file.samples); break;
    case kClipJaccid: x = radioNoise(file.samples); break;
    case kClipScratch: x = potCrackle(file.samples); break;
    case kClip440: x = referenceTone(file.samples); break;
    case kClipPulse: x = pulseTone(file.samples); break;
  }
  std::vector<uint8_t> bytes;
  if (file.packed4Bit) {
    bytes.resize(x.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<uint8_t>((quantise(x[2 * i], -8, 7) + 8) | (quantise(x[2 * i + 1], -8, 7) + 8) << 4);
  } else {
    bytes.resize(x.size());
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(quantise(x[i], -128, 127) + 128);
  }
  return bytes;
}

bool writeClipFiles(const std::string& folder, std::string& error) {
  for (int i = 0; i < kClipCount; ++i) {
    const std::string path = folder + "/" + kClipFiles[i].name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
      error = "cannot create " + path + ": " + std::strerror(errno);
      return false;
    }
    const std::vector<uint8_t> bytes = makeClipBytes(i);
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      error = "cannot write " + path + ": " + std::strerror(errno);
      std::fclose(f);
      return false;
    }
    if (std::fclose(f) != 0) {  // a full disk may show only here
      error = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}
