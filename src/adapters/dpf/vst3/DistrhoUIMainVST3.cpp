// SPDX-License-Identifier: ISC
// The VST3 editor side: DPF's UI core and its VST3 view, mended (see
// patches/dpf/DistrhoUIVST3.cpp.patch): the view keeps within the editor's
// largest size, and takes a size its host granted without calling onSize.
#include "src/DistrhoUI.cpp"

#define DISTRHO_PLUGIN_AND_UI_IN_SINGLE_OBJECT 1
#include "mended/DistrhoUIVST3.cpp"
