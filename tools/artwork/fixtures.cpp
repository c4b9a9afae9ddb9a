// SPDX-License-Identifier: ISC
// The pilot lamps, the wheel's ridge and the maker's logo.
#include <cmath>
#include <numbers>

#include "controls.h"

const LampLook kOverloadLamp{{1.0, 0.34, 0.08}, {0.26, 0.04, 0.02}, 5};
const LampLook kPowerLamp{{1.0, 0.8, 0.46}, {0.24, 0.19, 0.12}, 6};

namespace {

void drawChromeBezel(cairo_t* cr, double cx, double cy, double r) {
  addCircle(cr, cx, cy, r);
  setGradient(cr, linearGradient(cx - r, cy - r, cx + r, cy + r), {{0, grey(0.92)}, {0.45, grey(0.42)}, {0.7, grey(0.7)}, {1, grey(0.25)}});
  cairo_fill_preserve(cr);
  setColour(cr, grey(0.05, 0.9));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void drawJewel(cairo_t* cr, double cx, double cy, double r, const Colour& colour, bool lit) {
  addCircle(cr, cx, cy, r);
  setGradient(cr, radialGradient(cx - 0.2 * r, cy - 0.25 * r, 0, cx, cy, r), {{0, lit ? colour.mix(grey(1), 0.75) : colour.scaled(1.9)}, {0.35, lit ? colour : colour.scaled(1.2)}, {0.85, colour.scaled(0.7)}, {1, colour.scaled(0.4)}});
  cairo_fill(cr);
  // Facets: alternate bright and dark wedges, faint.
  for (int i = 0; i < 8; ++i) {
    const double a0 = i * 45 + 10, a1 = a0 + 22.5;
    cairo_move_to(cr, cx, cy);
    const Point p0 = polar(cx, cy, r, a0), p1 = polar(cx, cy, r, a1);
    cairo_line_to(cr, p0.x, p0.y);
    cairo_line_to(cr, p1.x, p1.y);
    cairo_close_path(cr);
    setColour(cr, grey(i % 2 ? 1 : 0, lit ? 0.08 : 0.12));
    cairo_fill(cr);
  }
  // The window's reflection.
  cairo_save(cr);
  cairo_translate(cr, cx - 0.38 * r, cy - 0.42 * r);
  cairo_rotate(cr, radians(-45));
  cairo_scale(cr, 1, 0.55);
  addCircle(cr, 0, 0, 0.3 * r);
  cairo_restore(cr);
  setColour(cr, grey(1, lit ? 0.85 : 0.45));
  cairo_fill(cr);
}

}  // namespace

void drawLamp(cairo_t* cr, double x, double y, double side, const LampLook& look, bool lit) {
  const double c = side / 2;
  drawChromeBezel(cr, x + c, y + c, c - 0.5);
  addCircle(cr, x + c, y + c, c - look.bezelWidth + 1);
  setColour(cr, grey(0.03));
  cairo_fill(cr);
  drawJewel(cr, x + c, y + c, c - look.bezelWidth, lit ? look.lit : look.unlit, lit);
}

void drawWheelHandle(Image& image) {
  cairo_t* cr = image.cr();
  const double w = image.width(), h = image.height();
  const Rect ridge{3, 2, w - 6, h - 4};
  addRoundedRect(cr, ridge, 6);
  // A curved rubber surface: lit along its upper flank, dark below.
  setGradient(cr, linearGradient(0, ridge.y, 0, ridge.bottom()), {{0, grey(0.12)}, {0.22, grey(0.36)}, {0.5, grey(0.22)}, {1, grey(0.04)}});
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip(cr);
  // Ribs across the wheel.
  for (double y = ridge.y + 2.5; y < ridge.bottom() - 1; y += 3) {
    setColour(cr, grey(0, 0.6));
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, ridge.x, y);
    cairo_line_to(cr, ridge.right(), y);
    cairo_stroke(cr);
    setColour(cr, grey(1, 0.14));
    cairo_move_to(cr, ridge.x, y + 1);
    cairo_line_to(cr, ridge.right(), y + 1);
    cairo_stroke(cr);
  }
  // The wheel's rims darken both ends.
  setGradient(cr, linearGradient(ridge.x, 0, ridge.right(), 0), {{0, grey(0, 0.6)}, {0.15, grey(0, 0)}, {0.85, grey(0, 0)}, {1, grey(0, 0.7)}});
  cairo_paint(cr);
  cairo_restore(cr);
  addRoundedRect(cr, {ridge.x + 0.5, ridge.y + 0.5, ridge.w - 1, ridge.h - 1}, 6);
  setColour(cr, grey(0, 0.8));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void drawMakerLogo(Image& image, const Font& font) {
  cairo_t* cr = image.cr();
  const Colour cream{0.93, 0.88, 0.77};
  const double h = image.height(), r = h / 2 - 3, cx = r + 3, cy = h / 2;
  // The emblem: a ring round layered ground that sags into a pit, like
  // strata in the side of a marl pit, the top layer a sound wave.
  addCircle(cr, cx, cy, r);
  setColour(cr, cream);
  cairo_set_line_width(cr, 2.2);
  cairo_stroke(cr);
  cairo_save(cr);
  addCircle(cr, cx, cy, r - 3);
  cairo_clip(cr);
  for (int layer = 0; layer < 4; ++layer) {
    const double base = cy - 7 + layer * 6.5, sag = 9 - layer * 1.8;
    cairo_new_path(cr);
    for (int i = 0; i <= 60; ++i) {
      const double x = cx - r + 2 * r * i / 60.0;
      const double t = (x - cx) / (0.55 * r);
      double y = base + sag * std::exp(-t * t);
      if (layer == 0) y += 2.2 * std::sin((x - cx) * 0.5) * std::exp(-t * t * 0.3);
      if (i == 0)
        cairo_move_to(cr, x, y);
      else
        cairo_line_to(cr, x, y);
    }
    setColour(cr, cream.withAlpha(1 - layer * 0.16));
    cairo_set_line_width(cr, layer == 0 ? 2 : 1.6);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  const double textX = cx + r + 6;
  addTextPath(cr, font, "MARLPIT", {16, 0.06}, textX, cy - 7, Align::Left);
  addTextPath(cr, font, "MUSIC", {11.5, 0.6}, textX + 1, cy + 9.5, Align::Left);
  setColour(cr, cream);
  cairo_fill(cr);
}
