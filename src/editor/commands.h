// SPDX-License-Identifier: ISC
// The option menu's commands: program files, configuration, MIDI options,
// the window size and the online functions. Dialogs and message boxes go
// through the caller's graphics context and continue the command when the
// user answers.
#pragma once

#include "synth/gui_size.h"
#include "wobblytone_identity.h"

class IGraphics;
class PanelDelegate;

namespace File {
// What the items of the option and size menus do.
enum Command {
  kCmdInitialize,
  kCmdLoadProgram,
  kCmdSaveProgram,
  kCmdDefaultPath,
  kCmdReloadConfig,
  kCmdSaveConfig,
  kCmdSaveWindowSize,
  kCmdMidiThru,
  kCmdIgnoreProgramChange,
  kCmdCheckForUpdate,
  kCmdVisitWebSite,
  // One per window size, in GUI::GUISize's order.
  kCmdFirstWindowSize,
  // One per factory program, in the bank's order.
  kCmdFirstFactoryProgram = kCmdFirstWindowSize + GUI::kNumGUISizes,
};
}  // namespace File

// The maker's site, opened by "Visit …".
constexpr const char* kMakerWebSite = Identity::kSite;

// `g` is the editor's graphics context, for its dialogs and message boxes.
void runCommand(PanelDelegate& panel, IGraphics& g, File::Command command);
// Saves the editor scale to the configuration file and says where.
void saveWindowSize(PanelDelegate& panel, IGraphics& g);
