// SPDX-License-Identifier: ISC
// The plug-in's declaration to the framework.
#pragma once

#include "framework/plugin_base.h"
#include "instrument/wobblytone_param.h"
#include "wobblytone_identity.h"

namespace Properties {

inline Config wobblytoneConfig() {
  Config c;
  c.nParams = kNumParams;
  c.nPresets = 1;
  c.vendorVersion = Identity::kVersionPacked;
  c.uniqueID = Identity::kPluginCode;
  return c;
}

}  // namespace Properties
