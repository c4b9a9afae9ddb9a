// SPDX-License-Identifier: ISC
// Synth: the instrument's base on top of the framework. It keeps the held
// keys, the slice bookkeeping of block processing, the controller map and
// MIDI learn, and the engine's own way of changing a parameter.
#pragma once

#include <atomic>

#include "gui_size.h"
#include "host/plugin_base.h"
#include "key_buffer.h"
#include "pitch.h"

class Synth : public IPluginBase, public PitchSteps {
 public:
  static constexpr int kNumControllers = 120;

  Synth(const InstanceInfo& info, const Config& config);

  // The instrument's operations, in slot order.
  virtual void createGraphics() {}
  virtual void resizeUI(GUI::GUISize /*size*/) {}
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override = 0;
  // Drops waiting MIDI, empties the keys, stops MIDI learn, sets the slice length.
  void OnReset() override;
  virtual void allNotesOff() {}
  virtual void initParameters() {}
  // Re-applies every parameter in index order when activated.
  void OnActivate(bool active) override;
  virtual void initProgram() {}

  using IPluginBase::OnParamChange;
  // While MIDI learn waits, any parameter change selects that parameter.
  void OnParamChange(int paramIdx) override;

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

  // MIDI learn.
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  void setMidiLearnCC(int cc);
  void applyMidiLearn();

  // Whether an editor window is open; set by the editor's host.
  void setEditorOpen(bool open) { editorOpen.store(open, std::memory_order_relaxed); }
  bool isEditorOpen() const { return editorOpen.load(std::memory_order_relaxed); }

  int ccMap[kNumControllers];
  bool midiLearnActive = false;
  bool midiUnlearn = false;
  int learnCC = -1;
  int learnParam = -1;

 protected:
  KeyBuffer keyBuffer;
  IMidiQueueBase<IMidiMsg> midiQueue;
  int sliceLength = 0;
  int sliceRemaining = 0;
  bool isRestoring = true;

 private:
  std::atomic<bool> editorOpen{false};
};
