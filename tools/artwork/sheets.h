// SPDX-License-Identifier: ISC
// Two pictures for checking the artwork by eye: a contact sheet of every
// bitmap with its name, and the panel as the editor would first show it.
#pragma once

#include <string>
#include <vector>

#include "bitmaps.h"
#include "image.h"
#include "text.h"

struct RenderedStrip {
  const StripRecipe* recipe;
  const Image* image;
};

// Every strip (short ones with all frames side by side, long ones with
// five frames from first to last) and the background scaled down, each
// captioned, on mid grey.
Image makeContactSheet(const std::vector<RenderedStrip>& strips, const Image& back, const Font& font);

// The background with every control's first frame, their shadows, the
// wheel handles and the keys in place.
Image makePanelPreview(const std::vector<RenderedStrip>& strips, const Image& back);
