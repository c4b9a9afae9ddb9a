// SPDX-License-Identifier: ISC
#include "synth/synth.h"

#include "synth/version_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>

Synth::Synth(const InstanceInfo& info, const Config& config) : IPluginBase(info, config) {
  if (!IsMetadataOnly() && configFile.locate()) loadConfig();
}

void Synth::initProgram() {
  resetParametersToDefaults();
  ModifyCurrentPreset("Init");
}

void Synth::resetParametersToDefaults() {
  for (int i = 0; i < NParams(); ++i) {
    const IParam* p = GetParam(i);
    const double n = p->ToNormalized(p->Constrain(p->GetDefault()));
    SetParameterValue(i, n < 0 ? 0 : n > 1 ? 1 : n);
  }
}

bool Synth::postEditorChange(const EditorChange& change) { return editorChanges.push(change); }

bool Synth::postEditorChange(EditorChange::Kind kind, bool on, double value) {
  EditorChange change;
  change.kind = kind;
  change.on = on;
  change.value = value;
  return postEditorChange(change);
}

bool Synth::requestMidiLearn(bool on) { return postEditorChange(EditorChange::Kind::midiLearn, on); }

bool Synth::requestMidiUnlearn(bool on) { return postEditorChange(EditorChange::Kind::midiUnlearn, on); }

bool Synth::requestInitialize() {
  if (!postEditorChange(EditorChange::Kind::initialize)) return false;
  SetCurrentPresetName("Init");
  return true;
}

bool Synth::requestProgram(const ProgramImage& program) {
  EditorChange change;
  change.kind = EditorChange::Kind::program;
  change.program = program;
  if (!postEditorChange(change)) return false;
  SetCurrentPresetName(program.name);
  return true;
}

void Synth::takeEditorChanges() {
  while (editorChanges.pop(takenChange)) applyEditorChange(takenChange);
}

void Synth::applyEditorChange(const EditorChange& change) {
  switch (change.kind) {
    case EditorChange::Kind::midiLearn: midiLearn.doMidiLearn(change.on); break;
    case EditorChange::Kind::midiUnlearn: midiLearn.doMidiUnlearn(change.on); break;
    case EditorChange::Kind::initialize: resetParametersToDefaults(); break;
    case EditorChange::Kind::program: ApplyProgram(change.program); break;
    case EditorChange::Kind::controllerMap:
      midiLearn.setMap(change.controllers);
      break;
    default: break;
  }
}

void Synth::checkVersionAgainstWeb() {
  if (userDialogs) ::checkVersionAgainstWeb(*userDialogs);
}

void Synth::OnPresetsModified() {
  if (isEditorOpen()) editorNeedsFullRedraw.store(true);
}

void Synth::resizeUI(float scale) {
  // A scale of 0 or less (an unknown window size) changes nothing.
  if (!(scale > 0)) return;
  configFile.windowScale = scale;
  editorNeedsResize.store(true);
}

void Synth::replaceIllegalFileChar(char* name) {
  for (char* c = name; c && *c; ++c)
    if (std::strchr("\"*/:<>?\\|", *c)) *c = '_';
}

void Synth::makeNewFilePath(WDL_String& folder, WDL_String& filePath) {
  const std::string& path = filePath.str();
  const size_t slash = path.find_last_of("/\\");
  if (path.size() < 2 || slash == std::string::npos || slash == 0) {
    folder.Set("");
    return;
  }
  folder.Set(path.substr(0, slash).c_str());
}

namespace {
std::mutex programsFolderMutex;
std::string programsFolder;
}  // namespace

std::string Synth::pathToPrograms() {
  std::lock_guard<std::mutex> lock(programsFolderMutex);
  return programsFolder;
}

void Synth::setPathToPrograms(const std::string& folder) {
  std::lock_guard<std::mutex> lock(programsFolderMutex);
  programsFolder = folder;
}

void Synth::OnReset() {
  // The messages already taken are gone from the queue; those still waiting
  // for a later slice (a pitch bend late in a block) are kept. Room for a
  // dense block and for messages that wait into the next one, so that the
  // audio thread never has to grow the queue.
  midiQueue.Resize(std::max(4096, 4 * GetBlockSize()));
  clearKeyBuffer();
  midiLearn.doMidiLearn(false);
  const double rate = GetSampleRate();
  sliceLength = rate >= 1000 && rate < 2147483647.0 ? static_cast<int>(std::trunc(rate)) / 1000 : 0;
  sliceRemaining = 0;
}

void Synth::OnActivate(bool active) {
  if (!active) return;
  for (int i = 0; i < NParams(); ++i) OnParamChange(i, kHost);
}

void Synth::OnParamChange(int paramIdx, EParamSource) {
  if (midiLearn.midiLearnActive) midiLearn.setMidiLearnParam(paramIdx);
  reactToParamChange(paramIdx);
}

void Synth::setParamValue(int paramIdx, double value, bool normalized) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  if (normalized) value = param->FromNormalized(value);
  value = param->Constrain(value);
  if (value == param->Value()) return;
  param->Set(value);
  if (isRestoring) return;
  const double n = param->GetNormalized();
  SendParameterValueFromUI(paramIdx, n);
}

// --- Configuration file ---------------------------------------------------------

void Synth::followConfigScale(bool scaleRead) {
  if (scaleRead && isEditorOpen()) resizeUI(configFile.windowScale);
}

bool Synth::loadConfig() {
  int controllers[kNumControllers];
  midiLearn.copyMap(controllers);
  bool scaleRead = false;
  if (!configFile.read(controllers, scaleRead)) return false;
  followConfigScale(scaleRead);
  midiLearn.setMap(controllers);
  return true;
}

bool Synth::reloadConfig() {
  EditorChange change;
  change.kind = EditorChange::Kind::controllerMap;
  midiLearn.copyMap(change.controllers);
  bool scaleRead = false;
  if (!configFile.read(change.controllers, scaleRead)) return false;
  followConfigScale(scaleRead);
  return postEditorChange(change);
}

bool Synth::saveConfig(ConfigPart part) {
  int controllers[kNumControllers];
  midiLearn.copyMap(controllers);
  return configFile.save(part, controllers);
}
