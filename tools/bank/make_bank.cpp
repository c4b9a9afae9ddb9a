// SPDX-License-Identifier: ISC
// Turns the factory bank (programs/factory.bank) into the instrument's table
// of programs and the contact sheet, docs/programs.md.
//
//   wobblytone-make-bank BANK TABLE.inc PROGRAMS.md
//
// A program names parameters by their display names and sets them to list
// texts or plain values; whatever it leaves out stays where the unit is
// ready to play. Any fault in the file (an unknown name, a value off its
// list, range or step, a program without its category) stops the build with
// the file's line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/wobblytone_param.h"
#include "quoted_string.h"

namespace {

struct Program {
  std::string name, category, about, kind = "plain";
  int lowestNote = -1, highestNote = -1;
  double wheel = 0;
  double values[kNumParams] = {};
  std::set<std::string> keys;
  int line = 0;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
  std::cerr << file << ":" << line << ": " << what << "\n";
  std::exit(1);
}

std::string trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

// The whole text is one finite number.
bool readNumber(const std::string& text, double& out) {
  if (text.empty()) return false;
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> out;
  return !in.fail() && in.eof() && std::isfinite(out);
}

// Where a program starts when its lines change nothing: every parameter at
// its default, with the unit powered at 220 V, its fuse intact and warm.
void setReadyToPlay(double (&values)[kNumParams]) {
  for (int i = 0; i < kNumParams; ++i) values[i] = parameterTable()[i].defaultValue;
  values[kPower] = 1;
  values[kVoltage] = 1;
  values[kFuse] = 0;
  values[kWarmUp] = 2;
}

int parameterNamed(const std::string& name) {
  for (int i = 0; i < kNumParams; ++i)
    if (name == parameterTable()[i].name) return i;
  return -1;
}

// A list text, or a plain value inside the range and on the step.
bool valueOf(const ParamDeclaration& p, const std::string& text, double& value, std::string& why) {
  if (p.texts) {
    for (size_t i = 0; i < p.texts->size(); ++i)
      if (text == (*p.texts)[i]) {
        value = static_cast<double>(i);
        return true;
      }
    why = "is one of";
    for (const std::string& t : *p.texts) why += " \"" + t + "\"";
    return false;
  }
  if (!readNumber(text, value)) {
    why = "takes a number";
    return false;
  }
  if (value < p.minValue || value > p.maxValue) {
    why = "runs from " + std::to_string(p.minValue) + " to " + std::to_string(p.maxValue);
    return false;
  }
  const double steps = (value - p.minValue) / p.step;
  if (std::fabs(steps - std::round(steps)) > 1e-6) {
    why = "moves in steps of " + std::to_string(p.step);
    return false;
  }
  return true;
}

std::vector<Program> readBank(const std::string& file) {
  std::ifstream in(file);
  if (!in) fail(file, 0, "cannot be read");
  std::vector<Program> bank;
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    const std::string text = trim(raw);
    if (text.empty() || text[0] == '#') continue;
    if (text.front() == '[') {
      if (text.back() != ']') fail(file, line, "a program's name stands in [ ]");
      Program p;
      p.name = trim(text.substr(1, text.size() - 2));
      p.line = line;
      if (p.name.empty() || p.name.size() > 28) fail(file, line, "a name has 1 to 28 characters");
      for (const Program& other : bank)
        if (other.name == p.name) fail(file, line, "\"" + p.name + "\" is there twice");
      setReadyToPlay(p.values);
      bank.push_back(p);
      continue;
    }
    if (bank.empty()) fail(file, line, "a setting before the first program");
    const size_t eq = text.find('=');
    if (eq == std::string::npos) fail(file, line, "a setting is NAME = VALUE");
    const std::string key = trim(text.substr(0, eq)), value = trim(text.substr(eq + 1));
    Program& p = bank.back();
    if (!p.keys.insert(key).second) fail(file, line, "\"" + key + "\" is set twice in \"" + p.name + "\"");
    if (key == "category") {
      p.category = value;
    } else if (key == "about") {
      p.about = value;
    } else if (key == "kind") {
      if (value != "effect" && value != "overdrive") fail(file, line, "kind is \"effect\" or \"overdrive\"");
      p.kind = value;
    } else if (key == "wheel") {
      if (!readNumber(value, p.wheel) || p.wheel < 0 || p.wheel > 1) fail(file, line, "wheel runs from 0 to 1");
    } else if (key == "notes") {
      const size_t dash = value.find('-');
      double lo = 0, hi = 0;
      if (dash == std::string::npos || !readNumber(value.substr(0, dash), lo) ||
          !readNumber(value.substr(dash + 1), hi) || lo < 0 || hi > 127 || lo > hi || lo != std::floor(lo) ||
          hi != std::floor(hi))
        fail(file, line, "notes are LOWEST-HIGHEST, MIDI note numbers");
      p.lowestNote = static_cast<int>(lo);
      p.highestNote = static_cast<int>(hi);
    } else {
      const int index = parameterNamed(key);
      if (index < 0) fail(file, line, "no parameter is named \"" + key + "\"");
      std::string why;
      if (!valueOf(parameterTable()[index], value, p.values[index], why))
        fail(file, line, "\"" + key + "\" " + why);
    }
  }
  if (bank.empty()) fail(file, line, "holds no program");
  if (bank.size() > 128) fail(file, line, "holds more than a Program Change can reach (128)");
  for (const Program& p : bank)
    if (p.category.empty() || p.about.empty() || p.lowestNote < 0)
      fail(file, p.line, "\"" + p.name + "\" needs a category, an about line and its notes");
  return bank;
}

void writeTable(const std::vector<Program>& bank, const std::string& path) {
  std::ofstream out(path);
  out << "// Written by wobblytone-make-bank from programs/factory.bank: edit that file.\n";
  out.imbue(std::locale::classic());
  out.precision(17);
  for (const Program& p : bank) {
    out << "{" << quotedString(p.name) << ", " << quotedString(p.category) << ", " << quotedString(p.about)
        << ", FactoryProgram::Kind::" << p.kind << ", " << p.lowestNote << ", " << p.highestNote << ", " << p.wheel
        << ", {";
    for (int i = 0; i < kNumParams; ++i) out << (i ? ", " : "") << p.values[i];
    out << "}},\n";
  }
  if (!out) fail(path, 0, "cannot be written");
}

void writeContactSheet(const std::vector<Program>& bank, const std::string& path) {
  std::ofstream out(path);
  out << "# Factory programs\n\n"
      << "Written by `wobblytone-make-bank` from `programs/factory.bank`; edit that file, not this one.\n\n"
      << "A program sets the 46 parameters and nothing else: the unit's broken knobs and keys stay as they\n"
      << "are. Choose one in the editor (option menu, \"Factory Programs\"), in the host's preset list, with\n"
      << "`wobblytone-render --program NAME`, or by MIDI Program Change: the number in the first column\n"
      << "(counted from 0, as the message carries it; hosts that count from 1 show it one higher).\n\n"
      << "| Program Change | Name | Category | What it is for |\n"
      << "|---|---|---|---|\n";
  for (size_t i = 0; i < bank.size(); ++i) {
    const Program& p = bank[i];
    std::string about = p.about;
    if (p.wheel > 0) {
      char wheel[64];
      std::snprintf(wheel, sizeof wheel, " (mod wheel at %d %%)", static_cast<int>(std::lround(p.wheel * 100)));
      about += wheel;
    }
    out << "| " << i << " | " << p.name << " | " << p.category << " | " << about << " |\n";
  }
  if (!out) fail(path, 0, "cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: wobblytone-make-bank BANK TABLE.inc PROGRAMS.md\n";
    return 2;
  }
  const std::vector<Program> bank = readBank(argv[1]);
  writeTable(bank, argv[2]);
  writeContactSheet(bank, argv[3]);
  return 0;
}
