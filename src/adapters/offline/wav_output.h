// SPDX-License-Identifier: ISC
// The renderer's WAV, written beside its target under a temporary name and
// put in the target's place only when it is complete: a render that fails or
// is interrupted leaves whatever file was there before.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

class ReplacingWavFile {
 public:
  ReplacingWavFile(std::string target, int sampleRate);
  ~ReplacingWavFile();  // removes the temporary file unless committed
  ReplacingWavFile(const ReplacingWavFile&) = delete;
  ReplacingWavFile& operator=(const ReplacingWavFile&) = delete;

  // Creates the temporary file (24-bit stereo); false with a message.
  bool open(std::string& error);
  // Appends frames of one channel, written to both; false when writing failed.
  bool write(const float* mono, int frames);
  // Finishes the file and renames it over the target; false with a message,
  // and the target is then untouched.
  bool commit(std::string& error);
  long framesWritten() const { return frames; }

 private:
  std::string target, temporary;
  int rate;
  SNDFILE* file = nullptr;
  std::vector<float> interleaved;
  long frames = 0;
  bool committed = false;
};
