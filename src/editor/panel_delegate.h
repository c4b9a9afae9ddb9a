// SPDX-License-Identifier: ISC
// The instrument as the panel sees it: its parameters and flags are read
// from the engine; what the user changes goes out through the editor link.
#pragma once

#include "editor/editor_instrument.h"
#include "editor/editor_link.h"
#include "instrument/wobblytone.h"

class PanelDelegate : public EditorInstrument {
 public:
  PanelDelegate(Wobblytone& synth, EditorLink& link) : synth(synth), link(link) {}

  const IParam* GetParam(int idx) const override { return synth.GetParam(idx); }
  void SendParameterValueFromUI(int idx, double normalized) override { link.sendParameter(idx, normalized); }
  void BeginInformHostOfParamChangeFromUI(int idx) override { link.beginGesture(idx); }
  void EndInformHostOfParamChangeFromUI(int idx) override { link.endGesture(idx); }

  void setNoteOn(int note) override { link.sendNote(note, true); }
  void setNoteOff(int note) override { link.sendNote(note, false); }
  bool isKeyPressed(int note) const override { return synth.isKeyPressed(note); }
  // Queued for the engine, which takes them before its next block.
  void setPitchBend(double bend) override { synth.requestPitchBend(bend); }
  void setModWheel(double amount) override { synth.requestModWheel(amount); }
  void doMidiLearn(bool on) override { synth.requestMidiLearn(on); }
  void doMidiUnlearn(bool on) override { synth.requestMidiUnlearn(on); }

  // A click on the message strip repairs the unit: a new fuse, or the next
  // warm-up step. It goes to the host like any parameter change.
  void clickMessage() override;

  Wobblytone& synth;
  EditorLink& link;
};
