// SPDX-License-Identifier: ISC
#include "synth/config_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/swell_ini.h"
#include "platform/user_folders.h"

namespace {

constexpr const char* kMakerFolder = "MarlpitMusic";
constexpr const char* kConfigName = "/wobblytone.ini";

bool copyFile(const std::string& from, FILE* to) {
  FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) return false;
  char buffer[8192];
  bool ok = true;
  size_t n;
  while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) ok = std::fwrite(buffer, 1, n, to) == n;
  std::fclose(in);
  return ok;
}


}  // namespace

bool ConfigFile::locate() {
  homePath.Set(userFolders::home().c_str());
  programPath.Set(homePath.Get());
  // Without any home folder there is no place for the configuration: the
  // defaults stay, and nothing is written (not at the file system's root).
  const std::string music = userFolders::music();
  if (music.empty()) {
    iniPath.Set("");
    return false;
  }
  WDL_String folder;
  folder.SetFormatted(1023, "%s/%s", music.c_str(), kMakerFolder);
  // Created with folders 0775 under the user's own file-creation mask: the
  // mask belongs to the host process and is never changed here.
  if (!userFolders::exists(folder.Get())) userFolders::makeFolders(folder.Get());
  iniPath.Set(folder.Get());
  iniPath.Append(kConfigName);

  if (userFolders::exists(iniPath.Get())) return true;
  FILE* file = std::fopen(iniPath.Get(), "wb");
  if (!file) return true;  // no configuration: the defaults stay, later writes fail quietly
  WDL_String older;
  older.SetFormatted(1023, "%s/Library/Application Support/%s", homePath.Get(), kMakerFolder);
  older.Append(kConfigName);
  copyFile(older.Get(), file);
  std::fclose(file);
  return true;
}

bool ConfigFile::read(int (&controllers)[kNumControllers], bool& scaleRead) {
  scaleRead = false;
  if (!*iniPath.Get()) return false;  // no home folder: the defaults stay
  std::vector<char> text(1024);
  GetPrivateProfileString("Editor", "Scale", "", text.data(), static_cast<int>(text.size()), iniPath.Get());
  if (text[0]) {
    // Only a scale the corner could have set: finite, above 0 and at most 2.
    const float scale = static_cast<float>(std::atof(text.data()));
    if (std::isfinite(scale) && scale > 0 && scale <= 2.0f) {
      windowScale = scale;
      scaleRead = true;
    }
  }
  // Folder paths are read whole (a longer limit than the scale's would cut
  // most real paths).
  std::vector<char> path(4096);
  GetPrivateProfileString("Global", "Path to Program Files", "", path.data(), static_cast<int>(path.size()),
                          iniPath.Get());
  if (path[0]) programPath.Set(path.data());

  auto readOption = [&](const char* key, std::atomic<bool>& option) {
    GetPrivateProfileString("MIDI Global", key, option.load() ? "true" : "false", text.data(),
                            static_cast<int>(text.size()), iniPath.Get());
    if (text[0]) option.store(std::strcmp(text.data(), "true") == 0);
  };
  readOption("MIDI Thru", midiThru);
  readOption("Ignore Program Change", ignoreProgramChange);

  char key[16], value[64];
  for (int cc = 0; cc < kNumControllers; ++cc) {
    std::snprintf(key, sizeof key, "CC%i", cc);
    GetPrivateProfileString("MIDI Control", key, "-1", value, sizeof value, iniPath.Get());
    if (!value[0]) continue;
    // The leading decimal integer; a text that gives 0 without starting
    // with '0' is no number and leaves the controller unbound.
    const long v = std::strtol(value, nullptr, 10);
    const bool number = v != 0 || value[0] == '0';
    controllers[cc] = number && v >= -2147483647L && v <= 2147483647L ? static_cast<int>(v) : -1;
  }
  return true;
}

bool ConfigFile::save(Part part, const int (&controllers)[kNumControllers]) {
  if (!*iniPath.Get()) return false;  // no home folder: nothing is written
  const auto writes = [part](Part p) { return part == Part::everything || part == p; };
  char text[64];
  if (writes(Part::windowScale)) {
    std::snprintf(text, sizeof text, "%f", windowScale);
    WritePrivateProfileString("Editor", "Scale", text, iniPath.Get());
  }
  if (writes(Part::midiThru))
    WritePrivateProfileString("MIDI Global", "MIDI Thru", midiThru ? "true" : "false", iniPath.Get());
  if (writes(Part::ignoreProgramChange))
    WritePrivateProfileString("MIDI Global", "Ignore Program Change", ignoreProgramChange ? "true" : "false",
                              iniPath.Get());
  if (part == Part::everything) {
    WritePrivateProfileSection("MIDI Control", "\0", iniPath.Get());
    char key[16];
    for (int cc = 0; cc < kNumControllers; ++cc) {
      const int param = controllers[cc];
      if (param < 0) continue;
      std::snprintf(key, sizeof key, "CC%i", cc);
      std::snprintf(text, sizeof text, "%i", param);
      WritePrivateProfileString("MIDI Control", key, text, iniPath.Get());
    }
  }
  return true;
}

bool ConfigFile::storeProgramPath(WDL_String* path) {
  if (path) programPath.Set(path->Get());
  if (!*iniPath.Get()) return false;
  return WritePrivateProfileString("Global", "Path to Program Files", programPath.Get(), iniPath.Get());
}
