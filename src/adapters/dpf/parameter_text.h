// SPDX-License-Identifier: ISC
// The instrument's own texts for parameter values, which the CLAP and VST3
// wrappers show instead of DPF's generic numbers ("0.50" and "1.500" rather
// than "0.500000"), and read back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DistrhoUtils.hpp"

START_NAMESPACE_DISTRHO
// The display text of the plain value `plainValue` of parameter `index` of a
// plug-in instance (DPF's Plugin*); false when there is none.
bool wobblytoneParameterText(void* pluginInstance, uint32_t index, double plainValue, char* text, size_t size);
// A display text (a list text, or a number) read back as a plain value within
// the parameter's range; false when the text is no value of it.
bool wobblytoneParameterValueOfText(void* pluginInstance, uint32_t index, const char* text, double& plainValue);
END_NAMESPACE_DISTRHO
