// SPDX-License-Identifier: ISC
#include "panel_layout.h"

#include <cstring>

#include "panel_ids.h"
#include "wobblytone_param.h"

namespace {

// The quips, with their quote characters.
constexpr const char* kQuipDropDown = "\"Something seems to be wrong with this...\"";
constexpr const char* kQuipTune = "\"Careful with that axe, Eugene!\"";
constexpr const char* kQuipFrequency = "\"Pretty difficult to get these 'analog' oscillators in tune.\"";
constexpr const char* kQuipOsc2Waveform = "\"Oscillator 2 has an issue with the 'Wide Rectangular' waveform.\"";
constexpr const char* kQuipExternal = "\"Somewhere's a cold solder joint, probably hums a bit.\"";
constexpr const char* kQuipNoise = "\"Noise is kaputt. Seems like you're receiving radio instead.\"";
constexpr const char* kQuipNoiseType = "\"Can you change the radio station here?\"";
constexpr const char* kQuipFilter = "\"OK, that filter really sounds shitty!\"";
constexpr const char* kQuipVolume = "\"Maybe some WD-40 does help...?\"";
constexpr const char* kQuipA440 = "\"Gimme an A!\"";
constexpr const char* kQuipVoltage = "\"Not a good idea to fiddle with it while powered...\"";

constexpr const char* kKnob = "knob.png";
constexpr const char* kKnobShadow = "shadow_knob.png";
constexpr const char* kBigKnob = "knob_big.png";
constexpr const char* kBigShadow = "shadow_knobbig.png";
constexpr const char* kRotary = "switch_a.png";
constexpr const char* kRotaryShadow = "shadow_switch_a.png";

PanelControl knob(float x, float y, const char* bitmap, const char* shadow, int param, int slot,
                  const char* quip = nullptr) {
  return {PanelKind::Knob, IRECT(x, y, x, y), bitmap, shadow, param, -1, slot, quip};
}

PanelControl toggle(float x, float y, const char* bitmap, int param, const char* quip = nullptr) {
  return {PanelKind::Switch, IRECT(x, y, x, y), bitmap, nullptr, param, -1, -1, quip};
}

PanelControl lamp(float x, float y, const char* bitmap, int tag) {
  return {PanelKind::Lamp, IRECT(x, y, x, y), bitmap, nullptr, -kCtrlOverloadLamp, tag, -1, nullptr};
}

PanelControl wheel(float x, int role) {
  return {PanelKind::Bender, IRECT(x, 740, x, 740), "wheel_handle.png", nullptr, -role, role, -1, nullptr};
}

}  // namespace

const std::vector<PanelBitmap>& panelBitmaps() {
  static const std::vector<PanelBitmap> bitmaps = {
      {"key_a.png", 2},          {"key_h.png", 2},           {"key_cf.png", 2},          {"key_d.png", 2},
      {"key_e.png", 2},          {"key_g.png", 2},           {"key_c.png", 2},           {"key_black.png", 2},
      {"knob.png", 65},          {"knob_big.png", 65},       {"overload.png", 1},        {"power.png", 1},
      {"shadow_knob.png", 1},    {"shadow_knobbig.png", 1},  {"shadow_switch_a.png", 1}, {"switch_a.png", 6},
      {"switch_b.png", 2},       {"switch_v_black.png", 2},  {"switch_h_blue.png", 2},   {"switch_v_blue.png", 2},
      {"switch_h_red.png", 2},   {"switch_v_red.png", 2},    {"switch_h_white.png", 2},  {"wheel_handle.png", 1},
      {"learn.png", 2},
  };
  return bitmaps;
}

int framesOf(const char* file) {
  for (const PanelBitmap& b : panelBitmaps())
    if (std::strcmp(b.file, file) == 0) return b.frames;
  return 1;
}

const std::vector<PanelControl>& panelControls() {
  static const std::vector<PanelControl> controls = {
      {PanelKind::LearnSwitch, IRECT(200, 40, 200, 40), "learn.png", nullptr, -kCtrlMidiLearn, kCtrlMidiLearn},
      {PanelKind::DropDown, IRECT(42, 40, 136, 80), nullptr, nullptr, kOverSample, -1, -1, kQuipDropDown},
      knob(128, 144, kKnob, kKnobShadow, kTune, 0, kQuipTune),
      knob(56, 280, kKnob, kKnobShadow, kGlideTime, 1),
      knob(200, 280, kKnob, kKnobShadow, kModMix, 2),
      toggle(272, 172, "switch_h_red.png", kOscMod),
      toggle(320, 346, "switch_v_red.png", kOsc3Control),
      knob(368, 80, kRotary, kRotaryShadow, kOsc1Range, 3),
      knob(624, 80, kRotary, kRotaryShadow, kOsc1Waveform, 4),
      knob(368, 208, kRotary, kRotaryShadow, kOsc2Range, 5),
      knob(496, 208, kBigKnob, kBigShadow, kOsc2Frequency, 6, kQuipFrequency),
      knob(624, 208, kRotary, kRotaryShadow, kOsc2Waveform, 7, kQuipOsc2Waveform),
      knob(368, 336, kRotary, kRotaryShadow, kOsc3Range, 8),
      knob(496, 336, kBigKnob, kBigShadow, kOsc3Frequency, 9, kQuipFrequency),
      knob(624, 336, kRotary, kRotaryShadow, kOsc3Waveform, 10),
      knob(768, 88, kKnob, kKnobShadow, kOsc1Volume, 11),
      knob(768, 216, kKnob, kKnobShadow, kOsc2Volume, 12),
      knob(768, 344, kKnob, kKnobShadow, kOsc3Volume, 13),
      knob(1024, 152, kKnob, kKnobShadow, kExternalInputVolume, 14, kQuipExternal),
      knob(1024, 280, kKnob, kKnobShadow, kNoiseVolume, 15, kQuipNoise),
      toggle(896, 108, "switch_h_blue.png", kOsc1),
      toggle(896, 172, "switch_h_blue.png", kExternalInput, kQuipExternal),
      toggle(896, 236, "switch_h_blue.png", kOsc2),
      toggle(896, 300, "switch_h_blue.png", kNoise, kQuipNoise),
      toggle(896, 364, "switch_h_blue.png", kOsc3),
      lamp(1144, 176, "overload.png", kCtrlOverloadLamp),
      toggle(1142, 288, "switch_v_blue.png", kNoiseType, kQuipNoiseType),
      toggle(1208, 108, "switch_h_red.png", kFilterMod),
      toggle(1208, 168, "switch_h_red.png", kFilterControl1),
      toggle(1208, 228, "switch_h_red.png", kFilterControl2),
      knob(1320, 88, kKnob, kKnobShadow, kCutoff, 16, kQuipFilter),
      knob(1448, 88, kKnob, kKnobShadow, kEmphasis, 17, kQuipFilter),
      knob(1576, 88, kKnob, kKnobShadow, kAmountOfContour, 18, kQuipFilter),
      knob(1320, 208, kKnob, kKnobShadow, kFilterAttack, 19),
      knob(1448, 208, kKnob, kKnobShadow, kFilterDecay, 20),
      knob(1576, 208, kKnob, kKnobShadow, kFilterSustain, 21),
      knob(1320, 352, kKnob, kKnobShadow, kLoudnessAttack, 22),
      knob(1448, 352, kKnob, kKnobShadow, kLoudnessDecay, 23),
      knob(1576, 352, kKnob, kKnobShadow, kLoudnessSustain, 24),
      knob(1704, 88, kKnob, kKnobShadow, kVolume, 25, kQuipVolume),
      toggle(1816, 108, "switch_h_blue.png", kMainOut),
      toggle(1708, 236, "switch_h_blue.png", kA440, kQuipA440),
      toggle(1712, 360, "switch_b.png", kVoltage, kQuipVoltage),
      lamp(1828, 270, "power.png", kCtrlPowerLamp),
      toggle(1836, 354, "switch_v_black.png", kPower),
      toggle(136, 616, "switch_h_white.png", kGlide),
      toggle(136, 680, "switch_h_white.png", kDecay),
      wheel(92, kCtrlPitchWheel),
      wheel(192, kCtrlModWheel),
      {PanelKind::Message, IRECT(376, 536, 1584, 584), nullptr, nullptr, -1, kCtrlMessage},
      {PanelKind::Keyboard, IRECT()},
      {PanelKind::Flash, IRECT(0, 0, kEditorWidth, kEditorHeight), nullptr, nullptr, -1, kCtrlFlash},
  };
  return controls;
}

std::vector<PanelKey> keyboardKeys() {
  constexpr int kFirst = 41, kLast = 84;
  // Where each white key starts, by note.
  auto isWhite = [](int note) {
    const int pc = note % 12;
    return pc == 0 || pc == 2 || pc == 4 || pc == 5 || pc == 7 || pc == 9 || pc == 11;
  };
  auto whiteX = [&](int note) {
    int k = 0;
    for (int n = kFirst; n < note; ++n) k += isWhite(n);
    return 260.0f + 64.0f * static_cast<float>(k);
  };
  std::vector<PanelKey> keys;
  for (int note = kFirst; note <= kLast; ++note) {
    if (!isWhite(note)) continue;
    const char* bitmap = "key_cf.png";
    switch (note % 12) {
      case 2: bitmap = "key_d.png"; break;
      case 4: bitmap = "key_e.png"; break;
      case 7: bitmap = "key_g.png"; break;
      case 9: bitmap = "key_a.png"; break;
      case 11: bitmap = "key_h.png"; break;
      default: break;
    }
    if (note == kLast) bitmap = "key_c.png";
    keys.push_back({note, whiteX(note), bitmap});
  }
  for (int note = kFirst; note <= kLast; ++note) {
    if (isWhite(note)) continue;
    const int pc = note % 12;
    // Offsets from the F or the C that starts the key's group.
    const int groupStart = pc >= 6 ? note - (pc - 5) : note - pc;
    const float offset = pc == 6 ? 35.0f : pc == 8 ? 107.0f : pc == 10 ? 179.0f : pc == 1 ? 37.0f : 111.0f;
    keys.push_back({note, whiteX(groupStart) + offset, "key_black.png"});
  }
  return keys;
}
