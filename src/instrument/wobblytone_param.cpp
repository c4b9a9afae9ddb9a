// SPDX-License-Identifier: ISC
#include "instrument/wobblytone_param.h"

#include "framework/plugin_base.h"

namespace {

const std::vector<std::string> kOffOn = {"Off", "On"};
const std::vector<std::string> kVoltages = {"110V/60Hz", "220V/50Hz"};
const std::vector<std::string> kFuseStates = {"Intact", "Blown"};
const std::vector<std::string> kWarmUpStates = {"Warming Up", "Still Warming Up", "Warm"};
const std::vector<std::string> kOverSampleModes = {"x 1", "x 0.5", "x 0.25"};
const std::vector<std::string> kRanges = {"LO", "32'", "16'", "8'", "4'", "2'"};
const std::vector<std::string> kWaveforms = {"Triangular",       "Sawtooth-Triangular", "Sawtooth",
                                             "Square",           "Wide Rectangular",    "Narrow Rectangular"};
const std::vector<std::string> kOsc3Waveforms = {"Triangular",       "Reverse Sawtooth", "Sawtooth",
                                                 "Square",           "Wide Rectangular", "Narrow Rectangular"};
const std::vector<std::string> kOnOff = {"On", "Off"};
const std::vector<std::string> kNoiseTypes = {"White", "Pink"};

ParamDeclaration list(EParams index, const char* name, int defaultIndex, const std::vector<std::string>& texts) {
  return {index, name, static_cast<double>(defaultIndex), &texts};
}

ParamDeclaration knob(EParams index, const char* name, double defaultValue, double minValue = 0,
                      double maxValue = 1, double step = 0.01, IParam::Shape shape = IParam::ShapeLinear()) {
  return {index, name, defaultValue, nullptr, minValue, maxValue, step, shape};
}

const ParamDeclaration kTable[kNumParams] = {
    list(kPower, "Power", 0, kOffOn),
    list(kVoltage, "Voltage", 0, kVoltages),
    list(kFuse, "Fuse", 0, kFuseStates),
    list(kWarmUp, "Warm-Up", 0, kWarmUpStates),
    knob(kVolume, "Volume", 0.5),
    list(kMainOut, "Main Out", 1, kOffOn),
    list(kA440, "A-440", 0, kOffOn),
    list(kOverSample, "Oversample", 0, kOverSampleModes),
    knob(kTune, "Tune", 0, -2.5, 2.5, 0.001),
    list(kGlide, "Glide", 0, kOffOn),
    knob(kGlideTime, "Glide Time", 0, 0, 1, 0.01, IParam::ShapePowCurve(4)),
    list(kDecay, "Decay", 0, kOffOn),
    knob(kModMix, "Mod. Mix", 0),
    list(kOscMod, "Osc. Mod", 0, kOffOn),
    list(kOsc1Range, "Osc-1 Range", 2, kRanges),
    list(kOsc1Waveform, "Osc-1 Waveform", 2, kWaveforms),
    list(kOsc2Range, "Osc-2 Range", 2, kRanges),
    knob(kOsc2Frequency, "Osc-2 Frequency", 0, -7.5, 7.5, 0.0001),
    list(kOsc2Waveform, "Osc-2 Waveform", 2, kWaveforms),
    list(kOsc3Range, "Osc-3 Range", 2, kRanges),
    knob(kOsc3Frequency, "Osc-3 Frequency", 0, -7.5, 7.5, 0.0001),
    list(kOsc3Waveform, "Osc-3 Waveform", 2, kOsc3Waveforms),
    list(kOsc3Control, "Osc-3 Control", 0, kOnOff),
    list(kOsc1, "Osc-1", 1, kOffOn),
    list(kOsc2, "Osc-2", 0, kOffOn),
    list(kOsc3, "Osc-3", 0, kOffOn),
    list(kExternalInput, "External Input", 0, kOffOn),
    list(kNoise, "Noise", 0, kOffOn),
    knob(kOsc1Volume, "Osc-1 Volume", 0.5),
    knob(kOsc2Volume, "Osc-2 Volume", 0.5),
    knob(kOsc3Volume, "Osc-3 Volume", 0.5),
    knob(kExternalInputVolume, "External Input Volume", 0.5),
    knob(kNoiseVolume, "Noise Volume", 0.5),
    list(kNoiseType, "Noise Type", 0, kNoiseTypes),
    list(kFilterMod, "Filter Mod.", 0, kOffOn),
    list(kFilterControl1, "Filter Control 1", 0, kOffOn),
    list(kFilterControl2, "Filter Control 2", 0, kOffOn),
    knob(kCutoff, "Cutoff", 1),
    knob(kEmphasis, "Emphasis", 0),
    knob(kAmountOfContour, "Amount Of Contour", 0),
    knob(kFilterAttack, "Filter Attack", 0),
    knob(kFilterDecay, "Filter Decay", 0),
    knob(kFilterSustain, "Filter Sustain", 0),
    knob(kLoudnessAttack, "Loudness Attack", 0),
    knob(kLoudnessDecay, "Loudness Decay", 0),
    knob(kLoudnessSustain, "Loudness Sustain", 1),
};

}  // namespace

const ParamDeclaration* parameterTable() { return kTable; }

void declareParameters(IPluginBase& plugin) {
  for (const ParamDeclaration& d : kTable) {
    IParam* param = plugin.GetParam(d.index);
    if (!param) continue;
    if (d.texts)
      param->InitEnum(d.name, static_cast<int>(d.defaultValue), *d.texts);
    else
      param->InitDouble(d.name, d.defaultValue, d.minValue, d.maxValue, d.step, 0, d.shape);
  }
}
