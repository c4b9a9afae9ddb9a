// SPDX-License-Identifier: ISC
// The CLAP entry: DPF's plug-in core and its CLAP wrapper, mended (see
// patches/dpf/DistrhoPluginCLAP.cpp.patch).
#include "src/DistrhoPlugin.cpp"
#include "mended/DistrhoPluginCLAP.cpp"

#define DISTRHO_IS_STANDALONE 0
#include "src/DistrhoUtils.cpp"
