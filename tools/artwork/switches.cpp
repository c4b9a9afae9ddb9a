// SPDX-License-Identifier: ISC
// The switches: coloured rockers in a black bezel, the ribbed power rocker,
// the mains-voltage slide switch on its plate and the lit push switch.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "controls.h"
#include "noise.h"

namespace {

// A rocker is drawn along its own axes: u along the paddle (L long), v
// across it (T wide). A horizontal rocker's u runs right, a vertical one's up.
struct RockerFrame {
  double length, thickness;
};

void enterRockerAxes(cairo_t* cr, const Image& image, bool vertical) {
  if (!vertical) return;
  cairo_translate(cr, 0, image.height());
  cairo_rotate(cr, -std::numbers::pi / 2);
}

void drawBezel(cairo_t* cr, const RockerFrame& f, double inset) {
  const double radius = f.thickness * 0.16;
  addRoundedRect(cr, {0.5, 0.5, f.length - 1, f.thickness - 1}, radius);
  setGradient(cr, linearGradient(0, 0, 0, f.thickness), {{0, grey(0.2)}, {0.5, grey(0.09)}, {1, grey(0.04)}});
  cairo_fill_preserve(cr);
  setColour(cr, grey(0, 0.9));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // The bezel's lit upper lip.
  setColour(cr, grey(0.5, 0.35));
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, radius + 1, 1.5);
  cairo_line_to(cr, f.length - radius - 1, 1.5);
  cairo_stroke(cr);
  // The opening the paddle sits in.
  addRoundedRect(cr, {inset, inset, f.length - 2 * inset, f.thickness - 2 * inset}, 2.5);
  setColour(cr, grey(0.01));
  cairo_fill(cr);
}

// One half of the paddle from u0 to u1 (u1 is its outer end); `raised`
// halves stand up towards the viewer and catch the light, pressed ones dip.
void drawPaddleHalf(cairo_t* cr, double u0, double u1, double v0, double v1, const RockerLook& look, bool raised) {
  const double radius = 2;
  const Rect r{std::min(u0, u1), v0, std::fabs(u1 - u0), v1 - v0};
  addRoundedRect(cr, r, radius);
  const Colour base = look.paddle;
  cairo_pattern_t* along = cairo_pattern_create_linear(u0, 0, u1, 0);
  if (raised) {
    addStop(along, 0, base.scaled(0.86));
    addStop(along, 0.75, base.scaled(1.05));
    addStop(along, 1, base.scaled(1.18));
  } else {
    addStop(along, 0, base.scaled(0.72));
    addStop(along, 1, base.scaled(0.42));
  }
  cairo_set_source(cr, along);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(along);
  // Across the paddle: a sheen along the lit edge, shade along the other.
  setGradient(cr, linearGradient(0, v0, 0, v1), {{0, grey(1, raised ? 0.28 : 0.1)}, {0.3, grey(1, 0)}, {0.75, grey(0, 0)}, {1, grey(0, 0.35)}});
  cairo_fill(cr);
  if (look.ribbed) {
    const double step = 4;
    const double first = std::min(u0, u1) + 3, last = std::max(u0, u1) - 2;
    for (double u = first; u < last; u += step) {
      setColour(cr, grey(0, raised ? 0.45 : 0.35));
      cairo_set_line_width(cr, 1);
      cairo_move_to(cr, u, v0 + 2);
      cairo_line_to(cr, u, v1 - 2);
      cairo_stroke(cr);
      setColour(cr, grey(1, raised ? 0.13 : 0.06));
      cairo_move_to(cr, u + 1, v0 + 2);
      cairo_line_to(cr, u + 1, v1 - 2);
      cairo_stroke(cr);
    }
  }
  if (raised) {
    // The raised end's edge, nearest the eye, catches a bright line.
    const double edge = u1 + (u1 > u0 ? -1 : 1);
    setColour(cr, base.mix(grey(1), 0.55).withAlpha(0.7));
    cairo_set_line_width(cr, 1.2);
    cairo_move_to(cr, edge, v0 + 1.5);
    cairo_line_to(cr, edge, v1 - 1.5);
    cairo_stroke(cr);
  }
}

}  // namespace

void drawRocker(Image& image, const RockerLook& look, bool vertical, bool secondState) {
  cairo_t* cr = image.cr();
  cairo_save(cr);
  enterRockerAxes(cr, image, vertical);
  const RockerFrame f{static_cast<double>(vertical ? image.height() : image.width()),
                      static_cast<double>(vertical ? image.width() : image.height())};
  const double inset = std::round(f.thickness * 0.15);
  drawBezel(cr, f, inset);
  const double v0 = inset + 1, v1 = f.thickness - inset - 1;
  const double start = inset + 1, end = f.length - inset - 1, pivot = f.length / 2;
  // The pressed half sinks: it falls short of the opening's end, which shows dark.
  const double sink = 2.5;
  // Rocked left (or down) the first half is pressed, rocked right (or up) the second.
  if (secondState) {
    drawPaddleHalf(cr, pivot, end - sink, v0, v1, look, false);
    drawPaddleHalf(cr, pivot, start, v0, v1, look, true);
  } else {
    drawPaddleHalf(cr, pivot, start + sink, v0, v1, look, false);
    drawPaddleHalf(cr, pivot, end, v0, v1, look, true);
  }
  // The crease at the pivot.
  setColour(cr, grey(0, 0.55));
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, pivot, v0 + 0.5);
  cairo_line_to(cr, pivot, v1 - 0.5);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// --- The slide switch ---------------------------------------------------------

namespace {

// Brushed steel inside `r`: streaks along x, lighter at the top.
void paintBrushedPlate(Image& image, const Rect& r, uint32_t seed) {
  image.beginPixels();
  for (int y = static_cast<int>(r.y); y < static_cast<int>(r.bottom()); ++y) {
    uint32_t* row = image.row(y);
    for (int x = static_cast<int>(r.x); x < static_cast<int>(r.right()); ++x) {
      const double streak = fractalNoise(x / 30.0, y * 1.7, 3, seed) - 0.5;
      const double level = 0.64 - 0.14 * (y - r.y) / r.h + 0.09 * streak;
      blendOver(row[x], {level, level * 1.01, level * 1.04, 1}, 1);
    }
  }
  image.endPixels();
}

void drawScrew(cairo_t* cr, double cx, double cy, double r, double slotAngle) {
  cairo_pattern_t* head = cairo_pattern_create_radial(cx - r * 0.4, cy - r * 0.4, 0, cx, cy, r);
  addStop(head, 0, grey(0.88));
  addStop(head, 0.6, grey(0.5));
  addStop(head, 1, grey(0.22));
  addCircle(cr, cx, cy, r);
  cairo_set_source(cr, head);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(head);
  setColour(cr, grey(0.1, 0.8));
  cairo_set_line_width(cr, 0.7);
  cairo_stroke(cr);
  const Point a = polar(cx, cy, r * 0.85, slotAngle), b = polar(cx, cy, r * 0.85, slotAngle + 180);
  setColour(cr, grey(0.08));
  cairo_set_line_width(cr, 1.2);
  cairo_move_to(cr, a.x, a.y);
  cairo_line_to(cr, b.x, b.y);
  cairo_stroke(cr);
}

void drawSlider(cairo_t* cr, double cx, double top, double bottom, double halfWidth) {
  const Rect body{cx - halfWidth, top, 2 * halfWidth, bottom - top};
  // Its shadow on the plate.
  addRoundedRect(cr, {body.x + 1.5, body.y + 2, body.w, body.h}, 3);
  setColour(cr, grey(0, 0.45));
  cairo_fill(cr);
  addRoundedRect(cr, body, 3);
  setGradient(cr, linearGradient(body.x, body.y, body.right(), body.bottom()), {{0, grey(0.9)}, {0.5, grey(0.62)}, {1, grey(0.36)}});
  cairo_fill_preserve(cr);
  setColour(cr, grey(0.15, 0.9));
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
  // Grip ridges across the thumb piece.
  for (int i = 0; i < 5; ++i) {
    const double y = top + 6 + i * (bottom - top - 12) / 4;
    setColour(cr, grey(0.2, 0.7));
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, body.x + 3, y);
    cairo_line_to(cr, body.right() - 3, y);
    cairo_stroke(cr);
    setColour(cr, grey(1, 0.45));
    cairo_move_to(cr, body.x + 3, y + 1);
    cairo_line_to(cr, body.right() - 3, y + 1);
    cairo_stroke(cr);
  }
}

}  // namespace

void drawSlideSwitch(Image& image, bool right) {
  cairo_t* cr = image.cr();
  const double w = image.width(), h = image.height();
  const Rect plate{1, 3, w - 2, h - 6};
  paintBrushedPlate(image, plate, 21);
  // Round the plate's corners off by clearing outside them, then bevel it.
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_DEST_IN);
  addRoundedRect(cr, plate, 4);
  setColour(cr, grey(0));
  cairo_fill(cr);
  cairo_restore(cr);
  addRoundedRect(cr, {plate.x + 0.5, plate.y + 0.5, plate.w - 1, plate.h - 1}, 4);
  setGradient(cr, linearGradient(0, plate.y, 0, plate.bottom()), {{0, grey(1, 0.6)}, {0.5, grey(0.5, 0.1)}, {1, grey(0, 0.7)}});
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  drawScrew(cr, 9.5, h / 2, 4.2, 35);
  drawScrew(cr, w - 9.5, h / 2, 4.2, 115);
  // The slot, and the slider at one end of it.
  const Rect slot{20, h / 2 - 4.5, w - 40, 9};
  addRoundedRect(cr, slot, 4.5);
  setColour(cr, grey(0.02));
  cairo_fill(cr);
  addRoundedRect(cr, {slot.x, slot.y + 1, slot.w, slot.h}, 4.5);
  setColour(cr, grey(1, 0.25));
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
  const double halfWidth = 10;
  const double cx = right ? slot.right() - halfWidth - 1 : slot.x + halfWidth + 1;
  drawSlider(cr, cx, 9, h - 9, halfWidth);
}

// --- The push switch ----------------------------------------------------------

void drawPushSwitch(Image& image, const Font& font, const char* word, bool lit) {
  cairo_t* cr = image.cr();
  const double w = image.width(), h = image.height();
  addRoundedRect(cr, {0.5, 0.5, w - 1, h - 1}, 7);
  setGradient(cr, linearGradient(0, 0, 0, h), {{0, grey(0.22)}, {1, grey(0.04)}});
  cairo_fill_preserve(cr);
  setColour(cr, grey(0, 0.9));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  const Rect cap{4, 4, w - 8, h - 8};
  addRoundedRect(cr, cap, 5);
  if (lit) {
    setGradient(cr, radialGradient(w / 2, h / 2, 2, w / 2, h / 2, w / 2), {{0, {1.0, 0.86, 0.52}}, {0.6, {1.0, 0.64, 0.2}}, {1, {0.82, 0.38, 0.06}}});
    cairo_fill(cr);
  } else {
    setGradient(cr, linearGradient(0, cap.y, 0, cap.bottom()), {{0, grey(0.27)}, {0.5, grey(0.17)}, {1, grey(0.1)}});
    cairo_fill(cr);
  }
  addRoundedRect(cr, {cap.x + 0.5, cap.y + 0.5, cap.w - 1, cap.h - 1}, 5);
  setColour(cr, grey(1, lit ? 0.45 : 0.18));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  TextStyle style{14, 0.1};
  addTextPath(cr, font, word, style, w / 2, h / 2, Align::Centre);
  setColour(cr, lit ? Colour{0.32, 0.12, 0.02} : Colour{0.86, 0.82, 0.72});
  cairo_fill(cr);
}
