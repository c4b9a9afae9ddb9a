// SPDX-License-Identifier: ISC
// The control bitmaps: one table of every strip file with its frame count,
// frame size and painter. A strip stacks its frames top to bottom.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image.h"
#include "text.h"

struct StripRecipe {
  std::string file;
  int frames, width, height;
  std::function<void(Image& frame, int index)> paint;
};

std::vector<StripRecipe> controlStrips(const Font& font);

// Paints every frame into its own transparent image and stacks them.
Image renderStrip(const StripRecipe& recipe);
