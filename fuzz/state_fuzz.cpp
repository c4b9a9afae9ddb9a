// SPDX-License-Identifier: ISC
// libFuzzer target for the two ways saved bytes come back into an instance:
// a host's state chunk (UnserializeState) and a program file. The first input
// byte picks the way. Whatever the bytes, the instance must stay playable:
// parameters inside their ranges and finite output.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/headless_host.h"
#include "instrument/wobblytone.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

Wobblytone* instance = nullptr;
HeadlessHost* host = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The instance's configuration file goes into a folder of the fuzzer's own.
  char pattern[] = "/tmp/wobblytone-fuzz-XXXXXX";
  if (mkdtemp(pattern)) setenv("HOME", pattern, 1);
  InstanceInfo info;
  info.randomSeed = 1;
  instance = new Wobblytone(info);
  host = new HeadlessHost(*instance);
  host->prepare(44100, 64);
  host->activate();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    IByteChunk chunk;
    chunk.PutBytes(data + 1, static_cast<int>(size - 1));
    const int pos = instance->UnserializeState(chunk, (data[0] >> 1) & 7);
    check(pos == -1 || (pos >= 0 && pos <= chunk.Size()));
  } else {
    instance->LoadProgramFile(std::vector<uint8_t>(data + 1, data + size));
  }
  for (int i = 0; i < instance->NParams(); ++i) {
    const IParam* p = instance->GetParam(i);
    check(p->Value() >= p->GetMin() && p->Value() <= p->GetMax());
  }
  double left[64], right[64];
  const IMidiMsg note = IMidiMsg::noteOn(0, 60, 100);
  host->process(&note, 1, left, right, 64);
  // The soft clipper's rational curve can round to one ulp above 1 near +-3.
  for (double v : left) check(std::isfinite(v) && std::fabs(v) <= 1 + 1e-12);
  return 0;
}
