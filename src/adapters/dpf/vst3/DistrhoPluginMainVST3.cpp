// SPDX-License-Identifier: ISC
// The VST3 entry: DPF's plug-in core and its VST3 wrapper, mended (see
// patches/dpf/DistrhoPluginVST3.cpp.patch).
#include "src/DistrhoPlugin.cpp"
#include "mended/DistrhoPluginVST3.cpp"

#define DISTRHO_IS_STANDALONE 0
#include "src/DistrhoUtils.cpp"
