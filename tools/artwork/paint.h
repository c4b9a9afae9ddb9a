// SPDX-License-Identifier: ISC
// Small drawing helpers shared by every part of the artwork: colours, paths,
// gradients, angles and per-pixel blending. Angles are in degrees clockwise
// from 12 o'clock, as a knob's pointer turns.
#pragma once

#include <cairo.h>

#include <initializer_list>

#include "image.h"

struct Colour {
  double r = 0, g = 0, b = 0, a = 1;
  // This colour moved towards `other` by t (0 = this, 1 = other).
  Colour mix(const Colour& other, double t) const;
  // Brightness scaled by k, alpha kept.
  Colour scaled(double k) const;
  Colour withAlpha(double alpha) const { return {r, g, b, alpha}; }
};

Colour grey(double level, double alpha = 1);

void setColour(cairo_t* cr, const Colour& colour);
void addStop(cairo_pattern_t* pattern, double offset, const Colour& colour);

struct GradientStop {
  double offset;
  Colour colour;
};
cairo_pattern_t* linearGradient(double x0, double y0, double x1, double y1);
cairo_pattern_t* radialGradient(double cx0, double cy0, double r0, double cx1, double cy1, double r1);
// Gives the new `pattern` these stops and makes it the source; the context
// keeps the only reference, so nothing is left to free.
void setGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<GradientStop> stops);

void addRoundedRect(cairo_t* cr, const Rect& rect, double radius);
void addCircle(cairo_t* cr, double cx, double cy, double radius);

struct Point {
  double x = 0, y = 0;
};

// The point `radius` from the centre in the direction `degrees`.
Point polar(double cx, double cy, double radius, double degrees);
double radians(double degrees);

// Draws `colour` over the premultiplied pixel with the given coverage.
void blendOver(uint32_t& pixel, const Colour& colour, double coverage);

// The straight colour of a premultiplied pixel.
Colour unpack(uint32_t pixel);

// Coverage of a pixel centre at distance d from the centre of a disc of
// radius r: a one-pixel ramp, so per-pixel discs are anti-aliased.
double discCoverage(double d, double r);

// A soft round shadow: black whose alpha falls off around `radius` with the
// given softness, at most `opacity`, centred at (cx, cy).
void paintSoftDisc(Image& image, double cx, double cy, double radius, double softness, double opacity);

// Paints `source` onto the context with its top-left at (x, y).
void paintImage(cairo_t* cr, const Image& source, double x, double y);
