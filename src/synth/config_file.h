// SPDX-License-Identifier: ISC
// The per-user configuration file, shared by every instance: the editor's
// scale, the program folder, the MIDI options and the table of learned
// controllers, kept through the INI profile store in the user's music folder
// ("MarlpitMusic/wobblytone.ini"). Read and written on the user-interface
// thread (and at construction); the MIDI options are atomics the audio
// thread may read.
#pragma once

#include <atomic>

#include "framework/wdl_string.h"
#include "synth/editor_change.h"

class ConfigFile {
 public:
  // What a save writes: all settings, or the one a menu item changed.
  enum class Part { everything, windowScale, midiThru, ignoreProgramChange };

  // Finds the file (creating its folder, and the file from an older place
  // when it is new). False when there is no home folder: the defaults stay,
  // and nothing is ever written.
  bool locate();
  // Reads the options into this object and the learned controllers into
  // `controllers`, which holds the current ones and keeps any the file does
  // not name. `scaleRead` tells whether the file gave a new scale. False
  // without a file.
  bool read(int (&controllers)[kNumControllers], bool& scaleRead);
  // Writes `part`; the controllers only with everything.
  bool save(Part part, const int (&controllers)[kNumControllers]);
  // Stores the program folder; false when it could not (a folder name with
  // a line break is refused, never written raw).
  bool storeProgramPath(WDL_String* path);

  WDL_String homePath, iniPath, programPath;
  float windowScale = 0.5f;
  // Set by the user-interface thread, read by the audio thread.
  std::atomic<bool> midiThru{false};
  std::atomic<bool> ignoreProgramChange{false};
};
