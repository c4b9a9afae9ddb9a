// SPDX-License-Identifier: ISC
// The factory bank as a wrapper lists it to hosts without an instance at
// hand (the VST3 unit's program list): the same for every instance.
#pragma once

#include <cstdint>

#include "DistrhoUtils.hpp"

START_NAMESPACE_DISTRHO
uint32_t wobblytoneProgramCount();
// The name of program `index`, or nullptr past the bank.
const char* wobblytoneProgramName(uint32_t index);
END_NAMESPACE_DISTRHO
