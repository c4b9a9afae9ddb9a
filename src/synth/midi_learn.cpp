// SPDX-License-Identifier: ISC
#include "synth/midi_learn.h"

#include <algorithm>
#include <iterator>

MidiLearn::MidiLearn() {
  for (auto& target : ccMap) target.store(-1, std::memory_order_relaxed);
}

void MidiLearn::doMidiLearn(bool on) {
  midiUnlearn = false;
  midiLearnActive = on;
  learnCC = -1;
  learnParam = -1;
}

void MidiLearn::doMidiUnlearn(bool on) {
  midiUnlearn = true;
  midiLearnActive = on;
  learnCC = -1;
  learnParam = -1;
}

void MidiLearn::setMidiLearnCC(int cc) {
  learnCC = cc;
  applyMidiLearn();
}

void MidiLearn::setMidiLearnParam(int paramIdx) {
  learnParam = paramIdx;
  applyMidiLearn();
}

void MidiLearn::applyMidiLearn() {
  if (!midiLearnActive) return;
  if (midiUnlearn) {
    if (learnCC >= 0 && learnCC < kNumControllers) {
      ccMap[learnCC] = -1;
    } else if (learnParam != -1) {
      std::replace(std::begin(ccMap), std::end(ccMap), learnParam, -1);
    } else {
      return;
    }
    midiUnlearn = false;
    midiLearnActive = false;
  } else {
    if (learnCC < 0 || learnCC >= kNumControllers || learnParam == -1) return;
    // A parameter is moved by one controller at most.
    std::replace(std::begin(ccMap), std::end(ccMap), learnParam, -1);
    ccMap[learnCC] = learnParam;
    midiLearnActive = false;
  }
}

void MidiLearn::setMap(const int (&controllers)[kNumControllers]) {
  for (int cc = 0; cc < kNumControllers; ++cc) ccMap[cc].store(controllers[cc], std::memory_order_relaxed);
}

void MidiLearn::copyMap(int (&controllers)[kNumControllers]) const {
  for (int cc = 0; cc < kNumControllers; ++cc) controllers[cc] = ccMap[cc].load(std::memory_order_relaxed);
}
