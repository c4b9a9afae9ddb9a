// SPDX-License-Identifier: ISC
// wobblytone-render: renders a short phrase through the sound modules to a WAV.
// (The full instrument takes over this program once the engine stands.)
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "contour.h"
#include "filter.h"
#include "vcf.h"
#include "vco.h"

namespace {

void usage(const char* program) {
  std::fprintf(stderr, "usage: %s [-o FILE.wav] [-r HZ]\n", program);
}

}  // namespace

int main(int argc, char** argv) {
  std::string output = "wobblytone.wav";
  double rate = 48000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-o" || arg == "--output") && i + 1 < argc) {
      output = argv[++i];
    } else if ((arg == "-r" || arg == "--rate") && i + 1 < argc) {
      char* end = nullptr;
      rate = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(rate >= 8000 && rate <= 384000)) {
        std::fprintf(stderr, "wobblytone-render: the rate must be a number of Hz from 8000 to 384000\n");
        return 2;
      }
    } else {
      usage(argv[0]);
      return 2;
    }
  }

  VCO osc;
  VCF vcf;
  Contour filterContour, loudness;
  HighPass dcBlocker;
  osc.setSampleRate(rate);
  vcf.setSampleRate(rate);
  filterContour.setSampleRate(rate);
  loudness.setSampleRate(rate);
  dcBlocker.setSampleRate(rate);
  dcBlocker.setFrequency(12);
  osc.setRange(2);
  osc.setWaveform(VCO::kSawtooth);
  vcf.setCutoff(4000, false);
  vcf.emphasis = 0.8;
  filterContour.setAttack(0.2);
  filterContour.setDecay(0.45);
  filterContour.setSustain(0.2);
  filterContour.setRelease(true);
  loudness.setAttack(0.05);
  loudness.setDecay(0.5);
  loudness.setSustain(0.8);
  loudness.setRelease(true);

  const int notes[] = {36, 43, 48, 46, 36, 39, 43, 31};
  const int noteFrames = static_cast<int>(rate * 0.5);
  const int total = noteFrames * 8 + static_cast<int>(rate);
  std::vector<float> frames(static_cast<size_t>(total) * 2);
  for (int n = 0; n < total; ++n) {
    const int step = n / noteFrames;
    if (n % noteFrames == 0 && step < 8) {
      filterContour.stop();
      loudness.stop();
      filterContour.start();
      loudness.start();
    }
    if (n % noteFrames == noteFrames * 3 / 4 || n == noteFrames * 8) {
      filterContour.stop();
      loudness.stop();
    }
    const int note = notes[step < 8 ? step : 7];
    filterContour.update();
    loudness.update();
    osc.update(note * 128.0 + 1536);
    const double y = vcf.process(osc.process() * 0.5, static_cast<int>(6000 * filterContour.value));
    const float out = static_cast<float>(Filter::softClip(dcBlocker.process(y * loudness.value) * 0.7));
    frames[2 * n] = frames[2 * n + 1] = out;
  }

  SF_INFO info{};
  info.samplerate = static_cast<int>(rate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(output.c_str(), SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "wobblytone-render: cannot write %s: %s\n", output.c_str(), sf_strerror(nullptr));
    return 2;
  }
  sf_writef_float(file, frames.data(), total);
  sf_close(file);
  std::printf("wobblytone-render: wrote %s (%.1f s at %.0f Hz)\n", output.c_str(), total / rate, rate);
  return 0;
}
