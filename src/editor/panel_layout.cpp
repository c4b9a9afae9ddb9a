// SPDX-License-Identifier: ISC
#include "editor/panel_layout.h"

#include <cstring>

#include "editor/panel_ids.h"
#include "instrument/wobblytone_param.h"

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

PanelControl knob(int x, int y, int param, int slot, const char* quip = nullptr, Side side = Side::Below) {
  return {Part::Knob, x, y, param, "knob.png", -1, slot, quip, nullptr, Marks::None, side};
}
PanelControl bigKnob(int x, int y, int param, int slot, const char* quip) {
  return {Part::BigKnob, x, y, param, "knob_big.png", -1, slot, quip};
}
PanelControl rotary(int x, int y, int param, int slot, Marks marks, const char* quip = nullptr) {
  return {Part::Rotary, x, y, param, "switch_a.png", -1, slot, quip, nullptr, marks};
}
PanelControl rocker(Part part, int x, int y, int param, const char* bitmap, Marks marks, const char* quip = nullptr,
                    Side side = Side::Below) {
  return {part, x, y, param, bitmap, -1, -1, quip, nullptr, marks, side};
}
PanelControl wheel(int x, int role, const char* label) {
  return {Part::Wheel, x, 740, -role, "wheel_handle.png", role, -1, nullptr, label};
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
      // Controllers.
      {Part::PushSwitch, 200, 40, -kCtrlMidiLearn, "learn.png", kCtrlMidiLearn, -1, nullptr, "MIDI"},
      {Part::Readout, 42, 40, kOverSample, nullptr, -1, -1, kQuipDropDown},
      knob(128, 144, kTune, 0, kQuipTune),
      knob(56, 280, kGlideTime, 1),
      knob(200, 280, kModMix, 2),
      rocker(Part::RockerH, 272, 172, kOscMod, "switch_h_red.png", Marks::Over),
      rocker(Part::RockerV, 320, 346, kOsc3Control, "switch_v_red.png", Marks::Over),
      // Oscillator bank.
      rotary(368, 80, kOsc1Range, 3, Marks::Texts),
      rotary(624, 80, kOsc1Waveform, 4, Marks::Symbols),
      rotary(368, 208, kOsc2Range, 5, Marks::Texts),
      bigKnob(496, 208, kOsc2Frequency, 6, kQuipFrequency),
      rotary(624, 208, kOsc2Waveform, 7, Marks::Symbols, kQuipOsc2Waveform),
      rotary(368, 336, kOsc3Range, 8, Marks::Texts),
      bigKnob(496, 336, kOsc3Frequency, 9, kQuipFrequency),
      rotary(624, 336, kOsc3Waveform, 10, Marks::Symbols),
      // Mixer. A column of switches shares the position texts over its top one.
      knob(768, 88, kOsc1Volume, 11),
      knob(768, 216, kOsc2Volume, 12),
      knob(768, 344, kOsc3Volume, 13),
      knob(1024, 152, kExternalInputVolume, 14, kQuipExternal, Side::Above),
      knob(1024, 280, kNoiseVolume, 15, kQuipNoise),
      rocker(Part::RockerH, 896, 108, kOsc1, "switch_h_blue.png", Marks::Over),
      rocker(Part::RockerH, 896, 172, kExternalInput, "switch_h_blue.png", Marks::None, kQuipExternal),
      rocker(Part::RockerH, 896, 236, kOsc2, "switch_h_blue.png", Marks::None),
      rocker(Part::RockerH, 896, 300, kNoise, "switch_h_blue.png", Marks::None, kQuipNoise),
      rocker(Part::RockerH, 896, 364, kOsc3, "switch_h_blue.png", Marks::None),
      {Part::OverloadLamp, 1144, 176, -kCtrlOverloadLamp, "overload.png", kCtrlOverloadLamp, -1, nullptr, "OVERLOAD",
       Marks::None, Side::Above},
      rocker(Part::RockerV, 1142, 288, kNoiseType, "switch_v_blue.png", Marks::Over, kQuipNoiseType),
      // Modifiers: the filter's names above its first row and below its second.
      rocker(Part::RockerH, 1208, 108, kFilterMod, "switch_h_red.png", Marks::Over),
      rocker(Part::RockerH, 1208, 168, kFilterControl1, "switch_h_red.png", Marks::None),
      rocker(Part::RockerH, 1208, 228, kFilterControl2, "switch_h_red.png", Marks::None),
      knob(1320, 88, kCutoff, 16, kQuipFilter, Side::Above),
      knob(1448, 88, kEmphasis, 17, kQuipFilter, Side::Above),
      knob(1576, 88, kAmountOfContour, 18, kQuipFilter, Side::Above),
      knob(1320, 208, kFilterAttack, 19),
      knob(1448, 208, kFilterDecay, 20),
      knob(1576, 208, kFilterSustain, 21),
      knob(1320, 352, kLoudnessAttack, 22),
      knob(1448, 352, kLoudnessDecay, 23),
      knob(1576, 352, kLoudnessSustain, 24),
      // Output.
      knob(1704, 88, kVolume, 25, kQuipVolume),
      rocker(Part::RockerH, 1816, 108, kMainOut, "switch_h_blue.png", Marks::Over),
      rocker(Part::RockerH, 1708, 236, kA440, "switch_h_blue.png", Marks::Over, kQuipA440),
      rocker(Part::Slide, 1712, 360, kVoltage, "switch_b.png", Marks::Over, kQuipVoltage),
      // The power lamp takes the overload lamp's role slot: both are shown by the idle update.
      {Part::PowerLamp, 1828, 270, -kCtrlOverloadLamp, "power.png", kCtrlPowerLamp},
      rocker(Part::PowerRocker, 1836, 354, kPower, "switch_v_black.png", Marks::BesideLeft),
      // Left of the keyboard.
      rocker(Part::RockerH, 136, 616, kGlide, "switch_h_white.png", Marks::Beside, nullptr, Side::Left),
      rocker(Part::RockerH, 136, 680, kDecay, "switch_h_white.png", Marks::Beside, nullptr, Side::Left),
      wheel(92, kCtrlPitchWheel, "PITCH"),
      wheel(192, kCtrlModWheel, "MOD"),
      // The editor's own.
      {Part::Message, PanelAreas::kMessageStrip.x, PanelAreas::kMessageStrip.y, -1, nullptr, kCtrlMessage},
      {Part::Keyboard, 0, 0},
      {Part::Flash, 0, 0, -1, nullptr, kCtrlFlash},
  };
  return controls;
}

bool isOnPanelFace(Part part) { return part != Part::Message && part != Part::Keyboard && part != Part::Flash; }

PanelArea partSize(Part part) {
  switch (part) {
    case Part::Knob: return {0, 0, 96, 96};
    case Part::BigKnob: return {0, 0, 112, 112};
    case Part::Rotary: return {0, 0, 96, 96};
    case Part::RockerH: return {0, 0, 72, 40};
    case Part::RockerV: return {0, 0, 40, 72};
    case Part::PowerRocker: return {0, 0, 48, 88};
    case Part::Slide: return {0, 0, 88, 48};
    case Part::OverloadLamp: return {0, 0, 32, 32};
    case Part::PowerLamp: return {0, 0, 40, 40};
    case Part::Wheel: return {0, 0, 64, 40 + PanelAreas::kWheelTravel};
    case Part::PushSwitch: return {0, 0, 88, 40};
    case Part::Readout: return {0, 0, 94, 40};
    case Part::Message: return PanelAreas::kMessageStrip;
    case Part::Flash: return {0, 0, kEditorWidth, kEditorHeight};
    case Part::Keyboard: break;
  }
  return {0, 0, 0, 0};
}

PanelArea controlArea(const PanelControl& c) {
  const PanelArea s = partSize(c.part);
  return {c.x, c.y, s.w, s.h};
}

const char* partShadow(Part part) {
  switch (part) {
    case Part::Knob: return "shadow_knob.png";
    case Part::BigKnob: return "shadow_knobbig.png";
    case Part::Rotary: return "shadow_switch_a.png";
    default: return nullptr;
  }
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
