// SPDX-License-Identifier: ISC
// A change the editor asks of the engine, queued on the user-interface
// thread and applied on the audio thread before its next block.
#pragma once

#include <cstdint>

#include "framework/plugin_base.h"

constexpr int kNumControllers = 120;  // controllers 0 … 119 can be learned

struct EditorChange {
  enum class Kind : uint8_t {
    pitchBend,      // value: −1 … +1, from the on-screen wheel
    modWheel,       // value: 0 … 1
    midiLearn,      // on: start or stop learning
    midiUnlearn,    // on: start or stop unlearning
    initialize,     // every parameter to its default
    program,        // a program file read on the user-interface thread
    controllerMap,  // the learned controllers of a reloaded configuration file
  };
  Kind kind = Kind::pitchBend;
  bool on = false;
  double value = 0;
  ProgramImage program;
  int controllers[kNumControllers] = {};
};
