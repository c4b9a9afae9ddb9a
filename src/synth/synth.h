// SPDX-License-Identifier: ISC
// Synth: the instrument's base on top of the framework. It keeps the held
// keys, the slice bookkeeping of block processing, the controller map and
// MIDI learn, and the engine's own way of changing a parameter.
#pragma once

#include <atomic>
#include <mutex>

#include "framework/plugin_base.h"
#include "modules/pitch.h"
#include "synth/config_file.h"
#include "synth/editor_change.h"
#include "synth/gui_size.h"
#include "synth/key_buffer.h"
#include "synth/midi_learn.h"
#include "synth/spsc_queue.h"
#include "synth/user_dialogs.h"

class Synth : public IPluginBase, public PitchSteps {
 public:
  static constexpr int kNumControllers = ::kNumControllers;

  Synth(const InstanceInfo& info, const Config& config);

  // The instrument's operations, in slot order.
  virtual void resizeUI(GUI::GUISize /*size*/) {}
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override = 0;
  // Drops waiting MIDI, empties the keys, stops MIDI learn, sets the slice length.
  void OnReset() override;
  virtual void allNotesOff() {}
  virtual void initParameters() {}
  // The instrument's reaction to a stored parameter change.
  virtual void reactToParamChange(int /*paramIdx*/) {}
  // Re-applies every parameter in index order when activated.
  void OnActivate(bool active) override;
  // "Initialize Settings": every parameter to its default, the preset
  // renamed "Init"; the broken controls stay as they are.
  virtual void initProgram();
  // After the preset list changed: the open editor redraws every control.
  void OnPresetsModified() override;

  // The editor scale; the open editor follows it (at its next idle tick).
  void resizeUI(float scale);

  // Every parameter change: while MIDI learn waits it selects that
  // parameter, then the instrument reacts (reactToParamChange).
  void OnParamChange(int paramIdx, EParamSource source) final;

  // The engine's own parameter change: steps and clamps the value, stores it,
  // and unless a state is being restored tells the host and the editor and
  // lets the change come back through OnParamChange. A value equal to the
  // current one changes nothing.
  void setParamValue(int paramIdx, double value, bool normalized);

  void addPressedKey(int note) { keyBuffer.add(note); }
  void removePressedKey(int note) { keyBuffer.remove(note); }
  void clearKeyBuffer() { keyBuffer.clear(); }
  // Safe from the editor thread.
  bool isKeyPressed(int note) const { return keyBuffer.isPressed(note); }

  // Whether an editor window is open; set by the editor's host.
  void setEditorOpen(bool open) { editorOpen.store(open, std::memory_order_relaxed); }
  bool isEditorOpen() const { return editorOpen.load(std::memory_order_relaxed); }

  // --- Online version check (UI thread; blocks it for up to 10 s) -------------
  // Asks the maker's server for the newest version and tells the user
  // through the dialogs the editor gives (nothing happens without them).
  void checkVersionAgainstWeb();
  void setUserDialogs(UserDialogs* dialogs) { userDialogs = dialogs; }

  // --- Changes from the editor (user-interface thread) -------------------------
  // The editor never writes the engine's state: these queue the change, and
  // the audio thread applies it before its next block, telling the host of
  // parameters it sets. False when the queue is full and the change dropped.
  bool requestMidiLearn(bool on);
  bool requestMidiUnlearn(bool on);
  // "Initialize Settings"; the preset is renamed "Init" at once.
  bool requestInitialize();
  // A program file read and checked here; the preset takes its name at once.
  bool requestProgram(const ProgramImage& program);

  // --- Configuration file (UI thread) ----------------------------------------
  // Reads the file into the engine (at construction, on one thread).
  bool loadConfig();
  // "Reload Configuration" while the engine plays: the options and the scale
  // are taken here, the learned controllers queued for the audio thread.
  bool reloadConfig();
  // What a save writes: all settings, or the one a menu item changed.
  using ConfigPart = ConfigFile::Part;
  bool saveConfig(ConfigPart part);
  // Stores the program folder in the configuration file; false when it could
  // not (a folder name with a line break is refused, never written raw).
  bool storeProgramPath(WDL_String* path) { return configFile.storeProgramPath(path); }

  // --- Program files and their folder ------------------------------------------
  static void replaceIllegalFileChar(char* name);
  static void makeNewFilePath(WDL_String& folder, WDL_String& filePath);
  // The folder the program dialogs start in, one for the whole process.
  static std::string pathToPrograms();
  static void setPathToPrograms(const std::string& folder);

  // Set when the editor has to redraw all its controls; the editor clears it.
  std::atomic<bool> editorNeedsFullRedraw{false};
  std::atomic<bool> editorNeedsResize{false};

  // The configuration file's settings: the paths and the scale belong to the
  // user-interface thread, the MIDI options are read by the audio thread too.
  ConfigFile configFile;

  // The controller map and MIDI learn: written by the audio thread (learning,
  // a reloaded file), read by both.
  MidiLearn midiLearn;

 protected:
  // Audio thread, before a block: applies what the editor queued.
  void takeEditorChanges();
  virtual void applyEditorChange(const EditorChange& change);
  bool postEditorChange(const EditorChange& change);
  bool postEditorChange(EditorChange::Kind kind, bool on = false, double value = 0);

  KeyBuffer keyBuffer;
  IMidiQueueBase<IMidiMsg> midiQueue;
  int sliceLength = 0;
  int sliceRemaining = 0;
  bool isRestoring = true;

 private:
  // The scale a configuration file gave, for an open editor.
  void followConfigScale(bool scaleRead);
  void resetParametersToDefaults();

  SpscQueue<EditorChange, 32> editorChanges;
  EditorChange takenChange;  // room the audio thread copies a change into

  std::atomic<bool> editorOpen{false};
  UserDialogs* userDialogs = nullptr;
};
