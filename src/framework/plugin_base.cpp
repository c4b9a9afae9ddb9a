// SPDX-License-Identifier: ISC
#include "framework/plugin_base.h"

IPluginBase::IPluginBase(const InstanceInfo& info, const Config& config)
    : mConfig(config), mHost(info.host), mResourcePath(info.resourcePath), mRandomSeed(info.randomSeed), mMetadataOnly(info.metadataOnly) {
  const int n = config.nParams > 0 ? config.nParams : 0;
  mParams.reserve(n);
  for (int i = 0; i < n; ++i) mParams.push_back(std::make_unique<IParam>());
  mPresets.resize(config.nPresets > 0 ? config.nPresets : 1);
  mProgramScratch.Resize(ProgramImage::kMaxChunk);
  mProgramScratch.Clear();
}

void IPluginBase::storeAndNotify(int paramIdx, double normalizedValue, EParamSource source) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, param->GetNormalized());
  OnParamChange(paramIdx, source);
}

void IPluginBase::SetParameterValue(int paramIdx, double normalizedValue) {
  storeAndNotify(paramIdx, normalizedValue, kHost);
}

void IPluginBase::OnParamChangeFromHost(int paramIdx, double normalizedValue) {
  if (const IParam* param = GetParam(paramIdx)) OnPlainParamChangeFromHost(paramIdx, param->FromNormalized(normalizedValue));
}

void IPluginBase::OnPlainParamChangeFromHost(int paramIdx, double plainValue) {
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  // Hosts resend unchanged values (on activation, on a redraw of their own
  // controls); only a real change reaches the plug-in.
  const double before = param->Value();
  param->Set(plainValue);
  if (param->Value() == before) return;
  OnParamChange(paramIdx, kHost);
}

void IPluginBase::SendParameterValueFromUI(int paramIdx, double normalizedValue) {
  storeAndNotify(paramIdx, normalizedValue, kUI);
}

void IPluginBase::InformHostOfParamChange(int paramIdx, double normalizedValue) {
  if (mHost && validIndex(paramIdx)) mHost->informHostOfParamChange(paramIdx, normalizedValue);
}

void IPluginBase::InformHostOfProgramChange() {
  if (mHost) mHost->informHostOfProgramChange();
}

void IPluginBase::OnParamReset(EParamSource source) {
  for (int i = 0; i < NParams(); ++i) {
    OnParamChange(i, source);
    OnParamChangeUI(i, source);
  }
}

void IPluginBase::MakeDefaultPreset(const char* name, int nPresets) {
  if (nPresets > NPresets()) nPresets = NPresets();
  for (int i = 0; i < nPresets; ++i) {
    IPreset& preset = mPresets[i];
    preset.name = name ? name : "";
    preset.chunk.Clear();
    SerializeState(preset.chunk);
    preset.initialized = true;
  }
}

void IPluginBase::ModifyCurrentPreset(const char* name) {
  IPreset& preset = mPresets[mCurrentPresetIdx];
  preset.chunk.Clear();
  SerializeState(preset.chunk);
  preset.initialized = true;
  if (name) preset.name = name;
}

bool IPluginBase::RestorePreset(int presetIdx) {
  IPreset* preset = GetPreset(presetIdx);
  if (!preset || !preset->initialized) return false;
  mCurrentPresetIdx = presetIdx;
  UnserializeState(preset->chunk, 0);
  InformHostOfProgramChange();
  return true;
}

const char* IPluginBase::GetPresetName(int presetIdx) const {
  if (presetIdx < 0 || presetIdx >= NPresets()) return "";
  return mPresets[presetIdx].name.c_str();
}

IPreset* IPluginBase::GetPreset(int presetIdx) {
  if (presetIdx < 0 || presetIdx >= NPresets()) return nullptr;
  return &mPresets[presetIdx];
}
