// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "modules/vco.h"
#include "test_util.h"

namespace {

// Frequency from the upward zero crossings of the triangle in one second.
double measuredFrequency(VCO& osc, double pitch, double rate) {
  osc.setWaveform(VCO::kTriangular);
  osc.update(pitch);
  int crossings = 0;
  double previous = osc.process();
  const int n = static_cast<int>(rate);
  for (int i = 1; i < n; ++i) {
    const double v = osc.process();
    if (previous < 0 && v >= 0) ++crossings;
    previous = v;
  }
  return crossings;
}

}  // namespace

TEST(VCOPhaseIncrements, FollowTheSampleRate) {
  VCO osc;
  EXPECT_EQ(osc.freq2PhInc[0], 49767);
  EXPECT_EQ(osc.freq2PhInc[7680], static_cast<int32_t>(261.626 * 268435456.0 / 44100));
  EXPECT_EQ(osc.negFreq2PhInc[17280], static_cast<int32_t>(0.0033570162 * 268435456.0 / 44100));
  osc.setSampleRate(48000);
  EXPECT_EQ(osc.freq2PhInc[0], static_cast<int32_t>(8.176 * 268435456.0 / 48000));
}

TEST(VCOPhaseIncrements, OneInstanceChangingItsRateLeavesAnotherInTune) {
  VCO steady, changing;
  steady.update(8832);
  const int64_t increment = steady.phaseIncrement;
  std::atomic<bool> done{false};
  std::thread changer([&] {
    for (int i = 0; i < 200; ++i) changing.setSampleRate(i % 2 ? 96000 : 22050 + i);
    done = true;
  });
  while (!done) {
    steady.update(8832 + 1);
    steady.update(8832);
    ASSERT_EQ(steady.phaseIncrement, increment);
    ASSERT_EQ(steady.freq2PhInc[8832], increment);
  }
  changer.join();
}

TEST(VCOPitch, MeasuredFrequencyMatchesConvert2Hz) {
  VCO osc;
  osc.setSampleRate(48000);
  EXPECT_NEAR(measuredFrequency(osc, 8832, 48000), 440, 1);
  osc.setRange(4);  // 4' is an octave up
  EXPECT_NEAR(measuredFrequency(osc, 8832, 48000), 880, 1);
}

TEST(VCOPitch, FootageTable) {
  VCO osc;
  const double expected[] = {-10752, -3072, -1536, 0, 1536, 3072};
  for (uint8_t r = 0; r < 6; ++r) {
    osc.setRange(r);
    EXPECT_EQ(osc.range, expected[r]) << int(r);
  }
  osc.setRange(6);
  EXPECT_EQ(osc.range, 0);
  osc.setRange(255);
  EXPECT_EQ(osc.range, 0);
}

TEST(VCOPitch, MultipleOfMiddleC) {
  VCO osc;
  osc.update(7680);
  EXPECT_EQ(osc.getMultipleOfC4(), 1.0);
  osc.update(7680 + 1536);
  EXPECT_NEAR(osc.getMultipleOfC4(), 2.0, 1e-5);
}

TEST(VCOPitch, IndicesBeyondTheTablesReadTheEnds) {
  VCO osc;
  osc.update(1e9);
  EXPECT_EQ(osc.phaseIncrement, osc.freq2PhInc[17280]);
  osc.update(std::numeric_limits<double>::infinity());
  EXPECT_EQ(osc.phaseIncrement, osc.freq2PhInc[17280]);
  osc.frequencyOffset = -1e12;
  osc.update(100);
  EXPECT_EQ(osc.phaseIncrement, osc.negFreq2PhInc[17280]);
  osc.frequencyOffset = -200;
  osc.update(100);
  EXPECT_EQ(osc.phaseIncrement, osc.negFreq2PhInc[100]);
}

TEST(VCOSilence, PitchAtOrBelowZeroSilencesAndFreezesThePhase) {
  for (double pitch : {0.0, -5.0, std::nan("")}) {
    VCO osc;
    osc.update(7680);
    for (int i = 0; i < 100; ++i) osc.process();
    const int64_t phase = osc.phase;
    osc.update(pitch);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(osc.process(), 0.0);
    EXPECT_EQ(osc.phase, phase);
    osc.update(7680);
    EXPECT_NE(osc.process(), 0.0);
  }
}

TEST(VCOSilence, NotANumberOffsetIsSilentNotUndefined) {
  VCO osc;
  osc.frequencyOffset = std::nan("");
  osc.update(7680);
  EXPECT_EQ(osc.process(), 0.0);
  osc.fixedPitch = true;
  osc.update(7680);
  EXPECT_EQ(osc.process(), 0.0);
}

TEST(VCOSilence, FixedPitchIgnoresThePitchAndCountsTheOffsetFourTimes) {
  VCO osc;
  osc.fixedPitch = true;
  osc.frequencyOffset = 10;
  osc.update(0);
  ASSERT_NE(osc.sawTable, nullptr);
  EXPECT_EQ(osc.phaseIncrement, osc.freq2PhInc[7680 + 40]);
  osc.update(-3000);
  EXPECT_EQ(osc.phaseIncrement, osc.freq2PhInc[7680 + 40]);
}

TEST(VCOWaveforms, RectangleDutyCycleFollowsTheWaveform) {
  const struct {
    uint8_t waveform;
    double highFraction;
  } cases[] = {{VCO::kSquare, 0.5}, {VCO::kWideRectangular, 0.67}, {VCO::kNarrowRectangular, 0.8}};
  for (const auto& c : cases) {
    VCO osc;
    osc.setWaveform(c.waveform);
    osc.update(6144);  // 130.8 Hz: rich table, clear edges
    int high = 0;
    const int n = 44100;
    for (int i = 0; i < n; ++i) high += osc.process() > 0;
    EXPECT_NEAR(static_cast<double>(high) / n, c.highFraction, 0.02) << int(c.waveform);
  }
}

TEST(VCOWaveforms, PulseWidthChangeTakesEffectAtTheNextUpdate) {
  VCO osc;
  osc.setWaveform(VCO::kSquare);
  osc.update(6144);
  for (int i = 0; i < 37; ++i) osc.process();
  osc.setWaveform(VCO::kNarrowRectangular);
  EXPECT_EQ((osc.pulsePhase - osc.phase) & VCO::kPhaseMask, static_cast<int64_t>(0.5 * VCO::kPhaseScale));
  osc.update(6144);
  EXPECT_EQ((osc.pulsePhase - osc.phase) & VCO::kPhaseMask, static_cast<int64_t>(0.2 * VCO::kPhaseScale));
}

TEST(VCOWaveforms, ShapesAtKnownPhases) {
  VCO osc;
  osc.update(6144);
  const double* saw = osc.sawTable;
  const double* tri = osc.triTable;
  osc.setWaveform(VCO::kTriangular);
  osc.update(6144);
  EXPECT_EQ(osc.process(), -tri[0]);
  VCO reverse;
  reverse.reverseSawtooth = true;
  reverse.setWaveform(VCO::kSawtoothTriangular);
  reverse.update(6144);
  EXPECT_EQ(reverse.process(), -saw[0]);
  VCO mix;
  mix.setWaveform(VCO::kSawtoothTriangular);
  mix.update(6144);
  EXPECT_EQ(mix.process(), 0.33 * tri[0] + (0.66 * (saw[0] - saw[2048]) + 0.5) * saw[0]);
}

// A run of render() or renderModulated() against process() one sample at a
// time: the same samples bit for bit and the same phases after, for every
// waveform. The modulated pitches cross table boundaries and go silent for a
// while, which is where a retune inside the run could pick other tables.
TEST(VCORuns, RenderingARunGivesTheSamplesOfProcessOneByOne) {
  std::vector<double> pitch(400);
  for (size_t j = 0; j < pitch.size(); ++j) pitch[j] = 6000 + 4000 * std::sin(0.05 * j) + (j % 7) * 13.7;
  for (size_t j = 150; j < 180; ++j) pitch[j] = -5;
  pitch[0] = -1;  // a silent start
  // Plain, at a fixed pitch, with a fine-tune offset, with a not-a-number offset.
  for (int variant = 0; variant < 4; ++variant) {
    for (int waveform = VCO::kTriangular; waveform <= VCO::kNarrowRectangular; ++waveform) {
      for (bool reverse : {false, true}) {
        SCOPED_TRACE(testing::Message() << "variant " << variant << ", waveform " << waveform
                                        << (reverse ? ", reverse" : ""));
        VCO one, run;
        for (VCO* osc : {&one, &run}) {
          osc->setWaveform(VCO::kWideRectangular);  // a width that the next waveform changes
          osc->update(5000);
          for (int i = 0; i < 11; ++i) osc->process();
          osc->reverseSawtooth = reverse;
          osc->setWaveform(static_cast<uint8_t>(waveform));
          osc->fixedPitch = variant == 1;
          osc->frequencyOffset = variant == 2 ? 37.5 : variant == 3 ? std::nan("") : 0.0;
        }
        std::vector<double> expected, got(pitch.size());
        for (double p : pitch) {
          one.update(p);
          expected.push_back(one.process());
        }
        run.renderModulated(got.data(), pitch.data(), static_cast<int>(pitch.size()));
        for (size_t j = 0; j < pitch.size(); ++j) ASSERT_EQ(std::memcmp(&got[j], &expected[j], sizeof(double)), 0) << j;
        EXPECT_EQ(run.phase, one.phase);
        EXPECT_EQ(run.pulsePhase, one.pulsePhase);

        // Then at one pitch, after one update, as the engine runs it unmodulated.
        one.update(7000);
        run.update(7000);
        expected.clear();
        for (int j = 0; j < 300; ++j) expected.push_back(one.process());
        run.render(got.data(), 300);
        for (int j = 0; j < 300; ++j) ASSERT_EQ(std::memcmp(&got[j], &expected[j], sizeof(double)), 0) << j;
        EXPECT_EQ(run.phase, one.phase);
        EXPECT_EQ(run.pulsePhase, one.pulsePhase);
      }
    }
  }
  VCO silent;
  silent.update(-1);
  std::vector<double> out(8, 1.0);
  silent.render(out.data(), 8);
  EXPECT_EQ(out, std::vector<double>(8, 0.0));
}

TEST(VCOSampleRate, SameRateStillResetsThePhases) {
  VCO osc;
  osc.update(7680);
  for (int i = 0; i < 10; ++i) osc.process();
  osc.setSampleRate(44100);
  EXPECT_EQ(osc.phase, 0);
  EXPECT_EQ(osc.pulsePhase, 0);
  EXPECT_EQ(osc.phaseIncrement, 0);
  osc.update(7680);  // the next update restores increment and pulse phase
  EXPECT_EQ(osc.phaseIncrement, osc.freq2PhInc[7680]);
  EXPECT_EQ(osc.pulsePhase, static_cast<int64_t>(0.5 * VCO::kPhaseScale));
}

TEST(VCOTables, HigherPitchesReadTablesWithFewerHarmonics) {
  VCO osc;
  const WaveTables& tables = VCO::waveTables();
  osc.update(2000);
  EXPECT_EQ(osc.sawTable, tables.saw[0]);
  int previous = 0;
  for (int pitch = 2000; pitch <= 17280; pitch += 64) {
    osc.update(pitch);
    const int index = static_cast<int>((osc.sawTable - tables.saw[0]) / WaveTables::kLength);
    ASSERT_GE(index, previous);
    ASSERT_EQ(osc.triTable, tables.tri[index]);
    // From two table samples per output sample on, the choice rounds the
    // table step down, so the top partial may pass the Nyquist frequency a
    // little, never by more than half of it.
    if (index > 0) {
      ASSERT_LE(WaveTables::harmonics(index) * PitchSteps::convert2Hz(pitch), 0.75 * 44100 * 1.0001) << pitch;
    }
    previous = index;
  }
  EXPECT_EQ(previous, 21);
}

TEST(VCOTables, InstancesStartingTogetherReadTheOneCopy) {
  std::vector<std::thread> threads;
  std::vector<const double*> seen(4);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      VCO osc;
      osc.update(7680);
      seen[t] = osc.sawTable;
    });
  for (auto& t : threads) t.join();
  for (const double* p : seen) EXPECT_EQ(p, seen[0]);
}

TEST(VCOBandLimit, HighSawtoothHasNoPartialAboveItsTable) {
  // MIDI note 96 (2093 Hz) at 44.1 kHz reads the 8-harmonic table. A naive
  // sawtooth would have its 9th and 10th partials at -19 and -20 dB.
  const double rate = 44100;
  VCO osc;
  osc.update(96 * 128);
  const double f0 = PitchSteps::convert2Hz(96 * 128);
  std::vector<double> out(32768);
  for (double& v : out) v = osc.process();
  const double fundamental = testutil::toneMagnitude(out, f0, rate);
  for (int k = 2; k <= 8; ++k) EXPECT_GT(testutil::toneMagnitude(out, k * f0, rate), fundamental / (4 * k)) << k;
  for (int k = 9; k <= 10; ++k)
    EXPECT_LT(testutil::dB(testutil::toneMagnitude(out, k * f0, rate) / fundamental), -50) << k;
}
