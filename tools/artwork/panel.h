// SPDX-License-Identifier: ISC
// The panel background, back.jpg: charcoal grained panel, walnut cheeks,
// the keyboard bed, the fixed fittings (message strip, readout, wheel
// slots, dark lamps) and every legend.
#pragma once

#include <string>
#include <vector>

#include "engine_params.h"
#include "image.h"
#include "legends.h"
#include "text.h"

// Draws the whole background. Legends are logged in `log`; false with a
// message when the engine's texts do not fit the controls.
bool drawPanel(Image& panel, const Font& font, const std::vector<ParamFacts>& params, LegendLog& log,
               std::string& error);
