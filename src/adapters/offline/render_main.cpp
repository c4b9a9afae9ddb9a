// SPDX-License-Identifier: ISC
// wobblytone-render: plays a Standard MIDI File (or the built-in demo)
// through the instrument and writes a WAV.
#include <sndfile.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/offline/demo_song.h"
#include "adapters/offline/midi_file.h"
#include "adapters/offline/render_command_line.h"
#include "adapters/offline/render_job.h"
#include "adapters/offline/wav_output.h"
#include "instrument/factory_bank.h"
#include "instrument/wobblytone.h"
#include "platform/resource_folder.h"

#ifndef WOBBLYTONE_INSTALL_DATADIR
#define WOBBLYTONE_INSTALL_DATADIR "/usr/local/share/wobblytone"
#endif

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "wobblytone-render: %s\n", message.c_str());
  return 2;
}

// Where the clips are: $WOBBLYTONE_RESOURCES, next to this program, or the
// install prefix's share/wobblytone/.
std::string findResources(const char* argv0) {
  if (std::string env = resourceFolderFromEnvironment(); !env.empty()) return env;
  char exe[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string self = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string(argv0);
  const std::string folder = self.substr(0, self.find_last_of('/') + 1);
  if (access((folder + "resources/easy.bin").c_str(), R_OK) == 0) return folder + "resources/";
  return std::string(WOBBLYTONE_INSTALL_DATADIR) + "/";
}

void listPrograms() {
  std::printf("%-3s %-20s %-11s %s\n", "#", "name", "category", "what it is for");
  for (int i = 0; i < FactoryBank::count(); ++i) {
    const FactoryProgram& p = FactoryBank::program(i);
    std::printf("%-3d %-20s %-11s %s\n", i, p.name, p.category, p.about);
  }
}

// --program takes a file when the text reads as one: with a folder in it or
// the program files' extension.
bool readsAsFile(const std::string& text) {
  return text.find('/') != std::string::npos || (text.size() > 4 && text.compare(text.size() - 4, 4, ".fxp") == 0);
}

void listParameters(const Wobblytone& synth) {
  std::printf("%-4s %-22s %-10s %s\n", "#", "name", "default", "values");
  for (int i = 0; i < synth.NParams(); ++i) {
    const IParam* p = synth.GetParam(i);
    WDL_String shown, lo, hi;
    p->GetDisplay(p->GetDefault(), false, shown);
    std::string values;
    if (p->NDisplayTexts() > 0) {
      for (int v = 0; v < p->NDisplayTexts(); ++v) values += std::string(v ? ", " : "") + p->GetDisplayText(v);
    } else {
      p->GetDisplay(p->GetMin(), false, lo);
      p->GetDisplay(p->GetMax(), false, hi);
      values = std::string(lo.Get()) + " to " + hi.Get();
    }
    std::printf("%-4d %-22s %-10s %s\n", i + 1, p->GetName(), shown.Get(), values.c_str());
  }
}

// The signal that ended the render early (Ctrl-C, a kill), or 0.
volatile sig_atomic_t interrupted = 0;

void watchForInterruptions() {
  struct sigaction action {};
  action.sa_handler = [](int signal) { interrupted = signal; };
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void showProgress(double fraction) {
  const int width = 40;
  const int filled = static_cast<int>(fraction * width);
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", width - filled, "",
               static_cast<int>(fraction * 100));
  if (fraction >= 1) std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  RenderCommand command;
  std::string parseError;
  if (!parseRenderCommandLine(argc, argv, command, parseError)) return fail(parseError);
  if (command.help) {
    std::fputs(kRenderUsage, stdout);
    return 0;
  }
  const std::string& output = command.output;
  const std::string& midiPath = command.midiPath;
  const std::string& programIn = command.programIn;
  const std::string& programOut = command.programOut;
  RenderSettings& settings = command.settings;

  settings.resourcePath = findResources(argv[0]);
  InstanceInfo info;
  info.resourcePath = settings.resourcePath;
  info.randomSeed = settings.seed;
  Wobblytone synth(info);
  if (command.listParameters) {
    listParameters(synth);
    return 0;
  }
  if (command.listPrograms) {
    listPrograms();
    return 0;
  }

  std::vector<RenderEvent> events;
  std::vector<std::pair<int, double>> program;
  if (midiPath.empty()) {
    DemoSong demo = makeDemoSong();
    program = demo.program;
    events = std::move(demo.events);
  } else {
    MidiFile file;
    std::string error;
    if (!readMidiFile(midiPath, file, error)) return fail(error);
    for (const MidiFileEvent& e : file.events) events.push_back({e.seconds, IMidiMsg(0, e.status, e.data1, e.data2)});
    if (file.lengthSeconds > 0) events.push_back({file.lengthSeconds, IMidiMsg(0, 0xF8, 0, 0)});  // the song's end
    if (programIn.empty()) program = {{kPower, 1}};
  }
  if (const double length = songSeconds(events); length > kLongestSongSeconds) {
    char text[160];
    std::snprintf(text, sizeof text, "the song lasts %.0f s; songs of up to %.0f s (one hour) are rendered", length,
                  kLongestSongSeconds);
    return fail(text);
  }
  if (!programIn.empty()) {
    const int factory = readsAsFile(programIn) ? -1 : FactoryBank::find(programIn);
    if (factory >= 0) {
      synth.storeFactoryProgramValues(factory);
      synth.SetCurrentPresetName(FactoryBank::program(factory).name);
    } else if (!readsAsFile(programIn) && access(programIn.c_str(), F_OK) != 0) {
      return fail("no factory program is named \"" + programIn + "\" (--list-programs shows them)");
    } else if (!synth.LoadPresetFromFXP(programIn.c_str())) {
      return fail("cannot load " + programIn + ": not a readable Wobblytone program file");
    }
    if (midiPath.empty()) program.clear();  // the chosen program replaces the demo's
  }
  for (const std::string& s : command.sets) {
    int index = 0;
    double plain = 0;
    std::string error;
    if (!parseParameterSetting(synth, s, index, plain, error)) return fail(error);
    program.emplace_back(index, plain);
  }
  std::fprintf(stderr, "wobblytone-render: %s\n",
               !programIn.empty()   ? ("playing the program " + programIn).c_str()
               : midiPath.empty()   ? "no MIDI file given: rendering the built-in demo with its own program"
                                    : "playing from the factory settings with Power switched on");
  // The program goes in before the first sample the way a host restores a
  // session (so that, say, a unit at 110V that is switched on keeps its fuse).
  for (auto [index, plain] : program) synth.GetParam(index)->Set(plain);
  IByteChunk state;
  synth.SerializeState(state);
  synth.UnserializeState(state, 0);

  // The new WAV is written beside the old one and takes its place only when
  // it is whole; the check that it can be written comes before the render.
  ReplacingWavFile wav(output, static_cast<int>(settings.sampleRate));
  std::string error;
  if (!wav.open(error)) return fail(error);
  watchForInterruptions();
  const bool terminal = isatty(STDERR_FILENO);
  bool writeFailed = false;
  const bool rendered = renderSong(
      synth, events, settings,
      [&](const float* samples, int frames) {
        if (interrupted) return false;
        writeFailed = !wav.write(samples, frames);
        return !writeFailed;
      },
      terminal ? showProgress : nullptr);
  if (interrupted) {
    std::fprintf(stderr, "\nwobblytone-render: interrupted; %s is as it was\n", output.c_str());
    return 128 + interrupted;
  }
  if (!rendered || writeFailed) return fail("writing " + output + " failed; the file is as it was");
  if (!wav.commit(error)) return fail(error);
  std::printf("wobblytone-render: wrote %s (%.1f s at %d Hz)\n", output.c_str(),
              wav.framesWritten() / settings.sampleRate, static_cast<int>(settings.sampleRate));
  if (!programOut.empty()) {
    synth.ModifyCurrentPreset();
    if (!synth.SavePresetAsFXP(programOut.c_str())) return fail("cannot write the program file " + programOut);
    std::printf("wobblytone-render: wrote the program %s\n", programOut.c_str());
  }
  return 0;
}
