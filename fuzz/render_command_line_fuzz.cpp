// SPDX-License-Identifier: ISC
// libFuzzer target for the renderer's command line: the input, split at zero
// bytes, is the argument list. Whatever it holds, reading it either fails
// with a message or gives settings inside their documented ranges, and each
// --set is read against a real instance without harm.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "adapters/offline/render_command_line.h"
#include "instrument/wobblytone.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

Wobblytone* instance = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/wobblytone-fuzz-XXXXXX";
  if (mkdtemp(pattern)) setenv("HOME", pattern, 1);
  InstanceInfo info;
  info.metadataOnly = true;
  instance = new Wobblytone(info);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words = {"wobblytone-render"};
  std::string word;
  for (size_t i = 0; i < size && words.size() < 64; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (!word.empty()) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());

  RenderCommand command;
  std::string error;
  if (!parseRenderCommandLine(static_cast<int>(argv.size()), argv.data(), command, error)) {
    check(!error.empty());
    return 0;
  }
  const RenderSettings& s = command.settings;
  check(s.sampleRate >= 1000 && s.sampleRate <= 384000);
  check(s.blockSize >= 1 && s.blockSize <= 65536);
  check(s.tailSeconds >= 0 && s.tailSeconds <= 3600);
  check(!command.output.empty());
  for (const std::string& setting : command.sets) {
    int index = -1;
    double plain = 0;
    std::string why;
    if (parseParameterSetting(*instance, setting, index, plain, why)) {
      const IParam* p = instance->GetParam(index);
      check(p && plain >= p->GetMin() && plain <= p->GetMax());
    } else {
      check(!why.empty());
    }
  }
  return 0;
}
