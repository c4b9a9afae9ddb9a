// SPDX-License-Identifier: ISC
// The controller map and MIDI learn. Each of the controllers 0 to 119 may
// move one parameter. While learning, the next controller moved and the next
// parameter changed are bound to each other, in either order; while
// unlearning, the next of either is freed. The audio thread learns and reads
// the map; the editor and the configuration file read it too, so the map and
// the learning flag are atomics.
#pragma once

#include <atomic>

#include "synth/editor_change.h"

class MidiLearn {
 public:
  MidiLearn();  // every controller unbound

  // The learn switch: on starts learning (or unlearning), off stops it.
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  // A controller moved while learning.
  void setMidiLearnCC(int cc);
  // A parameter changed while learning.
  void setMidiLearnParam(int paramIdx);
  // Binds or frees once both or either are known, and ends the learning.
  void applyMidiLearn();

  // The parameter a controller moves, or -1.
  int target(int cc) const { return cc >= 0 && cc < kNumControllers ? ccMap[cc].load(std::memory_order_relaxed) : -1; }
  // The whole map at once, as the configuration file keeps it.
  void setMap(const int (&controllers)[kNumControllers]);
  void copyMap(int (&controllers)[kNumControllers]) const;

  std::atomic<int> ccMap[kNumControllers];
  std::atomic<bool> midiLearnActive{false};
  // The audio thread's own.
  bool midiUnlearn = false;
  int learnCC = -1;
  int learnParam = -1;
};
