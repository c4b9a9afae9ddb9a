// SPDX-License-Identifier: ISC
// The panel's control identifiers and shared constants. Controls bound to no
// parameter carry the negated identifier in their parameter slot, and the
// custom controls read their role from it.
#pragma once

enum ECtrlTags {
  kCtrlOptionMenu = 47,
  kCtrlSizeMenu = 48,
  kCtrlMidiLearn = 49,
  kCtrlPitchWheel = 50,
  kCtrlModWheel = 51,
  kCtrlOverloadLamp = 52,
  kCtrlPowerLamp = 53,
  kCtrlMessage = 54,
  kCtrlFlash = 55,
  kCtrlFirstKey = 56,  // the lowest key's; the key for MIDI note n has kCtrlFirstKey + n - kLowestKey
};

// The panel as drawn at scale 1.0. Its window opens at half that size and
// may grow to twice it.
constexpr int kEditorWidth = 1952;
constexpr int kEditorHeight = 1016;
constexpr int kWindowDefaultWidth = kEditorWidth / 2, kWindowDefaultHeight = kEditorHeight / 2;
constexpr int kWindowMaximumWidth = kEditorWidth * 2, kWindowMaximumHeight = kEditorHeight * 2;

// The one font of the panel's controls, registered under its file name.
constexpr const char* kPanelFont = "LeagueSpartan-Medium.otf";
