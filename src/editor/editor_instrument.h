// SPDX-License-Identifier: ISC
// What the panel's controls ask of the instrument beyond its parameters.
// In the plug-ins an adapter implements it over the running engine (notes go
// through the MIDI path, never into the audio thread's state); in tests a
// recorder or a headless engine does.
#pragma once

#include "toolkit/editor_delegate.h"

class EditorInstrument : public IGEditorDelegate {
 public:
  // A note from an on-screen key.
  virtual void setNoteOn(int note) = 0;
  virtual void setNoteOff(int note) = 0;
  // Whether the note is held (by a key, by MIDI or by a latch).
  virtual bool isKeyPressed(int note) const = 0;
  // The wheels set the engine's pitch bend (−1 … +1) and modulation
  // (0 … 1); nothing goes to the host.
  virtual void setPitchBend(double bend) = 0;
  virtual void setModWheel(double amount) = 0;
  // The MIDI-learn switch.
  virtual void doMidiLearn(bool on) = 0;
  virtual void doMidiUnlearn(bool on) = 0;
  // A click on the message strip.
  virtual void clickMessage() = 0;
};
