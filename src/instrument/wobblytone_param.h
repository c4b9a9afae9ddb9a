// SPDX-License-Identifier: ISC
// The 46 parameters: their indices and one table of their declarations.
// The index is a parameter's identity in hosts, saved state and MIDI learn;
// it never changes.
#pragma once

#include <vector>
#include <string>

#include "framework/param.h"

class IPluginBase;

enum EParams {
  kPower = 0,
  kVoltage,
  kFuse,
  kWarmUp,
  kVolume,
  kMainOut,
  kA440,
  kOverSample,
  kTune,
  kGlide,
  kGlideTime,
  kDecay,
  kModMix,
  kOscMod,
  kOsc1Range,
  kOsc1Waveform,
  kOsc2Range,
  kOsc2Frequency,
  kOsc2Waveform,
  kOsc3Range,
  kOsc3Frequency,
  kOsc3Waveform,
  kOsc3Control,
  kOsc1,
  kOsc2,
  kOsc3,
  kExternalInput,
  kNoise,
  kOsc1Volume,
  kOsc2Volume,
  kOsc3Volume,
  kExternalInputVolume,
  kNoiseVolume,
  kNoiseType,
  kFilterMod,
  kFilterControl1,
  kFilterControl2,
  kCutoff,
  kEmphasis,
  kAmountOfContour,
  kFilterAttack,
  kFilterDecay,
  kFilterSustain,
  kLoudnessAttack,
  kLoudnessDecay,
  kLoudnessSustain,
  kNumParams
};

// One parameter's declaration. A list parameter has texts and an integer
// default; a continuous one has a range, a step (which sets its displayed
// decimals) and a shape.
struct ParamDeclaration {
  EParams index;
  const char* name;
  double defaultValue;
  const std::vector<std::string>* texts;  // null for a continuous parameter
  double minValue = 0, maxValue = 1, step = 0.01;
  IParam::Shape shape = IParam::ShapeLinear();
};

// The whole table, in index order.
const ParamDeclaration* parameterTable();

// Declares every parameter of the table on the plug-in's parameter objects.
void declareParameters(IPluginBase& plugin);
