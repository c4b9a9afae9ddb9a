// SPDX-License-Identifier: ISC
// The factory bank: every program plays, at an even level, without
// clipping, each its own sound; and a program, from Program Change or a
// request, replaces the parameters in one step and leaves the unit alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <set>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "engine_probe.h"
#include "instrument/factory_bank.h"
#include "test_util.h"

using testutil::Engine;
using testutil::midiAt;

namespace {

constexpr double kRate = 48000;
// Below this output level the soft clipper bends a wave by less than a
// tenth: a program that is not meant to overdrive stays under it.
constexpr double kSoftClipKnee = 0.5;
// Two programs sound alike when their third-octave spectra differ by less
// than this, root-mean-square over the bands, in dB.
constexpr double kLeastShapeDistance = 1.5;

// Four notes across the program's keys, 0.8 s each with a breath between,
// and the wheel where the program wants it: 4 s in all.
std::vector<double> playPhrase(int index, uint32_t seed = 5) {
  const FactoryProgram& p = FactoryBank::program(index);
  Engine e(kRate, 256, seed);
  e.w().requestFactoryProgram(index);
  e.render(256);
  const int lo = p.lowestNote, hi = p.highestNote, span = hi - lo;
  const int keys[4] = {lo + span / 4, lo + span / 2, hi - span / 4, lo + span / 2 + 7 <= hi ? lo + span / 2 + 7 : lo};
  std::vector<testutil::TimedEvent> phrase = {
      midiAt(0, IMidiMsg::controlChange(0, 1, static_cast<int>(std::lround(p.wheel * 127))))};
  for (int i = 0; i < 4; ++i) {
    const long start = static_cast<long>(i * 0.9 * kRate);
    phrase.push_back(midiAt(start, IMidiMsg::noteOn(0, keys[i], 100)));
    phrase.push_back(midiAt(start + static_cast<long>(0.8 * kRate), IMidiMsg::noteOff(0, keys[i])));
  }
  return e.render(static_cast<long>(4 * kRate), phrase);
}

// What a fast level meter (a 125 ms window) shows at its highest.
double loudestWindow(const std::vector<double>& x) {
  const size_t window = static_cast<size_t>(0.125 * kRate);
  double best = 0, sum = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sum += x[i] * x[i];
    if (i >= window) sum -= x[i - window] * x[i - window];
    if (i + 1 >= window) best = std::max(best, sum);
  }
  return std::sqrt(std::max(best, 0.0) / static_cast<double>(window));
}

// The spectrum's shape: power in third-octave bands from 40 Hz to 16 kHz,
// in dB relative to the loudest band, averaged over Hann-windowed frames.
std::vector<double> bandShape(const std::vector<double>& x) {
  constexpr size_t kFrame = 4096;
  std::vector<double> power(kFrame / 2, 0.0);
  for (size_t start = 0; start + kFrame <= x.size(); start += kFrame / 2) {
    std::vector<std::complex<double>> frame(kFrame);
    for (size_t i = 0; i < kFrame; ++i) frame[i] = x[start + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / (kFrame - 1)));
    testutil::fft(frame);
    for (size_t k = 0; k < kFrame / 2; ++k) power[k] += std::norm(frame[k]);
  }
  std::vector<double> bands;
  for (double low = 40; low < 16000; low *= std::cbrt(2.0)) {
    double sum = 1e-30;
    for (size_t k = 1; k < kFrame / 2; ++k) {
      const double hz = static_cast<double>(k) * kRate / kFrame;
      if (hz >= low && hz < low * std::cbrt(2.0)) sum += power[k];
    }
    bands.push_back(10 * std::log10(sum));
  }
  const double top = *std::max_element(bands.begin(), bands.end());
  for (double& b : bands) b = std::max(b - top, -60.0);
  return bands;
}

// The root-mean-square difference of two band shapes, in dB.
double shapeDistance(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(sum / static_cast<double>(a.size()));
}

}  // namespace

TEST(FactoryBank, HoldsThirtyTwoOrMoreNamedProgramsThatPlayTheUnitReady) {
  ASSERT_GE(FactoryBank::count(), 32);
  std::set<std::string> names;
  for (int i = 0; i < FactoryBank::count(); ++i) {
    const FactoryProgram& p = FactoryBank::program(i);
    SCOPED_TRACE(p.name);
    EXPECT_TRUE(names.insert(p.name).second);
    EXPECT_EQ(FactoryBank::find(p.name), i);
    EXPECT_LE(std::string(p.name).size(), 28u);  // a program file's name field
    EXPECT_EQ(p.values[kPower], 1);
    EXPECT_EQ(p.values[kFuse], 0);
    // 220 V and warm, unless the sound is about the mains or the warm-up.
    if (std::string(p.category) != "Character") {
      EXPECT_EQ(p.values[kVoltage], 1);
      EXPECT_EQ(p.values[kWarmUp], 2);
    }
  }
  EXPECT_EQ(FactoryBank::find("fat bass"), FactoryBank::find("Fat Bass"));
  EXPECT_EQ(FactoryBank::find("No Such Sound"), -1);
}

// One render per program of its own phrase: never silent or not a number,
// under the clipper's knee unless meant to overdrive, all but the effects
// within ±4 dB of their median level, and every spectrum its own.
TEST(FactoryBank, EveryProgramPlaysEvenlyAndSoundsItsOwn) {
  const int n = FactoryBank::count();
  std::vector<double> levels(static_cast<size_t>(n));
  std::vector<std::vector<double>> shapes(static_cast<size_t>(n));
  std::vector<double> plainLevels;
  for (int i = 0; i < n; ++i) {
    const FactoryProgram& p = FactoryBank::program(i);
    SCOPED_TRACE(p.name);
    const std::vector<double> out = playPhrase(i);
    double peak = 0;
    bool finite = true;
    for (double s : out) {
      finite = finite && std::isfinite(s);
      peak = std::max(peak, std::fabs(s));
    }
    ASSERT_TRUE(finite);
    levels[static_cast<size_t>(i)] = loudestWindow(out);
    EXPECT_GT(levels[static_cast<size_t>(i)], 0.01) << "silent";
    if (p.kind != FactoryProgram::Kind::overdrive) {
      EXPECT_LT(peak, kSoftClipKnee);
    }
    if (p.kind != FactoryProgram::Kind::effect) plainLevels.push_back(levels[static_cast<size_t>(i)]);
    shapes[static_cast<size_t>(i)] = bandShape(out);
    std::printf("%-20s level %6.1f dB  peak %.2f\n", p.name, testutil::dB(levels[static_cast<size_t>(i)]), peak);
  }
  std::sort(plainLevels.begin(), plainLevels.end());
  const double median = plainLevels[plainLevels.size() / 2];
  for (int i = 0; i < n; ++i) {
    const FactoryProgram& p = FactoryBank::program(i);
    if (p.kind == FactoryProgram::Kind::effect) continue;
    EXPECT_NEAR(testutil::dB(levels[static_cast<size_t>(i)] / median), 0, 4) << p.name;
  }
  double closest = 1e9;
  int closestA = 0, closestB = 0;
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b) {
      const FactoryProgram &pa = FactoryBank::program(a), &pb = FactoryBank::program(b);
      if (const double d = shapeDistance(shapes[static_cast<size_t>(a)], shapes[static_cast<size_t>(b)]); d < closest) {
        closest = d;
        closestA = a;
        closestB = b;
      }
      EXPECT_FALSE(std::equal(std::begin(pa.values), std::end(pa.values), std::begin(pb.values)))
          << pa.name << " and " << pb.name << " set the same values";
      EXPECT_GT(shapeDistance(shapes[static_cast<size_t>(a)], shapes[static_cast<size_t>(b)]), kLeastShapeDistance)
          << pa.name << " and " << pb.name << " sound alike";
    }
  std::printf("median level %.1f dB; closest spectra: %s and %s, %.1f dB apart\n", testutil::dB(median),
              FactoryBank::program(closestA).name, FactoryBank::program(closestB).name, closest);
}

TEST(FactoryBank, AProgramChangeAppliesTheProgramAtABlockBoundaryAndTellsTheHost) {
  Engine e(kRate, 256, 9);
  const int target = FactoryBank::find("Glide Lead");
  const FactoryProgram& p = FactoryBank::program(target);
  const EngineView::BrokenKnobs knobs = e.view().brokenKnobs();
  const EngineView::BrokenKeys keys = e.view().brokenKeys();
  e.callbacks.changes.clear();
  // Bank Select before it changes nothing: there is one bank.
  e.render(256);
  EXPECT_EQ(e.value(kPower), 0);
  // Applied at the boundary before the block it arrives in (the host hands
  // the block's MIDI over first).
  e.render(256, {midiAt(10, IMidiMsg::controlChange(0, 0, 3)), midiAt(20, IMidiMsg(0, 0xC0, target, 0))});
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(e.value(i), p.values[i]) << e.w().GetParam(i)->GetName();
  EXPECT_EQ(e.view().lastFactoryProgram(), target);
  EXPECT_EQ(e.view().brokenKnobs(), knobs);  // the unit stays as it is
  EXPECT_EQ(e.view().brokenKeys(), keys);
  std::set<int> told;
  for (auto [index, value] : e.callbacks.changes) {
    told.insert(index);
    if (index == kCutoff) {
      EXPECT_DOUBLE_EQ(value, e.w().GetParam(kCutoff)->GetNormalized());
    }
  }
  EXPECT_EQ(told.size(), static_cast<size_t>(kNumParams));

  // Numbers past the bank select nothing.
  e.render(256, {midiAt(0, IMidiMsg(0, 0xC0, 127, 0))});
  e.render(256);
  EXPECT_EQ(e.view().lastFactoryProgram(), target);
}

TEST(FactoryBank, IgnoreProgramChangeLeavesTheSoundAlone) {
  Engine e(kRate, 256, 9);
  e.w().configFile.ignoreProgramChange = true;
  e.render(256, {midiAt(0, IMidiMsg(0, 0xC0, 3, 0))});
  e.render(256);
  EXPECT_EQ(e.view().lastFactoryProgram(), -1);
  EXPECT_EQ(e.value(kPower), 0);
  // A request from the editor or a host still applies.
  EXPECT_TRUE(e.w().requestFactoryProgram(3));
  e.render(256);
  EXPECT_EQ(e.view().lastFactoryProgram(), 3);
}

// A program replaces every value in one step, as a state restore does: a
// 110 V program on a unit powered at 220 V does not blow the fuse, and a
// program mends a blown one.
TEST(FactoryBank, AProgramAppliesInOneStepWithoutBlowingTheFuse) {
  Engine e(kRate, 256, 9);
  e.set(kVoltage, 1);
  e.set(kPower, 1);
  e.render(256);
  const int hum = FactoryBank::find("Sixty Cycle Bass");
  ASSERT_EQ(FactoryBank::program(hum).values[kVoltage], 0);
  e.w().requestFactoryProgram(hum);
  e.render(256);
  EXPECT_EQ(e.value(kVoltage), 0);
  EXPECT_EQ(e.value(kFuse), 0);
  EXPECT_FALSE(e.view().fuseBlown());
  EXPECT_FALSE(e.view().fuseJustBlown());
  const std::vector<double> out = e.render(static_cast<long>(kRate / 2), {midiAt(0, IMidiMsg::noteOn(0, 36, 100))});
  EXPECT_GT(testutil::rms(out), 0.01);

  e.set(kVoltage, 1);
  e.set(kVoltage, 0);  // switched to 110 V while powered: the fuse blows
  ASSERT_TRUE(e.view().fuseBlown());
  e.w().requestFactoryProgram(0);
  e.render(256);
  EXPECT_FALSE(e.view().fuseBlown());
  EXPECT_FALSE(e.view().volumeScratch());  // nor does a program crackle the pot
}

TEST(FactoryBank, OfSeveralRequestsBeforeABlockTheLastWins) {
  Engine e(kRate, 256, 9);
  EXPECT_FALSE(e.w().requestFactoryProgram(-1));
  EXPECT_FALSE(e.w().requestFactoryProgram(FactoryBank::count()));
  EXPECT_TRUE(e.w().requestFactoryProgram(1));
  EXPECT_TRUE(e.w().requestFactoryProgram(2));
  const unsigned before = e.view().factoryProgramsApplied();
  e.render(256);
  EXPECT_EQ(e.view().lastFactoryProgram(), 2);
  EXPECT_EQ(e.view().factoryProgramsApplied(), before + 1);
}
