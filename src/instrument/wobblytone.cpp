// SPDX-License-Identifier: ISC
// Construction, reset, parameter dispatch, notes, malfunctions and state.
#include "instrument/wobblytone.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "instrument/factory_bank.h"
#include "instrument/wobblytone_config.h"
#include "modules/numeric.h"

using namespace Properties;

namespace {

uint32_t clockSeed(const void* instance) {
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  const auto steady = std::chrono::steady_clock::now().time_since_epoch().count();
  std::seed_seq seq{static_cast<uint32_t>(now), static_cast<uint32_t>(now >> 32), static_cast<uint32_t>(steady),
                    static_cast<uint32_t>(reinterpret_cast<uintptr_t>(instance))};
  uint32_t seed;
  seq.generate(&seed, &seed + 1);
  return seed;
}

}  // namespace

Wobblytone::Wobblytone(const InstanceInfo& info) : Synth(info, wobblytoneConfig()), noteEvents(1024) {
  // isRestoring is set from here to the end of construction: parameter
  // reactions neither blow the fuse nor crackle nor tell the host.
  initParameters();
  MakeDefaultPreset("Wobblytone", 1);
  random.seed(RandomSeed() ? *RandomSeed() : clockSeed(this));
  waves = WaveBank::load(PluginPath());
  for (int w = 0; w < kNumWaves; ++w) waveSamples[w] = waves->wave(w);
  drawBrokenControls();
  setWarmUpTimes(1);
  isRestoring = false;
}

void Wobblytone::initParameters() { declareParameters(*this); }

void Wobblytone::drawBrokenControls() {
  std::fill(std::begin(brokenKnobs), std::end(brokenKnobs), 0);
  std::fill(std::begin(brokenKeys), std::end(brokenKeys), 0);
  const uint32_t r1 = random();
  const uint32_t r2 = random();
  for (int i = r1 % 3 == 2 ? 2 : 1; i > 0; --i) brokenKnobs[random() % kNumKnobs] = 1;
  for (int i = r2 % 3 == 2 ? 2 : 1; i > 0; --i) brokenKeys[random() % kNumKeys] = 1;
}

void Wobblytone::OnReset() {
  Synth::OnReset();
  slicePosition = 0;
  const double rate = GetSampleRate();
  if (rate == cachedSampleRate) return;

  clearKeyBuffer();
  sustainOn = keyDown = voiceActive = false;
  filterContour.reset();
  loudnessContour.reset();
  cachedSampleRate = rate;

  for (VCO* hum : {&humOsc1, &humOsc2}) {
    hum->setSampleRate(rate);
    hum->setRange(3);
    hum->setWaveform(VCO::kSawtoothTriangular);
  }
  humBandPass.setSampleRate(rate);
  humBandPass.setFrequency(330);
  noiseLowPass.setSampleRate(rate);
  noiseHighPass.setSampleRate(rate);
  sweepBandPass.setSampleRate(rate);
  noiseLowPass.setFrequency(2000);
  noiseHighPass.setFrequency(320);
  sweepBandPass.setFrequency(1000);
  lfo.setRate(0.13);
  bassLowPass.setSampleRate(rate);
  bassLowPass.setFrequency(80);
  osc1.setSampleRate(rate);
  osc2.setSampleRate(rate);
  osc3.setSampleRate(rate);
  osc3.reverseSawtooth = true;
  vcf.setSampleRate(rate);
  filterContour.setSampleRate(rate);
  filterContour.setRelease(true);
  loudnessContour.setSampleRate(rate);
  outputLowPass.setSampleRate(rate);
  dcBlocker.setSampleRate(rate);
  outputLowPass.setFrequency(18000);
  dcBlocker.setFrequency(12);
  scratchContour.setAttack(0);
  scratchContour.setDecay(0.3);
  scratchContour.setSustain(0);
  scratchContour.setRelease(true);

  setOverSample(overSample);
  waveRate = 8000 / rate;
}

void Wobblytone::setOverSample(EOverSample mode) {
  overSample = mode;
  switch (mode) {
    case kOverSampleQuarter:
      outputLowPass.setFrequency(3500);
      osStep = 10000 / cachedSampleRate;
      break;
    case kOverSampleHalf:
      outputLowPass.setFrequency(6000);
      osStep = 20000 / cachedSampleRate;
      break;
    default:
      outputLowPass.setFrequency(16000);
      osStep = 1;
      break;
  }
}

// --- Parameter dispatch ------------------------------------------------------

void Wobblytone::reactToParamChange(int paramIdx) {
  const IParam* param = GetParam(paramIdx);
  if (!param) return;
  const double v = param->Value();
  const double n = param->GetNormalized();
  const bool on = n >= 0.5;
  const uint8_t index = static_cast<uint8_t>(std::clamp(numeric::truncToInt32(v), 0, 255));

  switch (paramIdx) {
    case kPower:
      powerOn = on;
      if (!on) clearVoice();
      break;
    case kVoltage:
      if (isRestoring) is110V = n < 0.5;
      else set110V(n < 0.5);
      break;
    case kFuse:
      fuseBlown = on;
      if (on) clearVoice();
      break;
    case kWarmUp:
      warmUpState = index;
      setWarmUpTimes(index == 2 ? 0 : 1);
      break;
    case kVolume:
      volume = v;
      volumeScratch = !isRestoring;
      break;
    case kMainOut: mainOut = on; break;
    case kA440: a440On = on; break;
    case kOverSample: setOverSample(static_cast<EOverSample>(index <= 2 ? index : 0)); break;
    case kTune: {
      double t = v;
      if (t > 1.5) t = 1.5 + 19 * (t - 1.5) * (t - 1.5);
      else if (t < -1.5) t = -1.5 - 32 * (t + 1.5) * (t + 1.5);
      tuneOffset = 128 * t;
      break;
    }
    case kGlide: glideOn = on; break;
    case kGlideTime: glideTime = 5 * v; break;
    case kDecay: loudnessContour.setRelease(on); break;
    case kModMix: modMix = n; break;
    case kOscMod: oscModOn = on; break;
    case kOsc1Range: osc1.setRange(index); break;
    case kOsc1Waveform: osc1.setWaveform(index); break;
    case kOsc2Range: osc2.setRange(index); break;
    case kOsc2Frequency: osc2.frequencyOffset = 128 * v; break;
    case kOsc2Waveform:
      osc2.setWaveform(index);
      osc2Broken = std::lround(v) == VCO::kWideRectangular;
      break;
    case kOsc3Range: osc3.setRange(index); break;
    case kOsc3Frequency: osc3.frequencyOffset = 128 * v; break;
    case kOsc3Waveform: osc3.setWaveform(index); break;
    case kOsc3Control: osc3.fixedPitch = on; break;
    case kOsc1: osc1On = on; break;
    case kOsc2: osc2On = on; break;
    case kOsc3: osc3On = on; break;
    case kExternalInput: extInOn = on; break;
    case kNoise: noiseOn = on; break;
    case kOsc1Volume: osc1Volume = v; break;
    case kOsc2Volume: osc2Volume = v; break;
    case kOsc3Volume: osc3Volume = v; break;
    case kExternalInputVolume: extInVolume = 0.2499 * n + 0.0001; break;
    case kNoiseVolume: noiseVolume = v; break;
    case kNoiseType: noiseWave = n < 0.5 ? kWaveWhite : kWavePink; break;
    case kFilterMod: filterModOn = on; break;
    case kFilterControl1: filterControl1 = on; break;
    case kFilterControl2: filterControl2 = on; break;
    case kCutoff:
      cutoffPitch = 15232 * n + 2048;
      vcf.setCutoff(static_cast<int>(std::floor(cutoffPitch)), false);
      break;
    case kEmphasis:
      vcf.setEmphasis(std::min(1.1, 1.4 * v));
      break;
    case kAmountOfContour: contourAmount = 15362 * n; break;
    case kFilterAttack: filterContour.setAttack(v); break;
    case kFilterDecay: filterContour.setDecay(v); break;
    case kFilterSustain: filterContour.setSustain(v); break;
    case kLoudnessAttack: loudnessContour.setAttack(v); break;
    case kLoudnessDecay: loudnessContour.setDecay(v); break;
    case kLoudnessSustain: loudnessContour.setSustain(v); break;
    default: break;
  }
}

// --- Notes -------------------------------------------------------------------

void Wobblytone::setNoteOn(int note) {
  const bool legato = !keyBuffer.empty();
  addPressedKey(note);
  keyDown = true;
  voiceActive = true;
  const int sounding = legato ? keyBuffer.first() : note;
  currentNote = sounding;
  targetPitch = sounding * 128;
  if (glideOn && legato && glideTime > 0) {
    glideSteps = static_cast<int>(std::floor(glideTime * 1000));
    if (glideSteps < 1) {
      glideIncrement = 0;
      currentPitch = targetPitch;
    } else {
      glideIncrement = (targetPitch - currentPitch) / (glideTime * 1000);
    }
    return;
  }
  glideSteps = 0;
  glideIncrement = 0;
  currentPitch = targetPitch;
  if (legato) return;
  filterContour.start();
  loudnessContour.start();
  wavePos[kWavePulse] = 0;
}

void Wobblytone::setNoteOff(int note) {
  removePressedKey(note);
  if (!keyBuffer.empty()) {
    setNoteOn(keyBuffer.first());
    return;
  }
  keyDown = false;
  if (sustainOn) return;
  filterContour.stop();
  loudnessContour.stop();
}

void Wobblytone::setSustain(bool down) {
  sustainOn = down;
  if (down || keyDown) return;
  removePressedKey(currentNote);
  if (!keyBuffer.empty()) {
    setNoteOn(keyBuffer.first());
    return;
  }
  keyDown = false;
  filterContour.stop();
  loudnessContour.stop();
}

void Wobblytone::clearVoice() {
  clearKeyBuffer();
  sustainOn = false;
  keyDown = false;
  voiceActive = false;
  filterContour.reset();
  loudnessContour.reset();
}

void Wobblytone::allNotesOff() { clearVoice(); }

// --- Malfunctions --------------------------------------------------------------

void Wobblytone::set110V(bool on110) {
  if (on110 && !is110V && powerOn) {
    setParamValue(kFuse, 1.0, true);
    fuseJustBlown = true;
  }
  is110V = on110;
}

void Wobblytone::setWarmUpTimes(double minutes) {
  warmUpRemaining[0] = (minutes - 1) * 60;
  warmUpRemaining[1] = minutes * 60;
  warmUpRemaining[2] = (minutes + 1) * 60;
  std::fill(std::begin(warmUpStep), std::end(warmUpStep), 0.001);
}

float Wobblytone::scaleOfSize(int size) {
  // Twice and four times the area of "100%" for "200%" and "400%"; "800%"
  // is four times its width.
  static const float kScales[] = {0.25f, 0.375f, 0.5f, 0.70710677f, 1.0f, 2.0f};
  return size >= 0 && size < 6 ? kScales[size] : 0.0f;
}

void Wobblytone::resizeUI(GUI::GUISize size) { Synth::resizeUI(scaleOfSize(size)); }

bool Wobblytone::requestPitchBend(double bend) {
  return postEditorChange(EditorChange::Kind::pitchBend, false, bend);
}

bool Wobblytone::requestModWheel(double amount) {
  return postEditorChange(EditorChange::Kind::modWheel, false, amount);
}

bool Wobblytone::requestFactoryProgram(int index) {
  if (index < 0 || index >= FactoryBank::count()) return false;
  pendingFactoryProgram.store(index);
  return true;
}

void Wobblytone::storeFactoryProgramValues(int index) {
  const FactoryProgram& program = FactoryBank::program(index);
  for (int i = 0; i < kNumParams; ++i) GetParam(i)->Set(program.values[i]);
}

void Wobblytone::applyFactoryProgram(int index) {
  storeFactoryProgramValues(index);
  ApplyParameterValues();
  lastFactoryProgram.store(index);
  factoryProgramsApplied.fetch_add(1);
}

void Wobblytone::applyEditorChange(const EditorChange& change) {
  switch (change.kind) {
    case EditorChange::Kind::pitchBend: pitchBend.store(change.value, std::memory_order_relaxed); break;
    case EditorChange::Kind::modWheel: modWheel.store(change.value, std::memory_order_relaxed); break;
    default: Synth::applyEditorChange(change); break;
  }
}

// --- Clips -----------------------------------------------------------------------

void Wobblytone::startWave(EWaves w, bool randomStart) {
  wavePos[w] = randomStart ? static_cast<double>(random() % static_cast<uint32_t>(kWaveFiles[w].wavelen)) : 0;
}

// --- State -----------------------------------------------------------------------

bool Wobblytone::SerializeState(IByteChunk& chunk) const {
  bool ok = true;
  for (const auto& broken : brokenKnobs) {
    const uint8_t flag = broken.load(std::memory_order_relaxed);
    ok = chunk.Put(&flag) > 0 && ok;
  }
  for (const auto& broken : brokenKeys) {
    const uint8_t flag = broken.load(std::memory_order_relaxed);
    ok = chunk.Put(&flag) > 0 && ok;
  }
  if (!ok) return false;
  for (int i = 0; i < kNumParams; ++i) {
    const double v = GetParam(i)->Value();
    if (chunk.Put(&v) <= 0) return false;
  }
  return true;
}

int Wobblytone::UnserializeState(const IByteChunk& chunk, int startPos) {
  double none[kNumParams];
  std::fill(std::begin(none), std::end(none), std::numeric_limits<double>::quiet_NaN());
  return UnserializeStateWithValues(chunk, startPos, none);
}

int Wobblytone::UnserializeStateWithValues(const IByteChunk& chunk, int startPos, const double (&values)[kNumParams]) {
  // A state restored after a program was asked for wins over it: a host
  // that restores a session may select the session's program first.
  pendingFactoryProgram.store(-1);
  const bool wasRestoring = isRestoring;
  isRestoring = true;
  int pos = startPos;
  const int size = chunk.Size();
  if (size == 0) {
    std::fill(std::begin(brokenKnobs), std::end(brokenKnobs), 0);
    std::fill(std::begin(brokenKeys), std::end(brokenKeys), 0);
    pos = -1;
  } else {
    const uint8_t* bytes = chunk.GetData();
    auto readFlag = [&](std::atomic<uint8_t>& flag) {
      if (pos >= 0 && pos < size) {
        flag.store(bytes[pos++], std::memory_order_relaxed);
      } else {
        flag.store(0, std::memory_order_relaxed);
        pos = -1;
      }
    };
    for (auto& flag : brokenKnobs) readFlag(flag);
    for (auto& flag : brokenKeys) readFlag(flag);
    for (int i = 0; i < kNumParams && pos >= 0; ++i) {
      double v = 0.0;
      if (pos <= size - 8) {
        std::memcpy(&v, bytes + pos, sizeof v);
        pos += 8;
      } else {
        pos = -1;
      }
      GetParam(i)->Set(v);
    }
  }
  // Hosts hold values as floats: a given value equal to the restored one as a
  // float is that value, and keeps the chunk's full precision.
  for (int i = 0; i < kNumParams; ++i)
    if (std::isfinite(values[i]) && static_cast<float>(GetParam(i)->Value()) != static_cast<float>(values[i]))
      GetParam(i)->Set(values[i]);
  OnParamReset(kPresetRecall);
  isRestoring = wasRestoring;
  return pos;
}
