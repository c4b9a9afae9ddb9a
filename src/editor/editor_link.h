// SPDX-License-Identifier: ISC
// How the editor's changes reach the engine and the host. In the plug-ins
// the DPF UI sends parameters through the host and notes through its MIDI
// path; off-screen, a link applies them to the engine directly.
#pragma once

class EditorLink {
 public:
  virtual ~EditorLink() = default;
  // A parameter set from the editor, as a normalised value.
  virtual void sendParameter(int paramIdx, double normalized) = 0;
  virtual void beginGesture(int) {}
  virtual void endGesture(int) {}
  // A note from an on-screen key (velocity 127 for a key press).
  virtual void sendNote(int note, bool on) = 0;
};
