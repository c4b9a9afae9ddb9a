// SPDX-License-Identifier: ISC
// The knobs: a black skirted knob with a knurled body, a white pointer and a
// brushed metal cap; its broken twin; the bar knob of the rotary switch; and
// their shadows.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "controls.h"
#include "noise.h"

namespace {

constexpr double kLightAngle = -45;  // the light comes from the top left
const Colour kPointerWhite{0.95, 0.93, 0.87};

// How much a surface facing `degrees` faces the light: -1 .. 1.
double facing(double degrees) { return std::cos(radians(degrees - kLightAngle)); }

double angleOf(double dx, double dy) { return std::atan2(dx, -dy) * 180 / std::numbers::pi; }

// The black skirt: a wide flange, lit from the top left.
void fillSkirt(cairo_t* cr, double cx, double cy, double r) {
  setGradient(cr, radialGradient(cx - 0.35 * r, cy - 0.4 * r, 0, cx, cy, 1.25 * r), {{0, grey(0.3)}, {0.45, grey(0.13)}, {1, grey(0.035)}});
  cairo_fill_preserve(cr);
  // The rim catches the light on one side.
  setGradient(cr, linearGradient(cx - r, cy - r, cx + r, cy + r), {{0, grey(0.55, 0.55)}, {0.5, grey(0.1, 0.2)}, {1, grey(0, 0.8)}});
  cairo_set_line_width(cr, 1.1);
  cairo_stroke(cr);
}

// The skirt in shadow under the body.
void shadeUnderBody(cairo_t* cr, double cx, double cy, double body) {
  setGradient(cr, radialGradient(cx + 1.5, cy + 2.5, body - 2, cx + 1.5, cy + 2.5, body + 5), {{0, grey(0, 0.7)}, {1, grey(0, 0)}});
  addCircle(cr, cx + 1.5, cy + 2.5, body + 5);
  cairo_fill(cr);
}

// The knurled body: grooves that turn with the knob under a fixed light,
// and a satin top face.
void drawBody(cairo_t* cr, double cx, double cy, double body, double angle) {
  setColour(cr, grey(0.05));
  addCircle(cr, cx, cy, body);
  cairo_fill(cr);
  const int grooves = static_cast<int>(std::lround(body * 1.6));
  const double knurl = std::max(2.4, body * 0.11);
  for (int i = 0; i < grooves; ++i) {
    const double a = angle + i * 360.0 / grooves;
    const Point inner = polar(cx, cy, body - knurl, a), outer = polar(cx, cy, body - 0.4, a);
    setColour(cr, grey(0.09 + 0.2 * std::max(0.0, facing(a)), 0.9));
    cairo_set_line_width(cr, 0.9);
    cairo_move_to(cr, inner.x, inner.y);
    cairo_line_to(cr, outer.x, outer.y);
    cairo_stroke(cr);
  }
  const double top = body - knurl;
  setGradient(cr, radialGradient(cx - 0.4 * top, cy - 0.45 * top, 0, cx, cy, 1.2 * top), {{0, grey(0.2)}, {0.6, grey(0.09)}, {1, grey(0.05)}});
  addCircle(cr, cx, cy, top);
  cairo_fill(cr);
  // A thin bright edge where the top face meets the knurl, on the lit side.
  setGradient(cr, linearGradient(cx - top, cy - top, cx + top, cy + top), {{0, grey(0.6, 0.5)}, {0.5, grey(0.3, 0)}});
  cairo_set_line_width(cr, 0.8);
  addCircle(cr, cx, cy, top - 0.4);
  cairo_stroke(cr);
}

void strokeLine(cairo_t* cr, Point a, Point b, double width, const Colour& colour) {
  setColour(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_move_to(cr, a.x, a.y);
  cairo_line_to(cr, b.x, b.y);
  cairo_stroke(cr);
}

// Brushed metal, per pixel: the concentric brushing shows as two bright
// lobes facing the light and its opposite, and a chamfered edge.
void paintMetalCap(Image& image, double cx, double cy, double r, uint32_t seed) {
  image.beginPixels();
  const int x0 = std::max(0, static_cast<int>(cx - r - 2)), x1 = std::min(image.width(), static_cast<int>(cx + r + 3));
  const int y0 = std::max(0, static_cast<int>(cy - r - 2)), y1 = std::min(image.height(), static_cast<int>(cy + r + 3));
  for (int y = y0; y < y1; ++y) {
    uint32_t* row = image.row(y);
    for (int x = x0; x < x1; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy, d = std::hypot(dx, dy);
      const double coverage = discCoverage(d, r);
      if (coverage <= 0) continue;
      const double a = angleOf(dx, dy);
      const double rings = latticeValue(static_cast<int>(d * 2.5), 7, seed) - 0.5;
      double level = 0.56 + 0.2 * std::cos(2 * radians(a - kLightAngle)) + 0.07 * rings;
      const double chamfer = r - 1.8;
      if (d > chamfer) level = level * 0.3 + (0.5 + 0.32 * facing(a)) * 0.7;
      if (d > r - 0.6) level *= 0.55;  // the dark seam around the cap
      blendOver(row[x], {level * 0.97, level * 0.98, level * 1.02, 1}, coverage);
    }
  }
  image.endPixels();
}

}  // namespace

double sweepAngle(int frame, int frames) {
  return frames < 2 ? 0 : -kKnobSweep + 2 * kKnobSweep * frame / (frames - 1);
}

void drawKnob(Image& image, const KnobSize& size, double angle) {
  cairo_t* cr = image.cr();
  const double c = size.frame / 2.0;
  addCircle(cr, c, c, size.skirt);
  fillSkirt(cr, c, c, size.skirt);
  shadeUnderBody(cr, c, c, size.body);
  drawBody(cr, c, c, size.body, angle);
  const double width = size.frame > 100 ? 3.6 : 3.2;
  strokeLine(cr, polar(c, c, size.cap + 1, angle), polar(c, c, size.skirt - 1.6, angle), width, kPointerWhite);
  paintMetalCap(image, c, c, size.cap, 11);
}

// --- The broken knob ----------------------------------------------------------

namespace {

// The skirt's outline with a bite out of it between two angles: the broken
// edge zigzags inwards by a few units.
void addChippedSkirt(cairo_t* cr, double cx, double cy, double r, double chipFrom, double chipTo,
                     std::vector<Point>& brokenEdge) {
  cairo_new_sub_path(cr);
  brokenEdge.clear();
  constexpr int kSteps = 180;
  for (int i = 0; i <= kSteps; ++i) {
    const double rel = 360.0 * i / kSteps, a = chipFrom + rel;
    double radius = r;
    if (rel < chipTo - chipFrom) {
      const double t = rel / (chipTo - chipFrom);
      const double jag = latticeValue(i, 3, 5) * 3.2;
      radius = r - (2 + 7 * std::sin(t * std::numbers::pi)) - jag * std::sin(t * std::numbers::pi);
    }
    const Point p = polar(cx, cy, radius, a);
    if (rel < chipTo - chipFrom) brokenEdge.push_back(p);
    if (i == 0)
      cairo_move_to(cr, p.x, p.y);
    else
      cairo_line_to(cr, p.x, p.y);
  }
  cairo_close_path(cr);
}

void strokePolyline(cairo_t* cr, const std::vector<Point>& points, double width, const Colour& colour) {
  if (points.size() < 2) return;
  setColour(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(cr, points[i].x, points[i].y);
  cairo_stroke(cr);
}

// A crack running in from the rim: a jagged dark line with a pale lip.
void drawCrack(cairo_t* cr, double cx, double cy, double from, double to, double angle) {
  std::vector<Point> dark, pale;
  for (int i = 0; i <= 8; ++i) {
    const double r = from + (to - from) * i / 8.0;
    const double a = angle + (latticeValue(i, 9, 2) - 0.5) * 9 + i * 1.5;
    const Point p = polar(cx, cy, r, a);
    dark.push_back(p);
    pale.push_back({p.x + 0.8, p.y + 0.7});
  }
  strokePolyline(cr, pale, 0.8, grey(0.45, 0.45));
  strokePolyline(cr, dark, 1.3, grey(0, 0.95));
}

// Where the cap was: a dark hole with the bare, flatted shaft in it.
void drawMissingCap(cairo_t* cr, double cx, double cy, double r, double angle) {
  setGradient(cr, radialGradient(cx + 1, cy + 1.5, 0, cx, cy, r), {{0, grey(0.07)}, {0.8, grey(0.02)}, {1, grey(0.0)}});
  addCircle(cr, cx, cy, r);
  cairo_fill(cr);
  // The far wall of the hole catches the light.
  cairo_set_line_width(cr, 1.2);
  setColour(cr, grey(0.35, 0.6));
  cairo_arc(cr, cx, cy, r - 0.8, radians(-20), radians(110));
  cairo_stroke(cr);
  // The shaft: steel with a flat facing the pointer and a saw cut across.
  cairo_save(cr);
  cairo_translate(cr, cx + 0.6, cy + 0.8);
  cairo_rotate(cr, radians(angle));
  const double shaft = r * 0.42;
  const double flat = std::asin(0.55);  // the flat's chord lies 0.55 shaft radii from the axis
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, shaft, -flat, std::numbers::pi + flat);
  cairo_close_path(cr);
  setGradient(cr, linearGradient(-shaft, -shaft, shaft, shaft), {{0, grey(0.78)}, {0.55, grey(0.45)}, {1, grey(0.25)}});
  cairo_fill(cr);
  setColour(cr, grey(0.08, 0.9));
  cairo_set_line_width(cr, 1.1);
  cairo_move_to(cr, -shaft * 0.9, shaft * 0.15);
  cairo_line_to(cr, shaft * 0.9, shaft * 0.15);
  cairo_stroke(cr);
  cairo_restore(cr);
}

}  // namespace

void drawBrokenKnob(Image& image, double angle) {
  cairo_t* cr = image.cr();
  const KnobSize& size = kKnob;
  // The knob sits off its shaft: its centre wanders round a small circle as it turns.
  const Point centre = polar(size.frame / 2.0 + 1.2, size.frame / 2.0 + 0.8, 2.2, angle + 70);
  const double cx = centre.x, cy = centre.y;
  std::vector<Point> brokenEdge;
  addChippedSkirt(cr, cx, cy, size.skirt, angle + 105, angle + 150, brokenEdge);
  fillSkirt(cr, cx, cy, size.skirt);
  strokePolyline(cr, brokenEdge, 1.1, grey(0.42, 0.8));  // raw plastic where it broke off
  drawCrack(cr, cx, cy, size.skirt - 0.5, size.body - 5, angle + 212);
  // Old scratches on the skirt.
  for (int i = 0; i < 3; ++i) {
    const double a = angle + 250 + i * 23;
    strokeLine(cr, polar(cx, cy, size.skirt - 3, a), polar(cx, cy, size.body + 2, a + 9), 0.6, grey(0.6, 0.22));
  }
  // The body has come loose and leans a little.
  const double bx = cx + 0.9, by = cy + 0.7;
  // Its shadow falls on what is left of the skirt, not into the chip.
  cairo_save(cr);
  addChippedSkirt(cr, cx, cy, size.skirt, angle + 105, angle + 150, brokenEdge);
  cairo_clip(cr);
  shadeUnderBody(cr, bx, by, size.body);
  cairo_restore(cr);
  drawBody(cr, bx, by, size.body, angle);
  // A bent pointer: straight to mid-skirt, then kinked and worn.
  const double kink = size.body + 1;
  strokeLine(cr, polar(bx, by, size.cap + 1, angle), polar(bx, by, kink, angle), 3.2, kPointerWhite);
  const Point bend = polar(bx, by, kink, angle);
  const Point tip = polar(bx, by, size.skirt - 2, angle + 13);
  strokeLine(cr, bend, tip, 2.8, kPointerWhite.scaled(0.86).withAlpha(0.9));
  drawMissingCap(cr, bx, by, size.cap, angle);
}

// --- The rotary switch ------------------------------------------------------------

namespace {

// The bar's outline in its own coordinates: pointing to -y, a round back.
void addBarPath(cairo_t* cr) {
  constexpr double kHalf = 9.5, kBack = 24, kShoulder = -16, kTip = -34, kTipHalf = 3;
  cairo_new_sub_path(cr);
  cairo_move_to(cr, kHalf, kShoulder);
  cairo_line_to(cr, kHalf, kBack);
  cairo_arc(cr, 0, kBack, kHalf, 0, std::numbers::pi);
  cairo_line_to(cr, -kHalf, kShoulder);
  cairo_line_to(cr, -kTipHalf, kTip);
  cairo_arc(cr, 0, kTip, kTipHalf, std::numbers::pi, 2 * std::numbers::pi);
  cairo_close_path(cr);
}

// Shading across a rounded bar turned to `angle`: a ridge whose lit flank
// faces the fixed light.
cairo_pattern_t* barShading(double angle) {
  const double a = radians(angle);
  // The bar's own x axis on the screen, and the light towards the top left.
  const double across = (-std::cos(a) - std::sin(a)) / std::numbers::sqrt2;
  cairo_pattern_t* pattern = cairo_pattern_create_linear(-9.5, 0, 9.5, 0);
  for (int i = 0; i <= 10; ++i) {
    const double t = -1 + i * 0.2;
    const double nz = std::sqrt(std::max(0.0, 1 - t * t));
    const double lit = std::max(0.0, t * across * 0.8 + nz * 0.55);
    addStop(pattern, i / 10.0, grey(0.03 + 0.22 * lit * lit + (lit > 0.85 ? 0.1 : 0)));
  }
  return pattern;
}

}  // namespace

void drawRotarySwitch(Image& image, double angle) {
  cairo_t* cr = image.cr();
  const double c = image.width() / 2.0;
  addCircle(cr, c, c, kRotaryBaseRadius);
  fillSkirt(cr, c, c, kRotaryBaseRadius);
  cairo_save(cr);
  cairo_translate(cr, c, c);
  // The bar's own shadow on the base.
  cairo_save(cr);
  cairo_translate(cr, 1.6, 2.6);
  cairo_rotate(cr, radians(angle));
  addBarPath(cr);
  setColour(cr, grey(0, 0.5));
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_rotate(cr, radians(angle));
  addBarPath(cr);
  cairo_pattern_t* shading = barShading(angle);
  cairo_set_source(cr, shading);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(shading);
  setColour(cr, grey(0, 0.9));
  cairo_set_line_width(cr, 0.9);
  cairo_stroke(cr);
  // The white line inlaid along the pointing half.
  setColour(cr, kPointerWhite);
  cairo_set_line_width(cr, 2.6);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, 0, -6);
  cairo_line_to(cr, 0, -30);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void drawRoundShadow(Image& image, double radius) {
  const double c = image.width() / 2.0;
  paintSoftDisc(image, c + 3, c + 5, radius, radius * 0.2, 0.62);
}
