// SPDX-License-Identifier: ISC
#include "instrument/wobblytone_waves.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

const WaveFile kWaveFiles[Properties::kNumWaves] = {
    {"easy.bin", 956160, true},   // pink noise
    {"jaccid.bin", 2423228, true},  // white noise with a radio station in it
    {"scratch.bin", 2048, true},  // the volume pot's crackle
    {"440.bin", 59601, false},    // A-440 reference tone
    {"pulse.bin", 6331, false},   // the broken Osc-2 waveform
};

namespace {

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && size < (64L << 20) && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  return ok;
}

}  // namespace

std::vector<int8_t> WaveBank::decode(const std::vector<uint8_t>& bytes, int32_t len, bool packed4Bit) {
  // Samples past the end of the data stay silent. One pass per byte, without
  // a branch per sample: the noise clips hold millions of them, decoded while
  // a host waits for the first instance.
  const size_t n = static_cast<size_t>(std::max(len, 0));
  std::vector<int8_t> out(n, 0);
  if (packed4Bit) {
    // Two samples a byte, the low half first.
    const size_t whole = std::min(bytes.size(), n / 2);
    for (size_t k = 0; k < whole; ++k) {
      const uint8_t b = bytes[k];
      out[2 * k] = static_cast<int8_t>((b & 0x0F) * 16 - 128);
      out[2 * k + 1] = static_cast<int8_t>((b >> 4) * 16 - 128);
    }
    if (n % 2 == 1 && n / 2 < bytes.size()) out[n - 1] = static_cast<int8_t>((bytes[n / 2] & 0x0F) * 16 - 128);
  } else {
    const size_t whole = std::min(bytes.size(), n);
    for (size_t i = 0; i < whole; ++i) out[i] = static_cast<int8_t>(bytes[i] - 128);
  }
  return out;
}

bool WaveBank::complete() const {
  for (bool l : isLoaded)
    if (!l) return false;
  return true;
}

std::shared_ptr<const WaveBank> WaveBank::load(const std::string& folder) {
  static std::mutex mutex;
  static std::shared_ptr<const WaveBank> shared;
  std::lock_guard<std::mutex> lock(mutex);
  if (shared) return shared;
  auto bank = std::make_shared<WaveBank>();
  bool failed = false;
  for (int i = 0; i < Properties::kNumWaves; ++i) {
    const WaveFile& file = kWaveFiles[i];
    std::vector<uint8_t> bytes;
    // Once a file is missing the rest stay silent too, as they always have.
    if (!failed && readFile(folder + file.wavename, bytes)) {
      bank->samples[i] = decode(bytes, file.wavelen, file.packed4Bit);
      bank->isLoaded[i] = true;
    } else {
      failed = true;
      bank->samples[i].assign(static_cast<size_t>(file.wavelen), 0);
    }
  }
  if (bank->complete()) shared = bank;
  return bank;
}
