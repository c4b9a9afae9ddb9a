// SPDX-License-Identifier: ISC
// The legends printed round the controls: each control's parameter name,
// a knob's scale, a switch's position texts and a rotary's waveform
// symbols. Every text comes from the engine's own parameter table. Each
// printed box is logged, so the layout can be checked for collisions.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "engine_params.h"
#include "image.h"
#include "layout.h"
#include "paint.h"
#include "text.h"

// The printing ink of the panel.
extern const Colour kInk;

struct PrintedBox {
  Rect box;
  int owner;  // the control's index, or a negative number for the panel's own texts
  std::string text;
};

// Something on the panel legends must keep clear of: a round control's
// circle or another part's rectangle.
struct Obstacle {
  int owner;
  bool round;
  double cx, cy, radius;
  Rect rect;
  std::string what;
};

class LegendLog {
 public:
  void add(const Rect& box, int owner, const std::string& text) { mBoxes.push_back({box, owner, text}); }
  const std::vector<PrintedBox>& boxes() const { return mBoxes; }
  // One line per text that collides with another owner's text or with any
  // obstacle; empty when the layout is clean.
  std::vector<std::string> collisions(const std::vector<Obstacle>& obstacles) const;

 private:
  std::vector<PrintedBox> mBoxes;
};

struct LegendPrinter {
  cairo_t* cr;
  const Font& font;
  const std::vector<ParamFacts>& params;
  LegendLog& log;

  // Prints one line in the ink and logs it.
  Rect print(const std::string& text, const TextStyle& style, double x, double yMiddle, Align align, int owner);
};

// Prints every legend of control `index`; false with a message when the
// engine's texts do not fit the control (a rotary needs six, a switch two)
// or a waveform has no symbol.
bool printControlLegends(LegendPrinter& printer, int index, std::string& error);

// The obstacles the panel's controls and fixed areas make.
std::vector<Obstacle> panelObstacles();

// A list text as the panel prints it: words in capitals, but texts with
// figures (110V/60Hz) as they are.
std::string legendCase(const std::string& text);
