// SPDX-License-Identifier: ISC
// MIDI intake and block processing: the audio thread's side of the instrument.
// Nothing here allocates, locks, blocks or does I/O.
#include <algorithm>
#include <type_traits>
#include <cmath>
#include <climits>

#include "instrument/wobblytone.h"
#include "modules/numeric.h"

using namespace Properties;

namespace {

bool isNoteMessage(const IMidiMsg& m) {
  return m.StatusMsg() == IMidiMsg::kNoteOn || m.StatusMsg() == IMidiMsg::kNoteOff;
}
bool isSustainMessage(const IMidiMsg& m) {
  return m.StatusMsg() == IMidiMsg::kControlChange && m.mData1 == 64;
}

// The cutoff offset for the filter: truncated toward zero; out of the int32
// range (or not a number) it is the lowest int32, which the filter saturates.
int32_t cutoffModulation(double c) {
  if (!(c > -2147483649.0 && c < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(c);
}

// Calls f with each flag as a compile-time constant (std::true_type or
// std::false_type), so that a loop's invariant choices leave the loop.
template <class F>
void withConstants(F&& f) {
  f();
}
template <class F, class... Flags>
void withConstants(F&& f, bool flag, Flags... rest) {
  if (flag)
    withConstants([&](auto... c) { f(std::true_type{}, c...); }, rest...);
  else
    withConstants([&](auto... c) { f(std::false_type{}, c...); }, rest...);
}

}  // namespace

void Wobblytone::ProcessMidiMsg(const IMidiMsg& incoming) {
  IMidiMsg msg = incoming;
  const IMidiMsg::EStatusMsg type = msg.StatusMsg();
  if (type == IMidiMsg::kNone || msg.mData1 > 127 || msg.mData2 > 127) return;  // not a channel message
  if (type == IMidiMsg::kPolyAftertouch) return;
  if (type == IMidiMsg::kProgramChange) {
    // Factory program n, at the start of the next block, unless the option
    // says to leave programs alone. (Bank Select changes nothing.)
    if (!configFile.ignoreProgramChange) requestFactoryProgram(msg.mData1);
    return;
  }
  if (type == IMidiMsg::kNoteOn && msg.mData2 == 0) msg.mStatus = 0x80;
  if (type == IMidiMsg::kControlChange) {
    const int cc = msg.mData1;
    if (cc == 120 || cc == 123) {
      allNotesOff();
      return;
    }
    if (cc > 119) return;
    if (midiLearn.midiLearnActive) {
      midiLearn.setMidiLearnCC(cc);
      return;
    }
  }

  // Offsets arrive counted from the start of this block; the queue counts
  // them from the start of the next slice, which begins sliceRemaining
  // samples into the block when a slice runs on from the previous block.
  const int L = std::max(1, sliceLength);
  const int lastFrame = std::max(1, GetBlockSize()) - 1;
  const int offset = std::clamp(msg.mOffset, 0, lastFrame);
  int queued = offset - sliceRemaining;
  if (queued < 0) {
    if (isNoteMessage(msg) || isSustainMessage(msg)) {
      // It falls into the slice under way: straight to that slice's events,
      // at its own sample, so that a note sounds on the same sample whatever
      // the host's block size.
      msg.mOffset = offset + (L - sliceRemaining);
      noteEvents.Add(msg);
      return;
    }
    queued = 0;  // controllers act at slice starts: the next one
  }
  if (!isNoteMessage(msg) && !isSustainMessage(msg) && queued > L) queued += L / 2;
  msg.mOffset = queued;
  midiQueue.Add(msg);
}

void Wobblytone::handleMidiEvents() {
  const int L = std::max(1, sliceLength);
  while (!midiQueue.Empty() && midiQueue.Peek().mOffset < L) {
    IMidiMsg msg = midiQueue.Peek();
    midiQueue.Remove();
    switch (msg.StatusMsg()) {
      case IMidiMsg::kNoteOn:
      case IMidiMsg::kNoteOff:
        if ((msg.mStatus & 0xE0) == 0x80 && msg.mData2 == 0) msg.mStatus = 0x80;
        noteEvents.Add(msg);
        break;
      case IMidiMsg::kControlChange: {
        const int cc = msg.mData1;
        if (cc == 64) {
          noteEvents.Add(msg);
        } else if (cc == 1) {
          modWheel.store(msg.mData2 / 127.0, std::memory_order_relaxed);
        } else {
          const double v = msg.mData2 / 127.0;
          const int target = midiLearn.target(cc);
          if (target >= 0 && target < kNumParams && GetParam(target)->GetNormalized() != v)
            setParamValue(target, v, true);
        }
        break;
      }
      case IMidiMsg::kPitchWheel:
        pitchBend.store((msg.mData2 * 128 + msg.mData1 - 8192) / 8192.0, std::memory_order_relaxed);
        break;
      default:
        break;
    }
  }
  midiQueue.Flush(L);
}

void Wobblytone::ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) {
  if (!outputs || !outputs[0] || !outputs[1] || nFrames <= 0) return;
  takeEditorChanges();
  if (const int program = pendingFactoryProgram.exchange(-1); program >= 0) applyFactoryProgram(program);
  std::fill(outputs[0], outputs[0] + nFrames, 0.0);
  std::fill(outputs[1], outputs[1] + nFrames, 0.0);
  const bool running = !fuseBlown && powerOn;
  overload.store(false, std::memory_order_relaxed);
  // A slice of at least one sample, also before the first reset and below 1 kHz.
  const int L = std::max(1, sliceLength);

  int remaining = nFrames;
  int pos = 0;
  while (remaining > 0) {
    int n;
    if (sliceRemaining > 0) {
      n = std::min(sliceRemaining, remaining);
      sliceRemaining -= n;
    } else {
      handleMidiEvents();
      if (running) update();
      slicePosition = 0;
      n = std::min(L, remaining);
      sliceRemaining = L - n;
    }
    remaining -= n;
    renderSamples(outputs[0] + pos, outputs[1] + pos, n, running);
    pos += n;
  }
}

void Wobblytone::update() {
  if (glideSteps > 0) {
    currentPitch += glideIncrement;
    if (--glideSteps == 0) currentPitch = targetPitch;
  }
  const double b = pitchBend * 896 + tuneOffset;
  osc1Offset = b;
  osc2Offset = b + 12.8;
  osc3Offset = b - 25.6;
  if (warmUpState < 2) {
    const double drift = warmUpState == 0 ? 3.0 : -6.5;
    double* offsets[3] = {&osc1Offset, &osc2Offset, &osc3Offset};
    bool anyRunning = false;
    for (int i = 0; i < 3; ++i) {
      if (warmUpRemaining[i] > 0) {
        *offsets[i] -= drift * warmUpRemaining[i];
        warmUpRemaining[i] -= warmUpStep[i];
        anyRunning = true;
      }
    }
    if (!anyRunning) setParamValue(kWarmUp, 2.0, false);
  }
  osc3Pitch = osc3Offset + currentPitch;
  osc3.update(osc3Pitch);
  keyTrack = (currentPitch - 6144) * ((filterControl1 ? 0.33 : 0) + (filterControl2 ? 0.67 : 0));
  humOsc1.update(is110V ? 4448 : 4000);
  humOsc2.update(is110V ? 4450 : 4002);
  lfo.update();
  sweepBandPass.setFrequency(1900 * lfo.unipolar + 100);
  scratchContour.update();
  if (volumeScratch) {
    volumeScratch = false;
    startWave(kWaveScratch, true);
    scratchContour.start();
  } else {
    scratchContour.stop();
  }
}

double Wobblytone::filterModulationScale() {
  // Both frequencies change at most once per slice or per parameter change,
  // so the two conversions run only when one of the pitches moved.
  if (osc3Pitch != modGuardOsc3Pitch || cutoffPitch != modGuardCutoffPitch) {
    modGuardOsc3Pitch = osc3Pitch;
    modGuardCutoffPitch = cutoffPitch;
    const double f3 = convert2Hz(numeric::truncToInt32(std::round(osc3Pitch)));
    const double fc = convert2Hz(numeric::truncToInt32(std::round(cutoffPitch)));
    // Either frequency at 10 kHz or above: no filter modulation.
    modGuardScale = f3 < 10000 && fc < 10000 ? (1 - (f3 * fc) * (f3 * fc) / 1e16) * 7681 : 0;
  }
  return modGuardScale;
}

bool Wobblytone::filtersHaveNaNState() const {
  return vcf.hasNaNState() || outputLowPass.hasNaNState() || noiseLowPass.hasNaNState() ||
         bassLowPass.hasNaNState() || dcBlocker.hasNaNState() || noiseHighPass.hasNaNState() ||
         humBandPass.hasNaNState() || sweepBandPass.hasNaNState();
}

void Wobblytone::renderSamples(double* left, double* right, int n, bool running) {
  // Every value that enters a filter is a number as long as the filter
  // states are (oscillators, clips and parameters never give anything else),
  // so the filters' not-a-number guards are needed only after a state has
  // gone bad; then this segment runs with them and they mend the states.
  const bool guarded = renderAlwaysGuarded || filtersHaveNaNState();
  int done = 0;
  while (done < n) {
    while (!noteEvents.Empty() && noteEvents.Peek().mOffset <= slicePosition) {
      const IMidiMsg msg = noteEvents.Peek();
      noteEvents.Remove();
      if (msg.StatusMsg() == IMidiMsg::kNoteOff) setNoteOff(msg.mData1);
      else if (msg.StatusMsg() == IMidiMsg::kNoteOn) setNoteOn(msg.mData1);
      else setSustain(msg.mData2 != 0);
    }
    // A run lasts until the next note event: nothing but the voice itself
    // changes inside it.
    int run = std::min(n - done, kMaxRun);
    if (!noteEvents.Empty()) run = std::min(run, noteEvents.Peek().mOffset - slicePosition);
    if (guarded) renderRun<true>(left + done, right + done, run, running);
    else renderRun<false>(left + done, right + done, run, running);
    done += run;
    slicePosition += run;
  }
}

// One run, in passes that each keep one part of the voice busy: contours,
// hum, noise, oscillators and filter, then the output stage. Each pass
// computes exactly what the sample-by-sample order would, since the parts
// share no state within a run.
template <bool kGuarded>
void Wobblytone::renderRun(double* __restrict left, double* __restrict right, int n, bool running) {
  auto filter = [](auto& f, double x) { return kGuarded ? f.process(x) : f.processUnguarded(x); };
  double voice[kMaxRun];
  int voiced = 0;

  // The output stage: mains DC, A-440, decimation, DC blocker, volume, the
  // pot's crackle, the output low-pass and the soft clipper.
  const double dcOffset = is110V ? -0.3 : 0.5;
  // A released crackle whose envelope has reached 0 adds nothing, and its
  // clip position matters again only after the next start sets it anew.
  const bool crackle = running && mainOut && scratchContour.isOn() &&
                       (scratchContour.value != 0 || scratchContour.state == Contour::kAttack);
  // Powered, without A-440, crackle or decimation (a step of 1 or more from
  // a count at or above 0: every sample passes the count and sets it back
  // to 0), the stage runs sample by sample inside the ladder's loop. The
  // ladder's feedback is a long chain of steps that wait on each other, and
  // the stage's work fills that wait.
  const bool fused = !kGuarded && running && !a440On && !crackle && osStep >= 1 && osAccumulator >= 0;
  BiquadRun blocker(dcBlocker), smoother(outputLowPass);
  double held = heldSample;
  const double gain = volume;
  auto output = [&](int j, double x) {
    x += dcOffset;
    held = blocker.process(x) * gain;
    const double o = Filter::softClip(smoother.process(held));
    held = o;
    left[j] = o;
    right[j] = o;
  };

  if (running && mainOut && voiceActive) {
    // Contours; the voice ends with the sample on which the loudness contour
    // stops. While it cannot stop in this run, both step in the ladder's
    // loop (each step waits on the one before, and there that wait is
    // hidden); otherwise in a loop of their own, which finds the end.
    double filterLevel[kMaxRun], loudness[kMaxRun];
    Contour::Run loudnessRun(loudnessContour), filterRun(filterContour);
    const bool contoursInLadderLoop = !kGuarded && loudnessContour.cannotEndBeforeRelease();
    voiced = n;
    if (!contoursInLadderLoop) {
      for (int j = 0; j < n; ++j) {
        filterLevel[j] = filterRun.step();
        loudness[j] = loudnessRun.step();
        if (!loudnessRun.isOn()) {
          voiced = j + 1;
          break;
        }
      }
      loudnessRun.storeInto();
      filterRun.storeInto();
      if (!loudnessContour.isOn()) voiceActive = false;
    }

    // The mains hum, always faintly there: its two oscillators here; its
    // band-pass runs in the ladder's loop (see there), or in a pass of its
    // own with the filters that mend a bad state.
    double mix[kMaxRun], hum1[kMaxRun], hum2[kMaxRun], osc1Out[kMaxRun], osc2Out[kMaxRun];
    const double g = extInOn && extInVolume > 0 ? extInVolume : 0.0001;
    humOsc1.render(hum1, voiced);
    humOsc2.render(hum2, voiced);
    if constexpr (kGuarded) {
      for (int j = 0; j < voiced; ++j) {
        const double h = hum1[j] + 0.5 * hum2[j];
        mix[j] = (filter(humBandPass, h) + h) * g;
      }
    }

    // The noise clip, band-limited, with the LFO-swept band taken out.
    double noise[kMaxRun];
    const bool audible = noiseOn && noiseVolume > 0;
    if (noiseOn || (oscModOn && modMix > 0)) {
      if (kGuarded) {
        for (int j = 0; j < voiced; ++j) {
          const double w = processWave(noiseWave, true, 1);
          const double band = filter(noiseLowPass, filter(noiseHighPass, w));
          noise[j] = band - filter(sweepBandPass, band);
          if (audible) mix[j] += noiseVolume * noise[j];
        }
      } else {
        BiquadRun high(noiseHighPass), low(noiseLowPass), sweep(sweepBandPass);
        ClipRun clip(*this, noiseWave, 1);
        for (int j = 0; j < voiced; ++j) {
          const double w = clip.looped();
          const double band = low.process(high.process(w));
          noise[j] = band - sweep.process(band);
        }
        clip.storeInto(*this, noiseWave);
        high.storeInto(noiseHighPass);
        low.storeInto(noiseLowPass);
        sweep.storeInto(sweepBandPass);
      }
    } else {
      std::fill(noise, noise + voiced, 0.0);
    }

    // Oscillators, modulation and the ladder filter. Each oscillator runs
    // in a pass of its own over the run, with its waveform chosen once;
    // then one pass mixes them in the order the sample-by-sample sum takes
    // and runs the filters.
    const bool modulated = oscModOn || filterModOn;
    const double wheel = modWheel * modWheel;
    const double filterScale = filterModOn ? filterModulationScale() : 0;
    const bool osc3Heard = osc3On || modulated;

    // Osc-3's pitch is set once per slice: it reads on at one increment.
    double osc3Out[kMaxRun];
    if (osc3Heard) osc3.render(osc3Out, voiced);

    // The modulation source of sample j reads Osc-3 as it was one sample before.
    double source[kMaxRun];
    if (modulated && voiced > 0) {
      // Each sample from the arrays alone, so that the compiler can do two at a time.
      source[0] = ((noise[0] - lastOsc3) * modMix + lastOsc3) * wheel;
      for (int j = 1; j < voiced; ++j) source[j] = ((noise[j] - osc3Out[j - 1]) * modMix + osc3Out[j - 1]) * wheel;
    }
    if (osc3Heard && voiced > 0) lastOsc3 = osc3Out[voiced - 1];

    // With oscillator modulation the pitches of Osc-1 and Osc-2 move every
    // sample; without it they stay put for the run, and one update is enough.
    double pitch[kMaxRun];
    auto renderAtPitch = [&](VCO& osc, double base, double* out) {
      if (oscModOn) {
        for (int j = 0; j < voiced; ++j) pitch[j] = base + 1665 * source[j];
        osc.renderModulated(out, pitch, voiced);
      } else {
        osc.update(base);
        osc.render(out, voiced);
      }
    };
    if (osc1On) renderAtPitch(osc1, currentPitch + osc1Offset, osc1Out);
    if (osc2On) {
      const double pitch2 = currentPitch + osc2Offset;
      if (!osc2Broken) {
        renderAtPitch(osc2, pitch2, osc2Out);
      } else {
        // A broken Osc-2 plays the pulse clip at its pitch; the oscillator only tunes.
        if (!oscModOn) osc2.update(pitch2);
        for (int j = 0; j < voiced; ++j) {
          if (oscModOn) osc2.update(pitch2 + 1665 * source[j]);
          osc2Out[j] = processWave(kWavePulse, false, osc2.getMultipleOfC4());
        }
      }
    }

    OnePoleRun bassRun(bassLowPass);
    VCF::Run ladder(vcf);
    // The hum's band-pass in the ladder's loop: the ladder's feedback is a
    // long chain of steps that wait on each other, and the band-pass's
    // shorter chain runs beside it.
    BiquadRun humBand(humBandPass);
    for (int j = 0; j < voiced; ++j) {
      const double level = contoursInLadderLoop ? filterRun.step() : filterLevel[j];
      const double loud = contoursInLadderLoop ? loudnessRun.step() : loudness[j];
      double c = contourAmount * level + keyTrack;
      if (filterModOn) c += filterScale * source[j];
      double m;
      if constexpr (kGuarded) {
        m = mix[j];
      } else {
        const double h = hum1[j] + 0.5 * hum2[j];
        m = (humBand.process(h) + h) * g;
        if (audible) m += noiseVolume * noise[j];
      }
      if (osc1On) m += osc1Out[j] * osc1Volume;
      if (osc2On) m += osc2Volume * osc2Out[j];
      if (osc3On) m += osc3Out[j] * osc3Volume;
      if (m > 1.5) overload.store(true, std::memory_order_relaxed);
      const double bass = kGuarded ? bassLowPass.process(m) : bassRun.process(m);
      const double y =
          kGuarded ? vcf.process(m + bass, cutoffModulation(c)) : ladder.process(m + bass, cutoffModulation(c));
      if (fused)
        output(j, y * loud);
      else
        voice[j] = y * loud;
    }
    if (contoursInLadderLoop) {
      loudnessRun.storeInto();
      filterRun.storeInto();
    }
    if (!kGuarded) {
      bassRun.storeInto(bassLowPass);
      ladder.storeInto(vcf);
      humBand.storeInto(humBandPass);
    }
    if (!osc3Heard) {
      // Osc-3 runs on unheard; only its last sample is kept, as a modulation source.
      osc3.skip(voiced - 1);
      lastOsc3 = osc3.process();
    }
  }
  if (fused) {
    for (int j = voiced; j < n; ++j) output(j, 0.0);
    heldSample = held;
    if (n > 0) osAccumulator = 0;
    blocker.storeInto(dcBlocker);
    smoother.storeInto(outputLowPass);
    return;
  }
  std::fill(voice + voiced, voice + n, 0.0);
  if (kGuarded) {
    for (int j = 0; j < n; ++j) {
      double x = voice[j];
      if (running) {
        x += dcOffset;
        if (a440On) x += processWave(kWaveA440, true, 1);
      }
      osAccumulator += osStep;
      if (osAccumulator >= 1) {
        heldSample = filter(dcBlocker, x) * volume;
        if (crackle) heldSample += processWave(kWaveScratch, true, 1) * (scratchContour.value * 0.1);
        osAccumulator = 0;
      }
      const double o = Filter::softClip(filter(outputLowPass, heldSample));
      heldSample = o;
      left[j] = o;
      right[j] = o;
    }
    return;
  }
  double accumulator = osAccumulator;
  const double step = osStep, crackleLevel = scratchContour.value * 0.1;
  const bool tone = running && a440On;
  ClipRun a440(*this, kWaveA440, 1);
  // Without decimation, as above.
  const bool everySample = step >= 1 && accumulator >= 0;
  withConstants(
      [&](auto kRunning, auto kTone, auto kEverySample, auto kCrackle) {
        for (int j = 0; j < n; ++j) {
          double x = voice[j];
          if constexpr (kRunning) {
            x += dcOffset;
            if constexpr (kTone) x += a440.looped();
          }
          bool take = true;
          if constexpr (!kEverySample) {
            accumulator += step;
            take = accumulator >= 1;
          }
          if (take) {
            held = blocker.process(x) * gain;
            if constexpr (kCrackle) held += processWave(kWaveScratch, true, 1) * crackleLevel;
            if constexpr (!kEverySample) accumulator = 0;
          }
          const double o = Filter::softClip(smoother.process(held));
          held = o;
          left[j] = o;
          right[j] = o;
        }
        if (kEverySample && n > 0) accumulator = 0;
      },
      running, tone, everySample, crackle);
  if (tone) a440.storeInto(*this, kWaveA440);
  heldSample = held;
  osAccumulator = accumulator;
  blocker.storeInto(dcBlocker);
  smoother.storeInto(outputLowPass);
}
