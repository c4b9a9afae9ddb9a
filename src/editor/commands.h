// SPDX-License-Identifier: ISC
// The option menu's commands: program files, configuration, MIDI options,
// the window size and the online functions. Dialogs and message boxes go
// through the caller's graphics context and continue the command when the
// user answers.
#pragma once

#include "wobblytone_identity.h"

class IControl;
class IGEditorDelegate;

namespace File {
// The values are the items' positions in the option menu, shifted for the
// sub-menus.
enum Command {
  kCmdInitialize = 0,
  kCmdLoadProgram = 2,
  kCmdSaveProgram = 3,
  kCmdDefaultPath = 4,
  kCmdReloadConfig = 7,
  kCmdSaveConfig = 8,
  kCmdSaveWindowSize = 11,
  kCmdMidiThru = 14,
  kCmdIgnoreProgramChange = 15,
  kCmdCheckForUpdate = 16,
  kCmdVisitWebSite = 17,
};
}  // namespace File

// The maker's site, opened by "Visit …".
constexpr const char* kMakerWebSite = Identity::kSite;

void runCommand(IGEditorDelegate* delegate, IControl* caller, File::Command command);
// Saves the editor scale to the configuration file and says where.
void saveWindowSize(IGEditorDelegate* delegate, IControl* caller);
