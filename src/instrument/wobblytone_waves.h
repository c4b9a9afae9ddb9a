// SPDX-License-Identifier: ISC
// The five sound clips: headerless mono files of 8000 Hz samples, decoded
// once per process into shared buffers that are never changed afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Properties {
enum EWaves { kWavePink = 0, kWaveWhite, kWaveScratch, kWaveA440, kWavePulse, kNumWaves };
}  // namespace Properties

// One clip file: its name, its length in samples (the files carry none) and
// whether two 4-bit samples share a byte.
struct WaveFile {
  const char* wavename;
  int32_t wavelen;
  bool packed4Bit;
};

extern const WaveFile kWaveFiles[Properties::kNumWaves];

// The decoded clips. A clip whose file could not be read is silence (zeros).
class WaveBank {
 public:
  // The process-wide bank for `folder` (with a trailing '/'). Loads the files
  // on first use; once every clip has loaded, the same bank serves every
  // instance. Until then each call tries again, so an instance constructed
  // after the files appear gets them. Thread-safe; not for the audio thread.
  static std::shared_ptr<const WaveBank> load(const std::string& folder);

  // Decodes one file's bytes into `len` signed samples; bytes missing at the
  // end of a short file decode as silence.
  static std::vector<int8_t> decode(const std::vector<uint8_t>& bytes, int32_t len, bool packed4Bit);

  const int8_t* wave(int w) const { return samples[w].data(); }
  bool loaded(int w) const { return isLoaded[w]; }
  bool complete() const;

 private:
  std::vector<int8_t> samples[Properties::kNumWaves];
  bool isLoaded[Properties::kNumWaves] = {};
};
