// SPDX-License-Identifier: ISC
// The LV2 editor side, in the same binary as the engine: DPF's UI core and
// its LV2 UI, mended (see patches/dpf/DistrhoUILV2.cpp.patch) so that the
// host's window follows the editor's size through ui:resize.
#include "src/DistrhoUI.cpp"

#define DISTRHO_PLUGIN_AND_UI_IN_SINGLE_OBJECT DISTRHO_PLUGIN_WANT_DIRECT_ACCESS
#include "mended/DistrhoUILV2.cpp"
