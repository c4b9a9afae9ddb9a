// SPDX-License-Identifier: ISC
// The DPF plug-in: translates DPF's calls into the framework layer's
// contract and leaves everything else to the instrument, which knows
// nothing of DPF. Float buffers are converted at the edge; the state chunk
// travels as the state entry "chunk" in base64.
#include <locale.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "DistrhoPlugin.hpp"
#include "DistrhoPluginUtils.hpp"
#include "adapters/dpf/lv2_symbol.h"
#include "adapters/dpf/parameter_text.h"
#include "adapters/dpf/plugin_access.h"
#include "adapters/dpf/program_list.h"
#include "adapters/dpf/restore_state.h"
#include "instrument/factory_bank.h"
#include "instrument/wobblytone.h"
#include "platform/resource_folder.h"
#include "wobblytone_identity.h"

START_NAMESPACE_DISTRHO

// The resources are found from where this module itself lies, so that they
// load whatever path a host hands over (some CLAP hosts pass the folder that
// holds the .clap, others the file). The host's path is the fallback. The
// standalone app has resources/ beside it in the build tree; installed, it
// uses $WOBBLYTONE_RESOURCES or the install prefix's share/wobblytone/, as the
// offline renderer does.
static std::string resourceFolder(const char* bundle) {
  if (std::string own = resourceFolderOfModule(loadedModulePath()); !own.empty()) return own;
  if (bundle && *bundle)
    if (std::string given = resourceFolderOfHostPath(bundle); !given.empty()) return given;
  if (std::string env = resourceFolderFromEnvironment(); !env.empty()) return env;
#ifdef WOBBLYTONE_INSTALL_DATADIR
  return WOBBLYTONE_INSTALL_DATADIR "/";
#else
  return "";
#endif
}

// An LV2 host owns the input control ports, and the plug-in may not write
// them: what the engine changes itself (the fuse, the warm-up, learned
// controllers) shows on output ports, one per parameter after the 46 inputs
// (symbol "<input symbol>_out"). Where a host offers the control-input-port
// change request, its input ports follow as well. The other formats report
// such changes on the parameters themselves.
static uint32_t publishedParameterCount() {
  return std::strcmp(getPluginFormatName(), "LV2") == 0 ? 2 * kNumParams : kNumParams;
}

static int engineIndexOf(uint32_t index) { return static_cast<int>(index % kNumParams); }
static bool isShownValue(uint32_t index) { return index >= kNumParams; }

class WobblytonePlugin : public Plugin, private IHostCallbacks {
 public:
  // The engine and where its resources are, for the editor in the same process.
  Wobblytone& engine() { return *synth; }
  const std::string& resources() const { return resourcePath; }

  WobblytonePlugin() : Plugin(publishedParameterCount(), static_cast<uint32_t>(FactoryBank::count()), 1) {
    InstanceInfo info;
    info.host = this;
    info.metadataOnly = isDummyInstance();
    info.resourcePath = resourceFolder(getBundlePath());
    resourcePath = info.resourcePath;
    // Tests fix the random generator (broken controls, crackle positions) to
    // compare renders sample for sample.
    if (const char* seed = std::getenv("WOBBLYTONE_RANDOM_SEED"); seed && *seed)
      info.randomSeed = static_cast<uint32_t>(std::strtoul(seed, nullptr, 10));
    synth = std::make_unique<Wobblytone>(info);
    for (int i = 0; i < kNumParams; ++i) symbols.push_back(lv2Symbol(synth->GetParam(i)->GetName()));
    prepare(getSampleRate(), getBufferSize());
  }

 protected:
  const char* getLabel() const override { return Identity::kName; }
  const char* getDescription() const override { return WOBBLYTONE_DESCRIPTION; }
  const char* getMaker() const override { return Identity::kMaker; }
  const char* getHomePage() const override { return Identity::kSite; }
  const char* getLicense() const override { return "ISC"; }
  uint32_t getVersion() const override {
    return d_version(Identity::kVersionMajor, Identity::kVersionMinor, Identity::kVersionPatch);
  }
  int64_t getUniqueId() const override {
    const char* code = Identity::kPluginCode;
    return d_cconst(code[0], code[1], code[2], code[3]);
  }

  void initAudioPort(bool input, uint32_t index, AudioPort& port) override {
    port.groupId = kPortGroupStereo;
    Plugin::initAudioPort(input, index, port);
  }

  void initParameter(uint32_t index, Parameter& parameter) override {
    const IParam* p = synth->GetParam(engineIndexOf(index));
    if (!p) return;
    parameter.hints = isShownValue(index) ? kParameterIsOutput : kParameterIsAutomatable;
    parameter.name = p->GetName();
    parameter.shortName = p->GetName();
    parameter.symbol = (lv2Symbol(p->GetName()) + (isShownValue(index) ? "_out" : "")).c_str();
    parameter.ranges.min = static_cast<float>(p->GetMin());
    parameter.ranges.max = static_cast<float>(p->GetMax());
    parameter.ranges.def = static_cast<float>(p->GetDefault());
    if (p->NDisplayTexts() > 0) {
      parameter.hints |= kParameterIsInteger;
      // A toggle only where 1 means on: "Osc-3 Control" (On, Off), "Voltage"
      // or "Fuse" are lists of two, not switches that turn something on.
      if (p->NDisplayTexts() == 2 && std::strcmp(p->GetDisplayText(0), "Off") == 0 &&
          std::strcmp(p->GetDisplayText(1), "On") == 0)
        parameter.hints |= kParameterIsBoolean;
      auto* values = new ParameterEnumerationValue[p->NDisplayTexts()];
      for (int i = 0; i < p->NDisplayTexts(); ++i) {
        values[i].value = static_cast<float>(i);
        values[i].label = p->GetDisplayText(i);
      }
      parameter.enumValues.count = static_cast<uint8_t>(p->NDisplayTexts());
      parameter.enumValues.restrictedMode = true;
      parameter.enumValues.values = values;
    }
  }

  void initProgramName(uint32_t index, String& name) override {
    if (const char* program = wobblytoneProgramName(index)) name = program;
  }

  // A host's choice of program (the VST3 program parameter, LV2's program
  // interface) comes on its own thread: the engine takes it before its next
  // block. The description writer's instance plays nothing, so the values
  // are set at once there, for the LV2 presets it writes from them.
  void loadProgram(uint32_t index) override {
    if (index >= static_cast<uint32_t>(FactoryBank::count())) return;
    if (isDummyInstance()) {
      synth->storeFactoryProgramValues(static_cast<int>(index));
      return;
    }
    // DPF's standalone host selects program 0 as it starts and turns a
    // Program Change on channel 1 into a program choice. The app starts as
    // the instrument does anywhere (switched off, at its defaults), and
    // such a Program Change follows "Ignore Program Change" like any other.
    if (isStandalone() && (!hasRun.load() || synth->configFile.ignoreProgramChange)) return;
    synth->requestFactoryProgram(static_cast<int>(index));
  }

  void initState(uint32_t, State& state) override {
    state.key = "chunk";
    state.defaultValue = "";
    state.label = "State";
    state.hints = kStateIsOnlyForDSP;
  }

  float getParameterValue(uint32_t index) const override {
    const IParam* p = synth->GetParam(engineIndexOf(index));
    return p ? static_cast<float>(p->Value()) : 0.0f;
  }

  void setParameterValue(uint32_t index, float value) override {
    // Hosts hold values as floats. One equal to the float we report is the
    // host handing our own value back (after a state restore, or every block
    // from an LV2 control port); taking it would round the engine's value and
    // count as a change, so a restored Volume would crackle.
    const IParam* p = isShownValue(index) ? nullptr : synth->GetParam(static_cast<int>(index));
    if (!p || !std::isfinite(value) || static_cast<float>(p->Value()) == value) return;
    synth->OnPlainParamChangeFromHost(static_cast<int>(index), value);
  }

  String getState(const char* key) const override {
    if (std::strcmp(key, "chunk") != 0) return String();
    IByteChunk chunk;
    synth->SerializeState(chunk);
    return String::asBase64(chunk.GetData(), static_cast<size_t>(chunk.Size()));
  }

  // A chunk that is no valid base64 is refused whole: decoding it leniently
  // would restore garbage.
  void setState(const char* key, const char* value) override {
    std::vector<uint8_t> bytes;
    if (std::strcmp(key, "chunk") != 0 || !value || !decodeBase64Strictly(value, bytes)) return;
    IByteChunk chunk;
    chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    synth->UnserializeState(chunk, 0);
  }

 public:
  // A state read whole by the CLAP or VST3 wrapper: the chunk (or, without
  // one, the instrument's own) and the listed values, as one restore.
  bool restoreSavedState(const SavedState& saved) {
    IByteChunk chunk;
    if (const std::string* text = saved.entry("chunk")) {
      std::vector<uint8_t> bytes;
      if (!decodeBase64Strictly(*text, bytes)) return false;
      chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    } else {
      synth->SerializeState(chunk);
    }
    double values[kNumParams];
    std::fill(std::begin(values), std::end(values), std::numeric_limits<double>::quiet_NaN());
    for (const auto& [symbol, value] : saved.parameters) {
      const auto found = std::find(symbols.begin(), symbols.end(), symbol);
      if (found != symbols.end()) values[found - symbols.begin()] = value;
    }
    synth->UnserializeStateWithValues(chunk, 0, values);
    return true;
  }

 protected:

  void activate() override { synth->OnActivate(true); }
  void deactivate() override { synth->OnActivate(false); }

  void sampleRateChanged(double rate) override { prepare(rate, getBufferSize()); }
  void bufferSizeChanged(uint32_t frames) override { prepare(getSampleRate(), frames); }

  void run(const float**, float** outputs, uint32_t frames, const MidiEvent* events, uint32_t eventCount) override {
    hasRun.store(true, std::memory_order_relaxed);
    // Blocks larger than prepared are played in pieces of the prepared size.
    uint32_t done = 0, next = 0;
    while (done < frames) {
      const uint32_t n = std::min<uint32_t>(frames - done, static_cast<uint32_t>(left.size()));
      for (; next < eventCount && events[next].frame < done + n; ++next) {
        const MidiEvent& e = events[next];
        if (e.size == 0 || e.size > MidiEvent::kDataSize) continue;
        IMidiMsg msg(static_cast<int32_t>(e.frame - std::min(e.frame, done)), e.data[0], e.size > 1 ? e.data[1] : 0,
                     e.size > 2 ? e.data[2] : 0);
        synth->ProcessMidiMsg(msg);
      }
      double* buffers[2] = {left.data(), right.data()};
      synth->ProcessBlock(nullptr, buffers, static_cast<int>(n));
      for (uint32_t i = 0; i < n; ++i) {
        outputs[0][done + i] = static_cast<float>(left[i]);
        outputs[1][done + i] = static_cast<float>(right[i]);
      }
      done += n;
    }
  }

 private:
  void prepare(double rate, uint32_t frames) {
    const uint32_t size = std::max<uint32_t>(frames, 64);
    left.assign(size, 0.0);
    right.assign(size, 0.0);
    synth->SetSampleRate(rate > 0 ? rate : 44100);
    synth->SetBlockSize(static_cast<int>(size));
    synth->OnReset();
  }

  // Engine-made changes (fuse, warm-up, learned controllers) go to the host.
  void informHostOfParamChange(int paramIdx, double normalizedValue) override {
    const IParam* p = synth->GetParam(paramIdx);
    if (p) requestParameterValueChange(static_cast<uint32_t>(paramIdx), static_cast<float>(p->FromNormalized(normalizedValue)));
  }

  static bool isStandalone() { return std::strstr(getPluginFormatName(), "Standalone") != nullptr; }

  std::unique_ptr<Wobblytone> synth;
  std::atomic<bool> hasRun{false};  // a block has been played
  std::vector<std::string> symbols;  // the parameters' state and port symbols, by index
  std::string resourcePath;
  std::vector<double> left, right;

  DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(WobblytonePlugin)
};

Plugin* createPlugin() { return new WobblytonePlugin(); }

uint32_t wobblytoneProgramCount() { return static_cast<uint32_t>(FactoryBank::count()); }

const char* wobblytoneProgramName(uint32_t index) {
  return index < wobblytoneProgramCount() ? FactoryBank::program(static_cast<int>(index)).name : nullptr;
}

bool wobblytoneRestoreSavedState(void* pluginInstance, const SavedState& state) {
  return pluginInstance && static_cast<WobblytonePlugin*>(static_cast<Plugin*>(pluginInstance))->restoreSavedState(state);
}

bool wobblytoneAcceptsStateValue(void*, const char* key, const char* value) {
  std::vector<uint8_t> bytes;
  return !key || std::strcmp(key, "chunk") != 0 || (value && decodeBase64Strictly(value, bytes));
}

Wobblytone* wobblytoneEngineOf(void* pluginInstance) {
  return pluginInstance ? &static_cast<WobblytonePlugin*>(static_cast<Plugin*>(pluginInstance))->engine() : nullptr;
}

// Hosts may run with a locale of their own; the texts use a decimal point
// whatever it is. The C locale object is made once, on first use.
class CNumericLocale {
 public:
  CNumericLocale() : saved(uselocale(cLocale())) {}
  ~CNumericLocale() {
    if (saved) uselocale(saved);
  }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  static locale_t cLocale() {
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return c;
  }
  locale_t saved;
};

static const IParam* paramOf(void* pluginInstance, uint32_t index) {
  Wobblytone* synth = wobblytoneEngineOf(pluginInstance);
  return synth ? synth->GetParam(static_cast<int>(index)) : nullptr;
}

bool wobblytoneParameterText(void* pluginInstance, uint32_t index, double plainValue, char* text, size_t size) {
  const IParam* p = paramOf(pluginInstance, index);
  if (!p || !text || size == 0 || !std::isfinite(plainValue)) return false;
  WDL_String shown;
  {
    const CNumericLocale c;
    p->GetDisplay(p->Constrain(plainValue), false, shown);
  }
  std::snprintf(text, size, "%s", shown.Get());
  return true;
}

bool wobblytoneParameterValueOfText(void* pluginInstance, uint32_t index, const char* text, double& plainValue) {
  const IParam* p = paramOf(pluginInstance, index);
  if (!p || !text) return false;
  double parsed = 0;
  {
    const CNumericLocale c;
    if (!p->ParseDisplay(text, parsed) || !std::isfinite(parsed)) return false;
  }
  plainValue = p->Constrain(parsed);
  return true;
}

std::string wobblytoneResourcesOf(void* pluginInstance) {
  return pluginInstance ? static_cast<WobblytonePlugin*>(static_cast<Plugin*>(pluginInstance))->resources() : "";
}

END_NAMESPACE_DISTRHO
