// SPDX-License-Identifier: ISC
// The panel as data, for the editor that attaches its controls and for the
// artwork generator that draws the panel they sit on: every bitmap with its
// frame count, every control in attachment order with its shape, place,
// bitmap, parameter or role, tag, broken slot, quip and legends, and the
// fixed areas of the panel. Positions are in panel pixels at scale 1.0.
#pragma once

#include <vector>

struct PanelBitmap {
  const char* file;
  int frames;
};

// A control's shape on the panel, which also says how the editor makes it.
enum class Part {
  Knob,
  BigKnob,
  Rotary,
  RockerH,      // horizontal rocker: first state rocked left
  RockerV,      // vertical rocker: first state down
  PowerRocker,  // the big black vertical rocker
  Slide,        // the mains-voltage slide switch
  OverloadLamp,
  PowerLamp,
  Wheel,       // the slot a wheel's handle moves in
  PushSwitch,  // the MIDI-learn switch
  Readout,     // a text area the editor writes into (the oversampling list)
  // The editor's own, drawn on no part of the panel's face:
  Message,   // the message strip, in its recess
  Keyboard,  // the keys, made from keyboardKeys()
  Flash,     // the white flash of a blowing fuse, over everything
};

// Where a control's parameter name goes.
enum class Side { Below, Above, Left, Right };

// Where a switch's position texts go: a rocker's beside its two ends, or over
// them (a vertical rocker's above and below); a rotary's as texts or as
// waveform symbols round it. A switch with none shares the texts over the
// top switch of its column.
enum class Marks { None, Beside, BesideLeft, Over, Texts, Symbols };

struct PanelControl {
  Part part;
  int x, y;                  // top left on the panel
  int param = -1;            // the engine's parameter, or the negated identifier of a role
  const char* bitmap = nullptr;
  int tag = -1;              // the editor's tag for the control, or -1
  int brokenSlot = -1;       // which of the unit's broken knobs it may be
  const char* quip = nullptr;   // the message strip's text while the pointer is over it
  const char* label = nullptr;  // the legend of a control without a parameter
  Marks marks = Marks::None;
  Side side = Side::Below;  // where the name goes
};

// A rectangle on the panel.
struct PanelArea {
  int x, y, w, h;
  int right() const { return x + w; }
  int bottom() const { return y + h; }
};

// The bitmaps the layout loads itself (the controls load the others).
const std::vector<PanelBitmap>& panelBitmaps();
int framesOf(const char* file);
// Controls 3 to 97 of the panel, in attachment order (the keyboard as one row).
const std::vector<PanelControl>& panelControls();
// Whether the artwork draws the control's part on the panel's face.
bool isOnPanelFace(Part part);
// A part's size on the panel (0 x 0 for the editor's own parts that have none).
PanelArea partSize(Part part);
PanelArea controlArea(const PanelControl& control);
// The shadow bitmap drawn beneath a round control, or null.
const char* partShadow(Part part);

namespace PanelAreas {
constexpr PanelArea kMessageStrip{376, 536, 1208, 48};
constexpr PanelArea kOptionsZone{1688, 536, 224, 48};  // the option menu's hot zone
constexpr PanelArea kNameplate{40, 536, 336, 48};
constexpr int kWheelTravel = 176;  // how far a wheel's handle moves
}  // namespace PanelAreas

// The keyboard: 44 keys, MIDI notes 41 to 84, white keys first.
struct PanelKey {
  int note;
  float x;
  const char* bitmap;
};
std::vector<PanelKey> keyboardKeys();
constexpr float kKeyTop = 604;
