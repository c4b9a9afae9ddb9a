// SPDX-License-Identifier: ISC
// libFuzzer target for the MIDI file reader: any input must either be refused
// with a one-line message or give events the renderer can play as they are.
#include <cmath>
#include <cstdlib>
#include <string>

#include "adapters/offline/midi_file.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MidiFile file;
  std::string error;
  if (!parseMidiFile(data, size, file, error)) {
    check(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  check(file.format == 0 || file.format == 1);
  check(file.tracks >= 0 && file.tracks <= 65535);
  double previous = 0;
  for (const MidiFileEvent& e : file.events) {
    check(std::isfinite(e.seconds) && e.seconds >= previous);
    check(e.status >= 0x80 && e.status <= 0xEF);
    check(e.data1 < 0x80 && e.data2 < 0x80);
    previous = e.seconds;
  }
  check(std::isfinite(file.lengthSeconds) && file.lengthSeconds >= previous);
  return 0;
}
