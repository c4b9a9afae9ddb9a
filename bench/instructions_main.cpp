// SPDX-License-Identifier: ISC
// Renders ten seconds of the benchmark workload so that callgrind can count
// the instructions of ProcessBlock per output frame (bench/instructions.sh).
#include <cstdio>
#include <cstring>

#include "engine_workload.h"

int main(int argc, char** argv) {
  const bool busy = argc > 1 && std::strcmp(argv[1], "busy") == 0;
  EngineWorkload work(busy);
  work.renderBlocks(188);  // warm the caches and pass the first crackle
  const long frames = work.renderBlocks(1875);
  std::printf("%ld\n", frames);
  return 0;
}
