// SPDX-License-Identifier: ISC
#include "panel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "controls.h"
#include "keyboard.h"
#include "layout.h"
#include "noise.h"

using namespace Panel;

namespace {

// --- Surfaces ------------------------------------------------------------------

// Where the cheeks end: full width beside the panel, narrower beside the
// keyboard, with a rounded step between.
double cheekWidthAt(double y) {
  const double t = std::clamp((y - (kPanelFront - 6)) / 30.0, 0.0, 1.0);
  const double s = t * t * (3 - 2 * t);
  return kCheek + (kCheekAtKeys - kCheek) * s;
}

// The panel: warm charcoal with a fine leathery pebble, a web of creases
// and broad mottling, a touch darker towards its edges.
double panelLevel(int x, int y) {
  const double pebble = fractalNoise(x * 0.3, y * 0.3, 2, 3);
  const double web = valueNoise(x * 0.05, y * 0.05, 9);
  const double crease = std::max(0.0, 1 - std::fabs(web - 0.5) * 40);
  const double mottle = fractalNoise(x / 260.0, y / 260.0, 3, 5);
  const double streak = valueNoise(x / 150.0, y * 0.5, 6) - 0.5;
  double level = 0.112 * (0.88 + 0.24 * pebble) * (1 - 0.1 * crease) * (0.9 + 0.2 * mottle) + 0.006 * streak;
  const double edge = std::min(y, std::abs(kPanelFront - y)) / 60.0;
  level *= 0.9 + 0.1 * std::min(1.0, edge);
  return level;
}

// Walnut, grain running down the cheek, rounded across its width and varnished.
Colour walnutAt(int x, int y, double left, double width, uint32_t seed) {
  const double t = std::clamp((x + 0.5 - left) / width, 0.0, 1.0);
  const double warp = 2.2 * fractalNoise(x / 30.0, y / 240.0, 3, seed);
  const double rings = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * (x * 0.16 + warp));
  const double figure = fractalNoise(x / 9.0, y / 90.0, 3, seed + 7);
  const double pores = fractalNoise(x * 0.9, y / 14.0, 2, seed + 13);
  const Colour dark{0.19, 0.1, 0.05}, light{0.47, 0.29, 0.15};
  Colour wood = dark.mix(light, std::clamp(0.25 + 0.5 * rings * figure + 0.3 * (figure - 0.5), 0.0, 1.0));
  wood = wood.scaled(1 - 0.35 * std::pow(std::max(0.0, pores - 0.55) * 2.2, 2));
  const double profile = 0.7 + 0.38 * std::sin(std::numbers::pi * t);
  const double sheen = 0.16 * std::exp(-std::pow((t - 0.32) / 0.12, 2));
  return Colour{wood.r * profile + sheen, wood.g * profile + sheen * 0.85, wood.b * profile + sheen * 0.7};
}

void paintSurfaces(Image& image) {
  image.beginPixels();
  for (int y = 0; y < image.height(); ++y) {
    uint32_t* row = image.row(y);
    const double cheek = cheekWidthAt(y + 0.5);
    for (int x = 0; x < image.width(); ++x) {
      const double l = panelLevel(x, y);
      row[x] = packPremultiplied(l * 1.04, l, l * 0.94, 1);
      const double fromLeft = cheek - x - 0.5, fromRight = x + 0.5 - (image.width() - cheek);
      const double cover = std::clamp(std::max(fromLeft, fromRight) + 0.5, 0.0, 1.0);
      if (cover <= 0) continue;
      const bool left = fromLeft > fromRight;
      const Colour wood = left ? walnutAt(x, y, 0, cheek, 17) : walnutAt(x, y, image.width() - cheek, cheek, 29);
      blendOver(row[x], wood, cover);
    }
  }
  image.endPixels();
}

// --- The keyboard bed ------------------------------------------------------------

void drawKeyBed(cairo_t* cr) {
  const double right = kWidth - kCheekAtKeys;
  const Rect bed{kKeyBedLeft, kPanelFront, right - kKeyBedLeft, kHeight - kPanelFront};
  cairo_rectangle(cr, bed.x, bed.y, bed.w, bed.h);
  setColour(cr, grey(0.03));
  cairo_fill(cr);
  // A felt strip behind the keys' tails.
  const double feltTop = kKeyBedTop, feltBottom = Keyboard::kTop + 14;
  cairo_rectangle(cr, bed.x, feltTop, bed.w, feltBottom - feltTop);
  setGradient(cr, linearGradient(0, feltTop, 0, feltBottom), {{0, {0.2, 0.035, 0.03}}, {0.5, {0.3, 0.05, 0.045}}, {1, {0.16, 0.03, 0.025}}});
  cairo_fill(cr);
  // The key rail in front of the keys.
  const double railTop = Keyboard::kTop + Keyboard::kWhiteLength;
  cairo_rectangle(cr, bed.x, railTop, bed.w, kHeight - railTop);
  setColour(cr, grey(0.07));
  cairo_fill(cr);
  // The panel's front edge throws a shadow into the bed.
  cairo_rectangle(cr, bed.x, kPanelFront, bed.w, 14);
  setGradient(cr, linearGradient(0, kPanelFront, 0, kPanelFront + 14), {{0, grey(0, 0.85)}, {1, grey(0, 0)}});
  cairo_fill(cr);
  // The bed's left wall, beside the wheels' plate.
  cairo_rectangle(cr, bed.x, kPanelFront, 6, bed.h);
  setGradient(cr, linearGradient(bed.x, 0, bed.x + 6, 0), {{0, grey(0, 0.8)}, {1, grey(0, 0)}});
  cairo_fill(cr);
}

void drawPanelEdges(cairo_t* cr) {
  const double left = kCheek, right = kWidth - kCheek;
  // The front edge of the control panel: a lit lip over a dark fold.
  setColour(cr, grey(1, 0.14));
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, left, kPanelFront - 2.5);
  cairo_line_to(cr, right, kPanelFront - 2.5);
  cairo_stroke(cr);
  setColour(cr, grey(0, 0.6));
  cairo_move_to(cr, kCheekAtKeys, kPanelFront - 0.5);
  cairo_line_to(cr, kKeyBedLeft, kPanelFront - 0.5);
  cairo_stroke(cr);
  // The wheels' plate meets the bed with a lit edge.
  setColour(cr, grey(1, 0.12));
  cairo_move_to(cr, kKeyBedLeft - 0.5, kPanelFront);
  cairo_line_to(cr, kKeyBedLeft - 0.5, kHeight);
  cairo_stroke(cr);
  // Dark seams where the panel meets the cheeks.
  setColour(cr, grey(0, 0.7));
  cairo_set_line_width(cr, 1.5);
  cairo_move_to(cr, left + 0.75, 0);
  cairo_line_to(cr, left + 0.75, kPanelFront - 8);
  cairo_move_to(cr, right - 0.75, 0);
  cairo_line_to(cr, right - 0.75, kPanelFront - 8);
  cairo_stroke(cr);
}

// --- Fittings ----------------------------------------------------------------------

// A recess in the panel: darker, shaded along its top, lit along its bottom.
void drawRecess(cairo_t* cr, const Rect& r, double radius, double level) {
  addRoundedRect(cr, r, radius);
  setColour(cr, grey(level));
  cairo_fill(cr);
  cairo_save(cr);
  addRoundedRect(cr, r, radius);
  cairo_clip(cr);
  setGradient(cr, linearGradient(0, r.y, 0, r.y + 9), {{0, grey(0, 0.75)}, {1, grey(0, 0)}});
  cairo_paint(cr);
  cairo_restore(cr);
  addRoundedRect(cr, {r.x - 0.5, r.y - 0.5, r.w + 1, r.h + 1}, radius + 0.5);
  setGradient(cr, linearGradient(0, r.y, 0, r.bottom()), {{0, grey(0, 0.7)}, {0.6, grey(0, 0.2)}, {1, grey(1, 0.22)}});
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

// The wheel seen through its slot: dark rubber curving away at both ends.
void drawWheelSlot(cairo_t* cr, const Rect& r) {
  // The bezel stays clear of the keys, which start 4 units right of the mod wheel.
  constexpr double kBezel = 4;
  addRoundedRect(cr, {r.x - kBezel, r.y - kBezel, r.w + 2 * kBezel, r.h + 2 * kBezel}, 6);
  setGradient(cr, linearGradient(0, r.y - kBezel, 0, r.bottom() + kBezel), {{0, grey(0.17)}, {1, grey(0.05)}});
  cairo_fill(cr);
  addRoundedRect(cr, r, 4);
  setGradient(cr, linearGradient(0, r.y, 0, r.bottom()), {{0, grey(0.0)}, {0.4, grey(0.11)}, {0.6, grey(0.09)}, {1, grey(0.0)}});
  cairo_fill(cr);
  cairo_save(cr);
  addRoundedRect(cr, r, 4);
  cairo_clip(cr);
  for (double y = r.y + 1.5; y < r.bottom(); y += 3) {
    cairo_move_to(cr, r.x, y);
    cairo_line_to(cr, r.right(), y);
  }
  setColour(cr, grey(0, 0.45));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  setGradient(cr, linearGradient(r.x, 0, r.right(), 0), {{0, grey(0, 0.75)}, {0.12, grey(0, 0)}, {0.88, grey(0, 0)}, {1, grey(0, 0.75)}});
  cairo_paint(cr);
  cairo_restore(cr);
}

void drawFittings(cairo_t* cr) {
  drawRecess(cr, kMessageStrip, 8, 0.055);
  for (const PanelControl& c : faceControls()) {
    const Rect r = controlRect(c);
    switch (c.part) {
      case Part::Readout:
        drawRecess(cr, r, 5, 0.04);
        break;
      case Part::Wheel:
        drawWheelSlot(cr, r);
        break;
      case Part::OverloadLamp:
        drawLamp(cr, r.x, r.y, r.w, kOverloadLamp, false);
        break;
      case Part::PowerLamp:
        drawLamp(cr, r.x, r.y, r.w, kPowerLamp, false);
        break;
      default:
        break;
    }
  }
}

// --- Titles, dividers and the nameplate ------------------------------------------------

const TextStyle kTitleStyle{19, 0.24};

void printSectionTitles(LegendPrinter& p) {
  for (const PanelSection& s : panelSections()) {
    const double centre = (s.left + s.right) / 2.0;
    const Rect box = p.print(s.title, kTitleStyle, centre, kTitleBand, Align::Centre, -2);
    // Rules run from the title to the section's ends.
    const double inset = 14, gap = 14;
    cairo_move_to(p.cr, std::max<double>(s.left, kCheek) + inset, kTitleBand);
    cairo_line_to(p.cr, box.x - gap, kTitleBand);
    cairo_move_to(p.cr, box.right() + gap, kTitleBand);
    cairo_line_to(p.cr, std::min<double>(s.right, kWidth - kCheek) - inset, kTitleBand);
    setColour(p.cr, kInk.withAlpha(0.55));
    cairo_set_line_width(p.cr, 1.2);
    cairo_stroke(p.cr);
  }
}

// A faint engraved line between sections, broken wherever a control or a
// legend is in its way.
void drawDividers(cairo_t* cr, const LegendLog& log) {
  constexpr double kTop = 24, kBottom = kTitleBand - 14, kClear = 7;
  std::vector<Rect> blocks;
  for (const PrintedBox& b : log.boxes()) blocks.push_back(b.box);
  for (const PanelControl& c : faceControls()) blocks.push_back(controlRect(c));
  const std::vector<PanelSection>& sections = panelSections();
  for (size_t i = 1; i < sections.size(); ++i) {
    const double x = sections[i].left;
    std::vector<std::pair<double, double>> gaps;
    for (const Rect& b : blocks)
      if (b.x - kClear < x && b.right() + kClear > x) gaps.push_back({b.y - kClear, b.bottom() + kClear});
    std::sort(gaps.begin(), gaps.end());
    double y = kTop;
    auto segment = [&](double from, double to) {
      if (to - from < 6) return;
      cairo_move_to(cr, x - 0.5, from);
      cairo_line_to(cr, x - 0.5, to);
      setColour(cr, grey(0, 0.55));
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      cairo_move_to(cr, x + 0.5, from);
      cairo_line_to(cr, x + 0.5, to);
      setColour(cr, kInk.withAlpha(0.2));
      cairo_stroke(cr);
    };
    for (const auto& [from, to] : gaps) {
      if (from > y) segment(y, std::min(from, kBottom));
      y = std::max(y, to);
    }
    if (y < kBottom) segment(y, kBottom);
  }
}

void printNameplate(LegendPrinter& p) {
  const double cx = kNameplate.centreX();
  p.print("WOBBLYTONE", {30, 0.16}, cx, kNameplate.y + 18, Align::Centre, -3);
  p.print("MONOPHONIC SYNTHESIZER", {10, 0.34}, cx, kNameplate.y + 40, Align::Centre, -3);
}

void printOptionsLegend(LegendPrinter& p) {
  const double cx = kOptionsZone.centreX(), cy = kOptionsZone.centreY();
  const Rect box = p.print("OPTIONS", {12, 0.2}, cx - 6, cy, Align::Centre, -4);
  const double x = box.right() + 8;
  cairo_move_to(p.cr, x, cy - 2.5);
  cairo_line_to(p.cr, x + 8, cy - 2.5);
  cairo_line_to(p.cr, x + 4, cy + 2.5);
  cairo_close_path(p.cr);
  setColour(p.cr, kInk);
  cairo_fill(p.cr);
}

}  // namespace

bool drawPanel(Image& panel, const Font& font, const std::vector<ParamFacts>& params, LegendLog& log,
               std::string& error) {
  paintSurfaces(panel);
  cairo_t* cr = panel.cr();
  drawKeyBed(cr);
  drawPanelEdges(cr);
  drawFittings(cr);
  LegendPrinter printer{cr, font, params, log};
  for (size_t i = 0; i < faceControls().size(); ++i)
    if (!printControlLegends(printer, static_cast<int>(i), error)) return false;
  printSectionTitles(printer);
  drawDividers(cr, log);
  printNameplate(printer);
  printOptionsLegend(printer);
  return true;
}
