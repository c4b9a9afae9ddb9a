// SPDX-License-Identifier: ISC
// How the wrappers hand a state they have read and checked to the
// instrument: as one restore, or not at all.
#pragma once

#include "DistrhoUtils.hpp"
#include "adapters/dpf/saved_state.h"

START_NAMESPACE_DISTRHO
// Applies `state` to a plug-in instance (DPF's Plugin*) as one restore: its
// "chunk" (strict base64) and then the listed parameter values. False, with
// nothing changed, when the chunk is no valid base64.
bool wobblytoneRestoreSavedState(void* pluginInstance, const SavedState& state);
// Whether the plug-in takes this value for one of its state entries (for the
// LV2 restore, which hands them over one by one): the "chunk" must be strict
// base64. Keys it does not know are taken, and ignored.
bool wobblytoneAcceptsStateValue(void* pluginInstance, const char* key, const char* value);
END_NAMESPACE_DISTRHO
