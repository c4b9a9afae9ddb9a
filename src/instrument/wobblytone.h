// SPDX-License-Identifier: ISC
// Wobblytone: the instrument. Turns MIDI and parameters into one stereo
// signal (both channels equal), keeps the held keys, simulates the faults of
// a worn unit and plays the sound clips. Knows nothing of any host format.
//
// Threads: ProcessMidiMsg and ProcessBlock run on the audio thread and never
// allocate, lock or block once OnReset has run. OnParamChange runs on
// whichever thread delivers a change. The editor reads the plain flags below.
#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "instrument/wobblytone_param.h"
#include "instrument/wobblytone_waves.h"
#include "modules/contour.h"
#include "modules/filter.h"
#include "modules/lfo.h"
#include "modules/vcf.h"
#include "modules/vco.h"
#include "synth/synth.h"

namespace Properties {
enum EOverSample { kOverSample1 = 0, kOverSampleHalf = 1, kOverSampleQuarter = 2 };
constexpr int kNumKnobs = 26;
constexpr int kNumKeys = 44;
constexpr int kLowestKey = 41;  // brokenKeys[i] is MIDI note 41 + i
}  // namespace Properties

class Wobblytone : public Synth {
 public:
  explicit Wobblytone(const InstanceInfo& info);

  // --- Host operations ---------------------------------------------------
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMsg(const IMidiMsg& msg) override;
  void OnReset() override;
  void allNotesOff() override;
  void initParameters() override;
  void reactToParamChange(int paramIdx) override;
  bool SerializeState(IByteChunk& chunk) const override;
  int UnserializeState(const IByteChunk& chunk, int startPos) override;
  // One restore of a chunk and then plain parameter values given beside it
  // (a host's parameter list, NaN where none is given): what UnserializeState
  // does, with the given values taking the place of the chunk's.
  int UnserializeStateWithValues(const IByteChunk& chunk, int startPos, const double (&values)[kNumParams]);

  // --- Notes (audio thread) ----------------------------------------------
  void setNoteOn(int note);
  void setNoteOff(int note);
  void setSustain(bool down);

  // --- Malfunctions ------------------------------------------------------
  void set110V(bool on110);
  void setWarmUpTimes(double minutes);

  // --- Clips ---------------------------------------------------------------
  // A clip read at a steady speed as a plain value, for a loop (the
  // compiler keeps it in registers); the same samples as processWave.
  struct ClipRun {
    ClipRun(const Wobblytone& owner, Properties::EWaves wave, double speed)
        : samples(owner.waveSamples[wave]), length(kWaveFiles[wave].wavelen), position(owner.wavePos[wave]),
          step(speed * owner.waveRate) {}
    // The next sample: a looping read restarts at the end, a one-shot read
    // stays silent there.
    double next(bool loop) {
      double p = position;
      if (!(p >= 0)) p = 0;  // also a not-a-number position
      if (p >= length) {
        if (!loop) return 0;
        p = 0;
      }
      p += step;
      position = p;
      // One call may step past the end (a high Osc-2 pitch reads the pulse
      // clip fast): read the last sample then; the next call restarts or stops.
      const int32_t i = p < length ? static_cast<int32_t>(p) : length - 1;
      return samples[i] * 0.007;
    }
    double looped() { return next(true); }
    void storeInto(Wobblytone& owner, Properties::EWaves wave) const { owner.wavePos[wave] = position; }
    const int8_t* samples;
    int32_t length;
    double position, step;
  };

  // Advances clip w by one output sample at `speed` and returns its value.
  double processWave(Properties::EWaves w, bool loop, double speed) {
    ClipRun clip(*this, w, speed);
    const double sample = clip.next(loop);
    clip.storeInto(*this, w);
    return sample;
  }
  void startWave(Properties::EWaves w, bool random);

  void setOverSample(Properties::EOverSample mode);

  // The window sizes of the menus: 0 to 5 select a scale, anything else none.
  void resizeUI(GUI::GUISize size) override;
  using Synth::resizeUI;
  static float scaleOfSize(int size);

  // --- The on-screen wheels (user-interface thread) -------------------------
  // Queued like every change from the editor; false when the queue is full.
  bool requestPitchBend(double bend);
  bool requestModWheel(double amount);

  // --- Factory programs ------------------------------------------------------
  // From any thread: factory program `index` replaces the parameters before
  // the next block (the broken knobs and keys stay); false for an index
  // outside the bank. Of several requests before a block the last one wins.
  bool requestFactoryProgram(int index);
  // Stores program `index`'s values in the parameters without applying them:
  // for an instance that plays nothing yet (a render being set up, a host's
  // description writer). The index must be inside the bank.
  void storeFactoryProgramValues(int index);

  // The editor takes the news of a blown fuse once, to flash the panel.
  bool takeFuseJustBlown() { return fuseJustBlown.exchange(false); }

  int getSliceLength() const { return sliceLength; }

 private:
  // EngineView reads the state below; tests set what a worn unit would
  // reach only by chance (a broken key, a bad filter state) through EngineProbe.
  friend class EngineView;
  friend struct EngineProbe;

  // --- Flags the editor reads ----------------------------------------------
  // Written by the engine (the audio thread, or a restore), read by the
  // editor on its own thread: atomics, relaxed where nothing else hangs on them.
  std::atomic<bool> powerOn{false};
  std::atomic<bool> fuseBlown{false};
  std::atomic<bool> is110V{false};
  std::atomic<bool> fuseJustBlown{false};  // set here, taken (cleared) by the editor
  std::atomic<int> warmUpState{0};
  std::atomic<bool> overload{false};
  std::atomic<double> pitchBend{0};
  std::atomic<double> modWheel{0};
  // Broken controls, one byte each as saved in the state: non-zero is broken.
  std::atomic<uint8_t> brokenKnobs[Properties::kNumKnobs] = {};
  std::atomic<uint8_t> brokenKeys[Properties::kNumKeys] = {};
  // The factory program applied last (−1: none yet), and how many have been
  // applied, so that the editor sees the same one chosen twice.
  std::atomic<int> lastFactoryProgram{-1};
  std::atomic<unsigned> factoryProgramsApplied{0};
  // The one asked for, waiting for the next block (−1: none).
  std::atomic<int> pendingFactoryProgram{-1};

  // --- Engine state (the audio thread's) ----------------------------------
  VCO humOsc1, humOsc2, osc1, osc2, osc3;
  VCF vcf;
  Contour filterContour, loudnessContour, scratchContour;
  LowPass outputLowPass, noiseLowPass;
  LowPass6dB bassLowPass;
  HighPass dcBlocker, noiseHighPass;
  BandPass humBandPass, sweepBandPass;
  LFO lfo;

  bool mainOut = false;
  bool a440On = false;
  bool oscModOn = false, filterModOn = false;
  bool osc1On = false, osc2On = false, osc3On = false, extInOn = false, noiseOn = false;
  double osc1Volume = 0, osc2Volume = 0, osc3Volume = 0, noiseVolume = 0, extInVolume = 0;
  bool filterControl1 = false, filterControl2 = false;
  double modMix = 0;
  double contourAmount = 0;
  double cutoffPitch = 0;
  double tuneOffset = 0;
  double volume = 0;
  Properties::EOverSample overSample = Properties::kOverSample1;
  bool osc2Broken = false;
  Properties::EWaves noiseWave = Properties::kWaveWhite;

  bool sustainOn = false;
  bool keyDown = false;
  bool voiceActive = false;
  int currentNote = 0;
  int targetPitch = 0;
  double currentPitch = 6144;
  int glideSteps = 0;
  double glideIncrement = 0;
  bool glideOn = false;
  double glideTime = 0;

  double osc1Offset = 0, osc2Offset = 0, osc3Offset = 0;
  double osc3Pitch = 0;
  double keyTrack = 0;
  double lastOsc3 = 0;
  double heldSample = 0;
  double osAccumulator = 0;
  double osStep = 1;
  double cachedSampleRate = -1;
  bool volumeScratch = false;

  double warmUpRemaining[3] = {0, 60, 120};
  double warmUpStep[3] = {0.001, 0.001, 0.001};

  double wavePos[Properties::kNumWaves] = {};
  double waveRate = 0;

  // Renders with the filters' not-a-number guards all the time, not only
  // after a state went bad (set by tests, to check the guarded path against
  // the fast one).
  bool renderAlwaysGuarded = false;

  void applyEditorChange(const EditorChange& change) override;
  void applyFactoryProgram(int index);
  void update();
  void handleMidiEvents();
  void clearVoice();
  void drawBrokenControls();
  // Produces n samples of the current slice, from slice position k on.
  void renderSamples(double* left, double* right, int n, bool running);
  static constexpr int kMaxRun = 512;
  template <bool kGuarded>
  void renderRun(double* __restrict left, double* __restrict right, int n, bool running);
  bool filtersHaveNaNState() const;
  // The factor of the filter modulation for the current Osc-3 and cutoff pitches.
  double filterModulationScale();
  double modGuardOsc3Pitch = -1e300, modGuardCutoffPitch = -1e300, modGuardScale = 0;

  IMidiQueueBase<IMidiMsg> noteEvents;
  int slicePosition = 0;  // position k of the next sample inside its slice
  std::mt19937 random;
  std::shared_ptr<const WaveBank> waves;
  const int8_t* waveSamples[Properties::kNumWaves] = {};
};
