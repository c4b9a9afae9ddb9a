// SPDX-License-Identifier: ISC
#include "instrument/wobblytone_waves.h"

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
  std::vector<int8_t> out(static_cast<size_t>(len), 0);
  for (int32_t i = 0; i < len; ++i) {
    const size_t byteIndex = packed4Bit ? static_cast<size_t>(i) / 2 : static_cast<size_t>(i);
    if (byteIndex >= bytes.size()) break;
    const uint8_t b = bytes[byteIndex];
    const int value = packed4Bit ? ((i & 1) ? b >> 4 : b & 0x0F) * 16 - 128 : b - 128;
    out[static_cast<size_t>(i)] = static_cast<int8_t>(value);
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
