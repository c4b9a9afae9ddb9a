// SPDX-License-Identifier: ISC
// The five sound clips the engine plays: pink noise, radio static, pot
// crackle, a 440 Hz reference tone and a decaying pulse. Each is synthesised
// here from a fixed seed, so every build on every machine writes the same bytes.
//
// The files are headerless mono at 8000 samples per second. A packed file holds
// two 4-bit samples per byte, low nibble first, the value v standing for the
// signed sample v * 16 - 128; the others hold one byte per sample, the signed
// sample plus 128.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ClipFile {
  const char* name;
  int samples;
  bool packed4Bit;
};

enum ClipIndex { kClipEasy, kClipJaccid, kClipScratch, kClip440, kClipPulse, kClipCount };

constexpr int kClipSampleRate = 8000;

extern const ClipFile kClipFiles[kClipCount];

// The exact bytes of one clip file; empty for an index out of range.
std::vector<uint8_t> makeClipBytes(int clipIndex);

// Writes all five files into `folder`, which must exist. On failure returns
// false with a message naming the file in `error`.
bool writeClipFiles(const std::string& folder, std::string& error);
