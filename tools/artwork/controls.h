// SPDX-License-Identifier: ISC
// Painters for one frame of each control bitmap. Each draws into a fresh,
// transparent image of the frame's size; the light falls from the top left
// and stays there whatever angle a knob turns to.
#pragma once

#include "image.h"
#include "paint.h"
#include "text.h"

// --- Knobs (knobs.cpp) ------------------------------------------------------
struct KnobSize {
  int frame;           // the square frame's side
  double skirt, body;  // radii of the skirt and of the knurled body
  double cap;          // radius of the metal cap
};
constexpr KnobSize kKnob{96, 34, 24, 14.5};
constexpr KnobSize kBigKnob{112, 40, 28, 17};

// The pointer sweeps from -135 degrees (frame 1) to +135 degrees (last frame).
constexpr double kKnobSweep = 135;
// The six positions of the rotary switch.
constexpr double kRotaryAngles[6] = {-100, -60, -20, 20, 60, 100};
constexpr double kRotaryBaseRadius = 27;

// The angle of frame `frame` (0-based) of `frames` spread evenly over the sweep.
double sweepAngle(int frame, int frames);

void drawKnob(Image& image, const KnobSize& size, double angle);
void drawBrokenKnob(Image& image, double angle);
void drawRotarySwitch(Image& image, double angle);
// The soft shadow beneath a round control of the given radius.
void drawRoundShadow(Image& image, double radius);

// --- Switches (switches.cpp) ------------------------------------------------
struct RockerLook {
  Colour paddle;
  bool ribbed = false;  // the power switch's paddle has grip ribs
};
// A rocker filling the image; `vertical` rockers turn up for the second
// state, horizontal ones to the right.
void drawRocker(Image& image, const RockerLook& look, bool vertical, bool secondState);
// The mains-voltage slide switch: a slotted plate with the slider left or right.
void drawSlideSwitch(Image& image, bool right);
// A push switch with a word on it, dark or lit.
void drawPushSwitch(Image& image, const Font& font, const char* word, bool lit);

// --- Lamps, wheel, logo (fixtures.cpp) ---------------------------------------
struct LampLook {
  Colour lit;    // the jewel's glowing colour
  Colour unlit;  // the same jewel dark
  double bezelWidth;
};
extern const LampLook kOverloadLamp;
extern const LampLook kPowerLamp;
// A round lamp filling a square area of `side` at (x, y) of the context.
void drawLamp(cairo_t* cr, double x, double y, double side, const LampLook& look, bool lit);
// The ribbed ridge of a wheel, seen from above, filling the image.
void drawWheelHandle(Image& image);
// The maker's emblem and name.
void drawMakerLogo(Image& image, const Font& font);
