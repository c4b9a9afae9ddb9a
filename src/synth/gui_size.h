// SPDX-License-Identifier: ISC
// The editor's six window sizes.
#pragma once

namespace GUI {
enum GUISize { kGUISize50 = 0, kGUISize75, kGUISize100, kGUISize200, kGUISize400, kGUISize800, kNumGUISizes };
}  // namespace GUI
