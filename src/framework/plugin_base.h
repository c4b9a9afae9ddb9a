// SPDX-License-Identifier: ISC
// IPluginBase: the framework's plug-in class. It owns the parameter objects and
// the preset slots, and declares the operations that a host adapter (a real
// plug-in format, the offline renderer, a test) calls, in this order:
//   construction; SetSampleRate/SetBlockSize then OnReset; OnActivate(true);
//   per block: ProcessMidiMsg for each message in time order, then ProcessBlock;
//   OnReset again whenever the rate or the largest block changes;
//   SerializeState / UnserializeState for the host's state requests;
//   OnIdle every 20 ms while the editor is open.
// The instrument derives from it and knows nothing of any host format.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/byte_chunk.h"
#include "framework/midi.h"
#include "framework/param.h"
#include "framework/wdl_string.h"

// Where a parameter change came from. The numbers appear in test output.
enum EParamSource { kHost = 1, kPresetRecall = 2, kUI = 3, kUnknown = 6 };

// The plug-in's declaration, fixed at construction.
struct Config {
  int nParams = 0;
  int nPresets = 1;
  // Written into program files; a file is read only with the same uniqueID.
  int vendorVersion = 0;  // major << 16 | minor << 8 | patch
  const char* uniqueID = "";  // four characters
};

// What the host offers the plug-in: notifications that flow back to it.
// Every call may come from the audio thread and must not block.
class IHostCallbacks {
 public:
  virtual ~IHostCallbacks() = default;
  // A parameter changed on the plug-in's side (editor, engine, learned controller).
  virtual void informHostOfParamChange(int paramIdx, double normalizedValue) = 0;
  // The current program was replaced.
  virtual void informHostOfProgramChange() {}
};

// Handed to the plug-in's constructor by the host adapter.
struct InstanceInfo {
  IHostCallbacks* host = nullptr;  // may be null: nobody listens
  std::string resourcePath;        // folder holding the plug-in's resources, with a trailing '/'
  // Seed of the instance's random generator, for reproducible renders and
  // tests; without one the plug-in seeds from the clock.
  std::optional<uint32_t> randomSeed;
  // An instance made only to describe the plug-in (a format's metadata
  // export): it reads no user configuration and creates no files.
  bool metadataOnly = false;
};

// A preset slot: a name and a state chunk.
struct IPreset {
  std::string name;
  IByteChunk chunk;
  bool initialized = false;
};

// A program file read and checked, in a fixed size so that it can travel to
// the audio thread: either a state chunk (kept up to kMaxChunk bytes; a
// longer one is cut there, past what any state holds) read from `start`, or
// normalised values of the first `count` parameters.
struct ProgramImage {
  static constexpr int kMaxChunk = 1024;
  static constexpr int kMaxValues = 64;
  static constexpr int kNameSize = 29;
  bool opaque = false;
  int size = 0, start = 0;
  uint8_t chunk[kMaxChunk] = {};
  int count = 0;
  float values[kMaxValues] = {};
  char name[kNameSize] = {};
};

class IPluginBase {
 public:
  IPluginBase(const InstanceInfo& info, const Config& config);
  virtual ~IPluginBase() = default;
  IPluginBase(const IPluginBase&) = delete;
  IPluginBase& operator=(const IPluginBase&) = delete;

  // --- Operations the host adapter calls ---------------------------------
  virtual void OnReset() {}
  virtual void OnActivate(bool /*active*/) {}
  // Audio thread. outputs[0] and outputs[1] receive nFrames samples each.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames) = 0;
  // Audio thread, before ProcessBlock, once per message of the block.
  virtual void ProcessMidiMsg(const IMidiMsg& /*msg*/) {}
  // Runs after a parameter's value has been stored: the one way a change
  // reaches the plug-in, whoever made it.
  virtual void OnParamChange(int /*paramIdx*/, EParamSource /*source*/) {}
  // The editor side of a parameter change.
  virtual void OnParamChangeUI(int /*paramIdx*/, EParamSource /*source*/) {}
  virtual bool SerializeState(IByteChunk& /*chunk*/) const { return true; }
  virtual int UnserializeState(const IByteChunk& /*chunk*/, int startPos) { return startPos; }
  virtual void OnPresetsModified() {}
  virtual void OnIdle() {}

  void SetSampleRate(double rate) { mSampleRate = rate; }
  void SetBlockSize(int frames) { mBlockSize = frames; }

  // --- Operations the plug-in calls --------------------------------------
  const Config& GetConfig() const { return mConfig; }
  int NParams() const { return static_cast<int>(mParams.size()); }
  IParam* GetParam(int paramIdx) { return validIndex(paramIdx) ? mParams[paramIdx].get() : nullptr; }
  const IParam* GetParam(int paramIdx) const { return validIndex(paramIdx) ? mParams[paramIdx].get() : nullptr; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  const std::string& PluginPath() const { return mResourcePath; }
  const std::optional<uint32_t>& RandomSeed() const { return mRandomSeed; }
  bool IsMetadataOnly() const { return mMetadataOnly; }

  // Host-side setter: stores the normalized value, informs the host and
  // calls OnParamChange (source kHost).
  void SetParameterValue(int paramIdx, double normalizedValue);
  // A change the host itself made (automation, its own controls): stored and
  // passed to OnParamChange; the host is not told what it already knows.
  void OnParamChangeFromHost(int paramIdx, double normalizedValue);
  // The same for a host that sends plain values (LV2 ports, DPF).
  void OnPlainParamChangeFromHost(int paramIdx, double plainValue);
  // A change made on the plug-in's side: stores, informs the host and calls
  // OnParamChange (source kUI).
  void SendParameterValueFromUI(int paramIdx, double normalizedValue);
  void InformHostOfParamChange(int paramIdx, double normalizedValue);
  void InformHostOfProgramChange();
  // OnParamChange, then OnParamChangeUI, for every parameter in index order.
  void OnParamReset(EParamSource source);

  // --- Presets -------------------------------------------------------------
  // Fills every preset slot with the current state under `name`.
  void MakeDefaultPreset(const char* name, int nPresets);
  // The current slot takes the current state, and `name` if one is given.
  void ModifyCurrentPreset(const char* name = nullptr);
  // Applies a slot's state as the current program; false for an empty slot.
  bool RestorePreset(int presetIdx);
  const char* GetPresetName(int presetIdx) const;
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  IPreset* GetPreset(int presetIdx);

  // --- Program files -------------------------------------------------------
  // Writes the current preset slot as a program file; false when it cannot
  // be written (an existing file is then left as it was).
  bool SavePresetAsFXP(const char* path);
  // Reads a program file of this plug-in into the current slot and applies
  // it; false, changing nothing, for any other or damaged file.
  bool LoadPresetFromFXP(const char* path);
  std::vector<uint8_t> MakeProgramFile(int presetIdx) const;
  bool LoadProgramFile(const std::vector<uint8_t>& bytes);
  // The two halves of LoadProgramFile, for a file read on one thread and
  // applied on another: reading checks the bytes and changes nothing;
  // applying allocates nothing, restores the program and tells the host
  // every parameter's value. The preset slot takes the name (SetCurrentPresetName).
  bool ReadProgramFile(const std::vector<uint8_t>& bytes, ProgramImage& program) const;
  bool ReadProgramFromFXP(const char* path, ProgramImage& program) const;
  void ApplyProgram(const ProgramImage& program);
  void SetCurrentPresetName(const char* name);
  // Applies the values the parameters hold now as one program: in one
  // restore, as a program file is, then the host learns every value.
  // Allocates nothing.
  void ApplyParameterValues();

 protected:
  bool validIndex(int paramIdx) const { return paramIdx >= 0 && paramIdx < NParams(); }

 private:
  void storeAndNotify(int paramIdx, double normalizedValue, EParamSource source);
  void InformHostOfProgram();

  Config mConfig;
  IHostCallbacks* mHost;
  std::string mResourcePath;
  std::optional<uint32_t> mRandomSeed;
  bool mMetadataOnly;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::vector<IPreset> mPresets;
  int mCurrentPresetIdx = 0;
  IByteChunk mProgramScratch;  // room for a program applied on the audio thread
  double mSampleRate = 44100;
  int mBlockSize = 512;
};
