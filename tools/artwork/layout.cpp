// SPDX-License-Identifier: ISC
#include "layout.h"

#include "wobblytone_param.h"

namespace {

PanelControl knob(int x, int y, int param, Side side = Side::Below) {
  return {Part::Knob, x, y, param, nullptr, "knob.png", Marks::None, side};
}
PanelControl bigKnob(int x, int y, int param) { return {Part::BigKnob, x, y, param, nullptr, "knob_big.png"}; }
PanelControl rotary(int x, int y, int param, Marks marks) {
  return {Part::Rotary, x, y, param, nullptr, "switch_a.png", marks};
}
PanelControl rocker(Part part, int x, int y, int param, const char* bitmap, Marks marks, Side side = Side::Below) {
  return {part, x, y, param, nullptr, bitmap, marks, side};
}

const std::vector<PanelControl> kControls = {
    // Controllers.
    {Part::Readout, 42, 40, kOverSample, nullptr, nullptr},
    {Part::PushSwitch, 200, 40, -1, "MIDI", "learn.png"},
    knob(128, 144, kTune),
    rocker(Part::RockerH, 272, 172, kOscMod, "switch_h_red.png", Marks::Over),
    knob(56, 280, kGlideTime),
    knob(200, 280, kModMix),
    rocker(Part::RockerV, 320, 346, kOsc3Control, "switch_v_red.png", Marks::Over),
    rocker(Part::RockerH, 136, 616, kGlide, "switch_h_white.png", Marks::Beside, Side::Left),
    rocker(Part::RockerH, 136, 680, kDecay, "switch_h_white.png", Marks::Beside, Side::Left),
    {Part::Wheel, 92, 740, -1, "PITCH", "wheel_handle.png"},
    {Part::Wheel, 192, 740, -1, "MOD", "wheel_handle.png"},
    // Oscillator bank.
    rotary(368, 80, kOsc1Range, Marks::Texts),
    rotary(624, 80, kOsc1Waveform, Marks::Symbols),
    rotary(368, 208, kOsc2Range, Marks::Texts),
    bigKnob(496, 208, kOsc2Frequency),
    rotary(624, 208, kOsc2Waveform, Marks::Symbols),
    rotary(368, 336, kOsc3Range, Marks::Texts),
    bigKnob(496, 336, kOsc3Frequency),
    rotary(624, 336, kOsc3Waveform, Marks::Symbols),
    // Mixer. A column of switches shares the position texts over its top one.
    knob(768, 88, kOsc1Volume),
    knob(768, 216, kOsc2Volume),
    knob(768, 344, kOsc3Volume),
    knob(1024, 152, kExternalInputVolume, Side::Above),
    knob(1024, 280, kNoiseVolume),
    rocker(Part::RockerH, 896, 108, kOsc1, "switch_h_blue.png", Marks::Over),
    rocker(Part::RockerH, 896, 172, kExternalInput, "switch_h_blue.png", Marks::None),
    rocker(Part::RockerH, 896, 236, kOsc2, "switch_h_blue.png", Marks::None),
    rocker(Part::RockerH, 896, 300, kNoise, "switch_h_blue.png", Marks::None),
    rocker(Part::RockerH, 896, 364, kOsc3, "switch_h_blue.png", Marks::None),
    {Part::OverloadLamp, 1144, 176, -1, "OVERLOAD", "overload.png", Marks::None, Side::Above},
    rocker(Part::RockerV, 1142, 288, kNoiseType, "switch_v_blue.png", Marks::Over),
    // Modifiers: the filter's names above its first row and below its second.
    rocker(Part::RockerH, 1208, 108, kFilterMod, "switch_h_red.png", Marks::Over),
    rocker(Part::RockerH, 1208, 168, kFilterControl1, "switch_h_red.png", Marks::None),
    rocker(Part::RockerH, 1208, 228, kFilterControl2, "switch_h_red.png", Marks::None),
    knob(1320, 88, kCutoff, Side::Above),
    knob(1448, 88, kEmphasis, Side::Above),
    knob(1576, 88, kAmountOfContour, Side::Above),
    knob(1320, 208, kFilterAttack),
    knob(1448, 208, kFilterDecay),
    knob(1576, 208, kFilterSustain),
    knob(1320, 352, kLoudnessAttack),
    knob(1448, 352, kLoudnessDecay),
    knob(1576, 352, kLoudnessSustain),
    // Output.
    knob(1704, 88, kVolume),
    rocker(Part::RockerH, 1816, 108, kMainOut, "switch_h_blue.png", Marks::Over),
    rocker(Part::RockerH, 1708, 236, kA440, "switch_h_blue.png", Marks::Over),
    {Part::Slide, 1712, 360, kVoltage, nullptr, "switch_b.png", Marks::Over},
    {Part::PowerLamp, 1828, 270, -1, nullptr, "power.png"},
    rocker(Part::PowerRocker, 1836, 354, kPower, "switch_v_black.png", Marks::BesideLeft),
};

const std::vector<PanelSection> kSections = {
    {"CONTROLLERS", 40, 350},  {"OSCILLATOR BANK", 350, 750}, {"MIXER", 750, 1190},
    {"MODIFIERS", 1190, 1690}, {"OUTPUT", 1690, 1912},
};

}  // namespace

const std::vector<PanelControl>& panelControls() { return kControls; }
const std::vector<PanelSection>& panelSections() { return kSections; }

Size partSize(Part part) {
  switch (part) {
    case Part::Knob:
      return {96, 96};
    case Part::BigKnob:
      return {112, 112};
    case Part::Rotary:
      return {96, 96};
    case Part::RockerH:
      return {72, 40};
    case Part::RockerV:
      return {40, 72};
    case Part::PowerRocker:
      return {48, 88};
    case Part::Slide:
      return {88, 48};
    case Part::OverloadLamp:
      return {32, 32};
    case Part::PowerLamp:
      return {40, 40};
    case Part::Wheel:
      return {64, 40 + Panel::kWheelTravel};
    case Part::PushSwitch:
      return {88, 40};
    case Part::Readout:
      return {94, 40};
  }
  return {0, 0};
}

Rect controlRect(const PanelControl& c) {
  const Size s = partSize(c.part);
  return {static_cast<double>(c.x), static_cast<double>(c.y), static_cast<double>(s.w), static_cast<double>(s.h)};
}

const char* partShadow(Part part) {
  switch (part) {
    case Part::Knob:
      return "shadow_knob.png";
    case Part::BigKnob:
      return "shadow_knobbig.png";
    case Part::Rotary:
      return "shadow_switch_a.png";
    default:
      return nullptr;
  }
}
