// SPDX-License-Identifier: ISC
// The panel as data: every bitmap with its frame count, and every control in
// attachment order with its position, bitmap, parameter or role, tag, broken
// slot and quip. The layout function walks these tables.
#pragma once

#include <vector>

#include "geometry.h"

struct PanelBitmap {
  const char* file;
  int frames;
};

enum class PanelKind { LearnSwitch, DropDown, Knob, Switch, Lamp, Bender, Message, Keyboard, Flash };

struct PanelControl {
  PanelKind kind;
  IRECT place;  // the top-left corner for bitmap controls, the rectangle otherwise
  const char* bitmap = nullptr;
  const char* shadow = nullptr;
  int param = -1;  // a parameter, or the negated identifier of a role
  int tag = -1;
  int brokenSlot = -1;
  const char* quip = nullptr;
};

// The bitmaps the layout loads itself (the controls load the others).
const std::vector<PanelBitmap>& panelBitmaps();
int framesOf(const char* file);
// Controls 3 to 97 of the panel, in attachment order (the keyboard as one row).
const std::vector<PanelControl>& panelControls();

// The keyboard: 44 keys, MIDI notes 41 to 84, white keys first.
struct PanelKey {
  int note;
  float x;
  const char* bitmap;
};
std::vector<PanelKey> keyboardKeys();
constexpr float kKeyTop = 604;
