// SPDX-License-Identifier: ISC
#include "synth.h"

#include <algorithm>
#include <cmath>

Synth::Synth(const InstanceInfo& info, const Config& config) : IPluginBase(info, config) {
  std::fill(std::begin(ccMap), std::end(ccMap), -1);
}

void Synth::OnReset() {
  midiQueue.Clear();
  // Room for a dense block and for messages that wait into the next one, so
  // that the audio thread never has to grow the queue.
  midiQueue.Resize(std::max(4096, 4 * GetBlockSize()));
  clearKeyBuffer();
  doMidiLearn(false);
  const double rate = GetSampleRate();
  sliceLength = rate >= 1000 && rate < 2147483647.0 ? static_cast<int>(std::trunc(rate)) / 1000 : 0;
  sliceRemaining = 0;
}

void Synth::OnActivate(bool active) {
  if (!active) return;
  for (int i = 0; i < NParams(); ++i) IPluginBase::OnParamChange(i, kHost, -1);
}

void Synth::OnParamChange(int paramIdx) {
  if (midiLearnActive) {
    learnParam = paramIdx;
    applyMidiLearn();
  }
}

void Synth::setParamValue(int paramIdx, double value, bool normalized) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  if (normalized) value = param->FromNormalized(value);
  value = param->Constrain(value);
  if (value == param->Value()) return;
  param->Set(value);
  if (isRestoring) return;
  const double n = param->GetNormalized();
  SendParameterValueFromUI(paramIdx, n);
  SendParameterValueFromAPI(paramIdx, n, true);
}

void Synth::doMidiLearn(bool on) {
  midiUnlearn = false;
  midiLearnActive = on;
  learnCC = -1;
  learnParam = -1;
}

void Synth::doMidiUnlearn(bool on) {
  midiUnlearn = true;
  midiLearnActive = on;
  learnCC = -1;
  learnParam = -1;
}

void Synth::setMidiLearnCC(int cc) {
  learnCC = cc;
  applyMidiLearn();
}

void Synth::applyMidiLearn() {
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
    std::replace(std::begin(ccMap), std::end(ccMap), learnParam, -1);
    ccMap[learnCC] = learnParam;
    midiLearnActive = false;
  }
}
