// SPDX-License-Identifier: ISC
// "Marlpit Morning": a bass line that opens its filter, a gliding lead with
// vibrato, a noisy resonant sweep, and a pot that crackles as the volume is
// pushed before a long low note fades out. 110 bpm, C minor. The lead, the
// sweep and the coda each start with a factory program, chosen by Program
// Change as a sequencer would.
#include "adapters/offline/demo_song.h"

#include "instrument/factory_bank.h"
#include "instrument/wobblytone_param.h"

namespace {

constexpr double kBeat = 60.0 / 110;
constexpr double kSixteenth = kBeat / 4;

class Writer {
 public:
  void note(double at, int key, double length) {
    events.push_back({at, IMidiMsg::noteOn(0, key, 100)});
    events.push_back({at + length, IMidiMsg::noteOff(0, key)});
  }
  void param(double at, int index, double value) { events.push_back({at, {}, index, value}); }
  void controller(double at, int cc, int value) { events.push_back({at, IMidiMsg::controlChange(0, cc, value)}); }
  // A Program Change to the factory program of this name.
  void program(double at, const char* name) {
    events.push_back({at, IMidiMsg(0, 0xC0, FactoryBank::find(name), 0)});
  }
  // A straight line of parameter values, one change per sixteenth.
  void ramp(double from, double to, int index, double start, double end) {
    const int steps = static_cast<int>((to - from) / kSixteenth);
    for (int i = 0; i <= steps; ++i) param(from + i * kSixteenth, index, start + (end - start) * i / steps);
  }
  std::vector<RenderEvent> events;
};

// Eight-step bass riffs in sixteenths; 0 rests.
const int kRiffA[16] = {36, 0, 36, 48, 0, 36, 39, 0, 36, 0, 43, 0, 46, 0, 36, 34};
const int kRiffB[16] = {32, 0, 32, 44, 0, 32, 36, 0, 31, 0, 31, 43, 0, 38, 41, 43};

void bass(Writer& w, double start, int bars, double gate) {
  for (int bar = 0; bar < bars; ++bar) {
    const int* riff = bar % 4 == 3 ? kRiffB : kRiffA;
    for (int s = 0; s < 16; ++s)
      if (riff[s]) w.note(start + (bar * 16 + s) * kSixteenth, riff[s], kSixteenth * gate);
  }
}

}  // namespace

DemoSong makeDemoSong() {
  DemoSong song;
  song.program = {
      {kPower, 1},           {kVoltage, 1},          {kWarmUp, 2},           {kVolume, 0.55},
      {kOsc1Range, 2},       {kOsc1Waveform, 2},     {kOsc2, 1},             {kOsc2Range, 3},
      {kOsc2Waveform, 3},    {kOsc2Frequency, 0.06}, {kOsc2Volume, 0.35},    {kOsc1Volume, 0.6},
      {kOsc3Range, 0},       {kOsc3Control, 1},      {kOsc3Frequency, 3.875}, {kOsc3Waveform, 0},
      {kCutoff, 0.22},       {kEmphasis, 0.6},       {kAmountOfContour, 0.45}, {kFilterDecay, 0.35},
      {kFilterSustain, 0.1}, {kLoudnessDecay, 0.3},  {kLoudnessSustain, 0.8}, {kFilterControl1, 1},
  };
  Writer w;
  const double bar = 4 * kBeat;

  // Bars 0-7: the bass riff, its filter opening.
  bass(w, 0, 7, 0.7);
  w.ramp(0, 7 * bar, kCutoff, 0.22, 0.5);

  // Bars 7-14: a legato lead with glide and a touch of vibrato from Osc-3.
  const double lead = 7 * bar;
  w.program(lead, "Singing Lead");
  w.controller(lead, 1, 0);
  // 56 half beats: the seven bars of the section.
  const int melody[] = {67, 70, 72, 75, 74, 72, 70, 67, 65, 67, 70, 72, 74, 75, 77, 79, 77, 75, 74, 72, 70, 72, 0};
  const double lengths[] = {2, 2, 4, 2, 2, 2, 2, 4, 2, 2, 2, 2, 8, 2, 2, 4, 2, 2, 2, 2, 2, 2, 0};
  double t = lead;
  for (int i = 0; melody[i]; ++i) {
    const double length = lengths[i] * kBeat / 2;
    w.note(t, melody[i], length + kSixteenth);  // overlapping: the next note glides in
    if (lengths[i] >= 4) w.controller(t + kBeat, 1, 28);
    if (lengths[i] >= 4) w.controller(t + length - kSixteenth, 1, 0);
    t += length;
  }
  w.controller(t, 1, 0);

  // Bars 14-21: noise in, emphasis up, a resonant sweep down and back.
  const double sweep = 14 * bar;
  w.program(sweep, "Acid Squelch");
  w.param(sweep, kNoise, 1);
  w.param(sweep, kNoiseVolume, 0.3);
  w.param(sweep, kEmphasis, 0.88);
  bass(w, sweep, 7, 0.5);
  w.ramp(sweep, sweep + 3.5 * bar, kCutoff, 0.7, 0.15);
  w.param(sweep + 3.5 * bar, kNoiseType, 1);
  w.ramp(sweep + 3.5 * bar, sweep + 7 * bar, kCutoff, 0.15, 0.6);

  // Bars 21-27: the pot is pushed (it crackles), then a long low note.
  const double coda = 21 * bar;
  w.program(coda, "Fat Bass");
  w.param(coda, kDecay, 1);
  w.param(coda, kFilterDecay, 0.6);
  w.param(coda, kLoudnessDecay, 0.62);
  bass(w, coda, 2, 0.8);
  for (int i = 0; i <= 40; ++i) w.param(coda + bar + i * 0.02, kVolume, 0.55 + 0.2 * i / 40);
  for (int i = 0; i <= 40; ++i) w.param(coda + 1.6 * bar + i * 0.02, kVolume, 0.75 - 0.15 * i / 40);
  w.note(coda + 2 * bar, 24, 3 * bar);
  w.note(coda + 2 * bar + 4 * kBeat, 19, 4 * kBeat);  // a lower key takes over, legato
  song.events = std::move(w.events);
  return song;
}
