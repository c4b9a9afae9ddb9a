// SPDX-License-Identifier: ISC
#include "adapters/offline/render_command_line.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const kRenderUsage =
    "usage: wobblytone-render [options] [MIDI-FILE]\n"
    "  -o, --output FILE.wav     WAV to write (default wobblytone.wav)\n"
    "  -r, --rate HZ             sample rate (default 48000)\n"
    "  -b, --block N             host block size (default 512)\n"
    "  -p, --program PROGRAM     start from a factory program (its name, see --list-programs)\n"
    "                            or from a program file (a path, or a name ending in .fxp)\n"
    "  -s, --set NAME=VALUE      set a parameter by display name or index + 1, to a plain value\n"
    "                            or a list text (\"Osc-1 Waveform=Square\", \"Cutoff=0.4\"); repeatable\n"
    "      --tail SECONDS        render this long after the last MIDI event (default 2)\n"
    "      --seed N              seed the instance's random generator for a reproducible render\n"
    "      --save-program F.fxp  write the final state as a program file\n"
    "      --list-params         print the parameter table and exit\n"
    "      --list-programs       print the factory bank and exit\n"
    "  -h, --help                show this help\n"
    "With no MIDI file it renders the built-in demo song with its own program.\n";

namespace {

bool parseNumber(const char* text, double low, double high, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(out) && out >= low && out <= high;
}

bool parseWhole(const char* text, double low, double high, double& out) {
  return text && parseNumber(text, low, high, out) && out == std::floor(out);
}

}  // namespace

bool parseRenderCommandLine(int argc, const char* const* argv, RenderCommand& command, std::string& error) {
  command = RenderCommand();
  auto failWith = [&](const std::string& message) {
    error = message;
    return false;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    double number = 0;
    if (arg == "-h" || arg == "--help") {
      command.help = true;
      return true;
    } else if (arg == "-o" || arg == "--output") {
      const char* v = value();
      if (!v || !*v) return failWith("-o needs a file name");
      command.output = v;
    } else if (arg == "-r" || arg == "--rate") {
      if (!parseWhole(value(), 1000, 384000, number))
        return failWith("--rate needs a whole number of Hz from 1000 to 384000");
      command.settings.sampleRate = number;
    } else if (arg == "-b" || arg == "--block") {
      if (!parseWhole(value(), 1, 65536, number)) return failWith("--block needs a whole number of frames from 1 to 65536");
      command.settings.blockSize = static_cast<int>(number);
    } else if (arg == "-p" || arg == "--program") {
      const char* v = value();
      if (!v || !*v) return failWith("--program needs a factory program's name or a program file");
      command.programIn = v;
    } else if (arg == "--save-program") {
      const char* v = value();
      if (!v || !*v) return failWith("--save-program needs a file name");
      command.programOut = v;
    } else if (arg == "-s" || arg == "--set") {
      const char* v = value();
      if (!v) return failWith("--set needs NAME=VALUE");
      command.sets.push_back(v);
    } else if (arg == "--tail") {
      const char* v = value();
      if (!v || !parseNumber(v, 0, 3600, number)) return failWith("--tail needs a number of seconds from 0 to 3600");
      command.settings.tailSeconds = number;
    } else if (arg == "--seed") {
      if (!parseWhole(value(), 0, 4294967295.0, number))
        return failWith("--seed needs a whole number from 0 to 4294967295");
      command.settings.seed = static_cast<uint32_t>(number);
    } else if (arg == "--list-params") {
      command.listParameters = true;
    } else if (arg == "--list-programs") {
      command.listPrograms = true;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return failWith("unknown option " + arg + "\n" + kRenderUsage);
    } else if (command.midiPath.empty()) {
      if (arg.empty()) return failWith("the MIDI file name is empty");
      command.midiPath = arg;
    } else {
      return failWith("only one MIDI file, please (got " + command.midiPath + " and " + arg + ")");
    }
  }
  return true;
}
