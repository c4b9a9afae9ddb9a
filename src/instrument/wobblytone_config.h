// SPDX-License-Identifier: ISC
// The plug-in's declaration to the framework.
#pragma once

#include "host/plugin_base.h"
#include "wobblytone_param.h"

namespace Properties {

constexpr int kVersionMajor = 0, kVersionMinor = 8, kVersionPatch = 15;
constexpr int kVersion = kVersionMajor << 16 | kVersionMinor << 8 | kVersionPatch;  // 0x080F

inline Config wobblytoneConfig() {
  Config c;
  c.nParams = kNumParams;
  c.nPresets = 1;
  c.channelIOStr = "0-2";
  c.pluginName = "Wobblytone";
  c.productName = "Wobblytone";
  c.mfrName = "Marlpit Music";
  c.vendorVersion = kVersion;
  c.uniqueID = "Wbtn";
  c.mfrID = "Mrlp";
  c.latency = 0;
  c.plugDoesMidiIn = true;
  c.plugDoesChunks = true;
  c.plugIsInstrument = true;
  c.plugHasUI = true;
  c.plugWidth = 976;
  c.plugHeight = 508;
  c.plugMinWidth = 325;
  c.plugMinHeight = 169;
  c.plugMaxWidth = 2928;
  c.plugMaxHeight = 1524;
  c.bundleID = "com.marlpitmusic.wobblytone";
  return c;
}

}  // namespace Properties
