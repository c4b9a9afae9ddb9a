// SPDX-License-Identifier: ISC
// How the editor in the same process reaches the running engine: DPF's
// direct access hands the UI the plug-in instance, and these turn it into
// the engine and its resource folder.
#pragma once

#include <string>

#include "DistrhoUtils.hpp"

class Wobblytone;

START_NAMESPACE_DISTRHO
Wobblytone* wobblytoneEngineOf(void* pluginInstance);
std::string wobblytoneResourcesOf(void* pluginInstance);
END_NAMESPACE_DISTRHO
