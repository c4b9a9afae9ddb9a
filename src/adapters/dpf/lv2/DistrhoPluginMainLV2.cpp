// SPDX-License-Identifier: ISC
// The LV2 plug-in side: DPF's plug-in core and its LV2 wrapper, mended (see
// patches/dpf/DistrhoPluginLV2.cpp.patch and DistrhoPluginLV2export.cpp.patch):
// a requested parameter change names the parameter's port, succeeds only when
// a host took it, a host without block-length options gets a default quietly,
// and the editor declares that it can be resized.
#include "src/DistrhoPlugin.cpp"
#include "mended/DistrhoPluginLV2.cpp"
#include "mended/DistrhoPluginLV2export.cpp"

#define DISTRHO_IS_STANDALONE 0
#include "src/DistrhoUtils.cpp"
