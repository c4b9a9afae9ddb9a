// SPDX-License-Identifier: ISC
// MIDI intake and block processing: the audio thread's side of the instrument.
// Nothing here allocates, locks, blocks or does I/O.
#include <algorithm>
#include <cmath>
#include <climits>

#include "numeric.h"
#include "wobblytone.h"

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

}  // namespace

void Wobblytone::ProcessMidiMsg(const IMidiMsg& incoming) {
  IMidiMsg msg = incoming;
  const IMidiMsg::EStatusMsg type = msg.StatusMsg();
  if (type == IMidiMsg::kNone || msg.mData1 > 127 || msg.mData2 > 127) return;  // not a channel message
  if (type == IMidiMsg::kPolyAftertouch || type == IMidiMsg::kProgramChange) return;
  if (type == IMidiMsg::kNoteOn && msg.mData2 == 0) msg.mStatus = 0x80;
  if (type == IMidiMsg::kControlChange) {
    const int cc = msg.mData1;
    if (cc == 120 || cc == 123) {
      allNotesOff();
      return;
    }
    if (cc > 119) return;
    if (midiLearnActive) {
      setMidiLearnCC(cc);
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
          modWheel = msg.mData2 / 127.0;
        } else {
          const double v = msg.mData2 / 127.0;
          const int target = ccMap[cc];
          if (target >= 0 && target < kNumParams && GetParam(target)->GetNormalized() != v)
            setParamValue(target, v, true);
        }
        break;
      }
      case IMidiMsg::kPitchWheel:
        pitchBend = (msg.mData2 * 128 + msg.mData1 - 8192) / 8192.0;
        break;
      default:
        break;
    }
  }
  midiQueue.Flush(L);
}

void Wobblytone::ProcessBlock(double** /*inputs*/, double** outputs, int nFrames) {
  if (!outputs || !outputs[0] || !outputs[1] || nFrames <= 0) return;
  std::fill(outputs[0], outputs[0] + nFrames, 0.0);
  std::fill(outputs[1], outputs[1] + nFrames, 0.0);
  const bool running = !fuseBlown && powerOn;
  overload = false;
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

double Wobblytone::filterModulationScale() const {
  const double f3 = convert2Hz(numeric::truncToInt32(std::round(osc3Pitch)));
  const double fc = convert2Hz(numeric::truncToInt32(std::round(cutoffPitch)));
  if (f3 < 10000 && fc < 10000) return (1 - (f3 * fc) * (f3 * fc) / 1e16) * 7681;
  return 0;  // either frequency at 10 kHz or above: no filter modulation
}

void Wobblytone::renderSamples(double* left, double* right, int n, bool running) {
  const double dcOffset = is110V ? -0.3 : 0.5;
  for (int i = 0; i < n; ++i, ++slicePosition) {
    while (!noteEvents.Empty() && noteEvents.Peek().mOffset <= slicePosition) {
      const IMidiMsg msg = noteEvents.Peek();
      noteEvents.Remove();
      if (msg.StatusMsg() == IMidiMsg::kNoteOff) setNoteOff(msg.mData1);
      else if (msg.StatusMsg() == IMidiMsg::kNoteOn) setNoteOn(msg.mData1);
      else setSustain(msg.mData2 != 0);
    }

    double x = 0;
    if (running) {
      if (mainOut && voiceActive) {
        filterContour.update();
        loudnessContour.update();
        voiceActive = loudnessContour.isOn();

        const double h = humOsc1.process() + 0.5 * humOsc2.process();
        const double g = extInOn && extInVolume > 0 ? extInVolume : 0.0001;
        double m = (humBandPass.process(h) + h) * g;

        double noise = 0;
        if (noiseOn || (oscModOn && modMix > 0)) {
          const double w = processWave(noiseWave, true, 1);
          const double band = noiseLowPass.process(noiseHighPass.process(w));
          noise = band - sweepBandPass.process(band);
          if (noiseOn && noiseVolume > 0) m += noiseVolume * noise;
        }

        double c = contourAmount * filterContour.value + keyTrack;
        double s = 0, t = 0;
        if (oscModOn || filterModOn) {
          s = ((noise - lastOsc3) * modMix + lastOsc3) * (modWheel * modWheel);
          t = oscModOn ? 1665 * s : 0;
        }
        if (filterModOn) c += filterModulationScale() * s;

        if (osc1On) {
          osc1.update(currentPitch + osc1Offset + t);
          m += osc1.process() * osc1Volume;
        }
        if (osc2On) {
          osc2.update(currentPitch + osc2Offset + t);
          const double sample = osc2Broken ? processWave(kWavePulse, false, osc2.getMultipleOfC4()) : osc2.process();
          m += osc2Volume * sample;
        }
        const double u = osc3.process();
        lastOsc3 = u;
        if (osc3On) m += u * osc3Volume;

        if (m > 1.5) overload = true;
        const double y = vcf.process(m + bassLowPass.process(m), cutoffModulation(c));
        x = y * loudnessContour.value;
      }
      x += dcOffset;
      if (a440On) x += processWave(kWaveA440, true, 1);
    }

    osAccumulator += osStep;
    if (osAccumulator >= 1) {
      heldSample = dcBlocker.process(x) * volume;
      if (running && mainOut && scratchContour.isOn())
        heldSample += processWave(kWaveScratch, true, 1) * (scratchContour.value * 0.1);
      osAccumulator = 0;
    }
    const double o = Filter::softClip(outputLowPass.process(heldSample));
    heldSample = o;
    left[i] = o;
    right[i] = o;
  }
}
