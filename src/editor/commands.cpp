// SPDX-License-Identifier: ISC
#include "editor/commands.h"

#include <cstdio>
#include <string>

#include "editor/panel_delegate.h"
#include "toolkit/graphics.h"

namespace {

std::string format(const char* pattern, const char* path) {
  char text[1024];
  std::snprintf(text, sizeof text, pattern, path);
  return text;
}

// The folder part of a chosen path becomes the dialogs' folder.
void rememberFolder(const std::string& path) {
  WDL_String folder, file(path.c_str());
  Synth::makeNewFilePath(folder, file);
  Synth::setPathToPrograms(folder.Get());
}

void loadProgram(PanelDelegate& panel, IGraphics& g) {
  FileDialogRequest request{EFileAction::Open, Synth::pathToPrograms(), "", "fxp"};
  g.PromptForFile(request, [&panel, &g](const std::string& path) {
    if (path.empty()) return;
    // Read and checked here; the engine applies it before its next block.
    ProgramImage program;
    const bool loaded = panel.synth.ReadProgramFromFXP(path.c_str(), program) && panel.synth.requestProgram(program);
    rememberFolder(path);
    if (!loaded) g.ShowMessageBox("Cannot load file!", "Error", EMsgBoxType::OK);
  });
}

void saveProgram(PanelDelegate& panel, IGraphics& g) {
  // The preset's name with the characters a file name cannot hold replaced.
  char name[64];
  std::snprintf(name, sizeof name, "%s", panel.synth.GetPresetName(panel.synth.GetCurrentPresetIdx()));
  Synth::replaceIllegalFileChar(name);
  FileDialogRequest request{EFileAction::Save, Synth::pathToPrograms(), name, "fxp"};
  g.PromptForFile(request, [&panel, &g](const std::string& path) {
    if (path.empty()) return;
    panel.synth.ModifyCurrentPreset();
    const bool saved = panel.synth.SavePresetAsFXP(path.c_str());
    rememberFolder(path);
    if (!saved) g.ShowMessageBox("Cannot save file!", "Error", EMsgBoxType::OK);
  });
}

void defaultPath(PanelDelegate& panel, IGraphics& g) {
  std::string folder = Synth::pathToPrograms();
  if (folder.empty()) folder = panel.synth.configFile.homePath.Get();
  FileDialogRequest request{EFileAction::Save, folder, "[file name is ignored]", " "};
  g.PromptForFile(request, [&panel, &g](const std::string& path) {
    if (path.empty()) return;
    WDL_String newFolder, file(path.c_str());
    Synth::makeNewFilePath(newFolder, file);
    Synth::setPathToPrograms(newFolder.Get());
    if (!panel.synth.storeProgramPath(&newFolder)) g.ShowMessageBox("Cannot save file!", "Error", EMsgBoxType::OK);
  });
}

}  // namespace

void saveWindowSize(PanelDelegate& panel, IGraphics& g) {
  // The scale drawn now, so that a size set with the corner is saved too.
  panel.synth.configFile.windowScale = g.GetDrawScale();
  panel.synth.saveConfig(Synth::ConfigPart::windowScale);
  g.ShowMessageBox(format("The current window size was saved to the INI configuration file:\n%s",
                          panel.synth.configFile.iniPath.Get())
                       .c_str(),
                   "Save Window Size", EMsgBoxType::OK);
}

void runCommand(PanelDelegate& panel, IGraphics& g, File::Command command) {
  Wobblytone& synth = panel.synth;
  if (Synth::pathToPrograms().empty()) Synth::setPathToPrograms(synth.configFile.programPath.Get());

  switch (command) {
    case File::kCmdInitialize:
      g.ShowMessageBox("Do you really want to initialize the current settings?", "Initialize Settings",
                       EMsgBoxType::YesNo, [&synth](EMsgBoxResult r) {
                         if (r != EMsgBoxResult::No) synth.requestInitialize();
                       });
      break;
    case File::kCmdLoadProgram: loadProgram(panel, g); break;
    case File::kCmdSaveProgram: saveProgram(panel, g); break;
    case File::kCmdDefaultPath: defaultPath(panel, g); break;
    case File::kCmdReloadConfig:
      g.ShowMessageBox(format("The INI configuration file is:\n%s\n\nDo you really want to reload it?", synth.configFile.iniPath.Get())
                           .c_str(),
                       "Reload Configuration", EMsgBoxType::YesNo, [&synth](EMsgBoxResult r) {
                         if (r == EMsgBoxResult::Yes) synth.reloadConfig();
                       });
      break;
    case File::kCmdSaveConfig:
      g.ShowMessageBox(
          format("The INI configuration file is:\n%s\n\nDo you really want to overwrite it?", synth.configFile.iniPath.Get()).c_str(),
          "Save Configuration", EMsgBoxType::YesNo, [&synth, graphics = &g](EMsgBoxResult r) {
            if (r != EMsgBoxResult::Yes) return;
            // The scale drawn now, as "Save Window Size" saves it.
            synth.configFile.windowScale = graphics->GetDrawScale();
            synth.saveConfig(Synth::ConfigPart::everything);
          });
      break;
    case File::kCmdSaveWindowSize: saveWindowSize(panel, g); break;
    case File::kCmdMidiThru:
      synth.configFile.midiThru.store(!synth.configFile.midiThru.load());
      synth.saveConfig(Synth::ConfigPart::midiThru);
      break;
    case File::kCmdIgnoreProgramChange:
      synth.configFile.ignoreProgramChange.store(!synth.configFile.ignoreProgramChange.load());
      synth.saveConfig(Synth::ConfigPart::ignoreProgramChange);
      break;
    case File::kCmdCheckForUpdate: synth.checkVersionAgainstWeb(); break;
    case File::kCmdVisitWebSite: g.OpenURL(kMakerWebSite); break;
    default:
      if (const int size = command - File::kCmdFirstWindowSize; size >= 0 && size < GUI::kNumGUISizes) {
        synth.resizeUI(static_cast<GUI::GUISize>(size));
      } else {
        // The engine applies it before its next block and tells the host
        // every value; the editor names the slot when it sees it applied.
        synth.requestFactoryProgram(command - File::kCmdFirstFactoryProgram);
      }
      break;
  }
}
