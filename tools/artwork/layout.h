// SPDX-License-Identifier: ISC
// The panel's layout: one table of every control with its place, the
// bitmap the editor draws it with, its parameter and where its legends go;
// the five sections; and the fixed areas of the panel.
#pragma once

#include <string>
#include <vector>

#include "image.h"

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
  Readout,     // a text area the editor writes into
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
  int x, y;            // top left on the panel
  int param;           // the engine's parameter index, or -1
  const char* label;   // the legend of a control without a parameter
  const char* bitmap;  // what the editor draws the control with
  Marks marks = Marks::None;
  Side side = Side::Below;  // where the name goes
};

struct PanelSection {
  const char* title;
  int left, right;
};

// Every control, left to right.
const std::vector<PanelControl>& panelControls();
const std::vector<PanelSection>& panelSections();

// A part's frame size on the panel.
struct Size {
  int w, h;
};
Size partSize(Part part);
Rect controlRect(const PanelControl& control);
// The shadow bitmap drawn beneath a round control, or null.
const char* partShadow(Part part);

namespace Panel {
constexpr int kWidth = 1952, kHeight = 1016;
constexpr int kCheek = 40;        // the wooden end cheeks beside the panel
constexpr int kCheekAtKeys = 24;  // narrower beside the keyboard, whose keys reach x = 1924
constexpr int kPanelFront = 590;  // the control panel's front edge
constexpr int kKeyBedTop = 596;   // where the recess behind the keys starts
constexpr int kKeyBedLeft = 256;
constexpr int kTitleBand = 500;  // the middle of the section titles
constexpr Rect kMessageStrip{376, 536, 1208, 48};
constexpr Rect kOptionsZone{1688, 536, 224, 48};
constexpr Rect kNameplate{40, 536, 336, 48};
constexpr int kWheelTravel = 176;
}  // namespace Panel
