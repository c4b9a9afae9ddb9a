// SPDX-License-Identifier: ISC
#include "legends.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "controls.h"

const Colour kInk{0.9, 0.86, 0.76};

namespace {

const TextStyle kNameStyle{12.5, 0.06};
const TextStyle kMarkStyle{11, 0.06};
const TextStyle kScaleStyle{11.5, 0.02};
constexpr double kLineStep = 15;  // between the lines of a wrapped name

Point centreOf(const PanelControl& c) {
  const Rect r = controlRect(c);
  return {r.centreX(), r.centreY()};
}

// The centre for a w × h box just outside a circle of radius r, in the direction a.
Point outsideCircle(Point centre, double r, double a, double w, double h) {
  const double reach = r + std::fabs(std::sin(radians(a))) * w / 2 + std::fabs(std::cos(radians(a))) * h / 2;
  return polar(centre.x, centre.y, reach, a);
}

void strokeInk(cairo_t* cr, double width, double alpha = 1) {
  setColour(cr, kInk.withAlpha(alpha));
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

// --- Knob scales -----------------------------------------------------------

struct ScaleGeometry {
  double tickInner, tickOuter, minorOuter, numbers;
};

ScaleGeometry scaleFor(Part part) {
  if (part == Part::BigKnob) return {42.5, 48, 45.5, 51};
  return {36.5, 41, 38.5, 44.5};
}

std::string formatValue(const Font& font, double v, bool sign) {
  char buffer[32];
  const double rounded = std::round(v * 10) / 10;
  if (rounded == std::floor(rounded))
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(std::fabs(rounded)));
  else
    std::snprintf(buffer, sizeof buffer, "%.1f", std::fabs(rounded));
  const std::string minus = font.hasCharacter(U'\u2212') ? "\u2212" : "-";
  if (rounded < 0) return minus + buffer;
  if (rounded > 0 && sign) return std::string("+") + buffer;
  return buffer;
}

// Eleven major ticks with a minor one between each, over the knob's sweep;
// figures 0 to 10, or for a knob that turns both ways its lowest value, 0
// and its highest.
void printScale(LegendPrinter& p, int index, const PanelControl& c, const ParamFacts& facts) {
  const ScaleGeometry g = scaleFor(c.part);
  const Point centre = centreOf(c);
  const bool bipolar = facts.minValue < 0 && facts.maxValue > 0;
  for (int i = 0; i <= 20; ++i) {
    const double a = -kKnobSweep + i * kKnobSweep / 10;
    const bool major = i % 2 == 0;
    const double outer = major ? g.tickOuter : g.minorOuter;
    const Point from = polar(centre.x, centre.y, g.tickInner, a), to = polar(centre.x, centre.y, outer, a);
    cairo_move_to(p.cr, from.x, from.y);
    cairo_line_to(p.cr, to.x, to.y);
    strokeInk(p.cr, major ? 1.6 : 1, major ? 1 : 0.8);
  }
  for (int i = 0; i <= 10; ++i) {
    std::string text;
    if (!bipolar)
      text = std::to_string(i);
    else if (i == 0)
      text = formatValue(p.font, facts.minValue, true);
    else if (i == 5)
      text = "0";
    else if (i == 10)
      text = formatValue(p.font, facts.maxValue, true);
    if (text.empty()) continue;
    const double a = -kKnobSweep + i * kKnobSweep / 5;
    const Rect box = textBox(p.cr, p.font, text, kScaleStyle, 0, 0, Align::Centre);
    const Point at = outsideCircle(centre, g.numbers, a, box.w, box.h);
    p.print(text, kScaleStyle, at.x, at.y, Align::Centre, index);
  }
}

// --- Rotary switch marks ------------------------------------------------------

using Wave = std::vector<Point>;  // a polyline in a unit box, y down

// Two periods of a pulse wave high for `duty` of each period, low at both ends.
Wave pulseWave(double duty) {
  constexpr double kPeriod = 0.5;
  Wave w = {{0, 1}};
  for (int period = 0; period < 2; ++period) {
    const double rise = period * kPeriod + (1 - duty) * kPeriod / 2, fall = rise + duty * kPeriod;
    w.insert(w.end(), {{rise, 1}, {rise, 0}, {fall, 0}, {fall, 1}});
  }
  w.push_back({1, 1});
  return w;
}

const std::map<std::string, Wave>& waveSymbols() {
  static const std::map<std::string, Wave> symbols = {
      {"Triangular", {{0, 1}, {0.25, 0}, {0.5, 1}, {0.75, 0}, {1, 1}}},
      {"Sawtooth-Triangular", {{0, 1}, {0.36, 0}, {0.5, 1}, {0.86, 0}, {1, 1}}},
      {"Sawtooth", {{0, 1}, {0.5, 0}, {0.5, 1}, {1, 0}, {1, 1}}},
      {"Reverse Sawtooth", {{0, 1}, {0, 0}, {0.5, 1}, {0.5, 0}, {1, 1}}},
      {"Square", pulseWave(0.5)},
      {"Wide Rectangular", pulseWave(0.3)},
      {"Narrow Rectangular", pulseWave(0.12)},
  };
  return symbols;
}

constexpr double kSymbolW = 24, kSymbolH = 11;
constexpr double kMarkRadius = 41.5;  // clear of the bar's tip

Rect printSymbol(LegendPrinter& p, const Wave& wave, Point centre, int owner, const std::string& name) {
  const Rect box{centre.x - kSymbolW / 2, centre.y - kSymbolH / 2, kSymbolW, kSymbolH};
  for (size_t i = 0; i < wave.size(); ++i) {
    const double x = box.x + wave[i].x * box.w, y = box.y + wave[i].y * box.h;
    if (i == 0)
      cairo_move_to(p.cr, x, y);
    else
      cairo_line_to(p.cr, x, y);
  }
  cairo_set_line_join(p.cr, CAIRO_LINE_JOIN_MITER);
  strokeInk(p.cr, 1.6);
  p.log.add(box, owner, name);
  return box;
}

bool printRotaryMarks(LegendPrinter& p, int index, const PanelControl& c, const ParamFacts& facts, std::string& error) {
  constexpr int kPositions = std::size(kRotaryAngles);
  if (static_cast<int>(facts.texts.size()) != kPositions) {
    error = facts.name + " has " + std::to_string(facts.texts.size()) + " positions, the rotary switch " +
            std::to_string(kPositions);
    return false;
  }
  const Point centre = centreOf(c);
  for (int i = 0; i < kPositions; ++i) {
    const double a = kRotaryAngles[i];
    const Point dot = polar(centre.x, centre.y, 39, a);
    addCircle(p.cr, dot.x, dot.y, 1.4);
    setColour(p.cr, kInk);
    cairo_fill(p.cr);
    const std::string& text = facts.texts[i];
    if (c.marks == Marks::Symbols) {
      const auto symbol = waveSymbols().find(text);
      if (symbol == waveSymbols().end()) {
        error = "no symbol for the waveform \"" + text + "\" of " + facts.name;
        return false;
      }
      printSymbol(p, symbol->second, outsideCircle(centre, kMarkRadius, a, kSymbolW, kSymbolH), index, text);
    } else {
      const std::string shown = legendCase(text);
      const Rect box = textBox(p.cr, p.font, shown, kMarkStyle, 0, 0, Align::Centre);
      const Point at = outsideCircle(centre, kMarkRadius, a, box.w, box.h);
      p.print(shown, kMarkStyle, at.x, at.y, Align::Centre, index);
    }
  }
  return true;
}

// --- Switch position texts -----------------------------------------------------

// Where a two-state switch's texts go; the first state is left or down.
void printTwoStateMarks(LegendPrinter& p, int index, const PanelControl& c, const std::string& first,
                        const std::string& second) {
  const Rect r = controlRect(c);
  const bool vertical = c.part == Part::RockerV || c.part == Part::PowerRocker;
  constexpr double kGap = 6;
  if (c.marks == Marks::Over && !vertical) {
    p.print(first, kMarkStyle, r.x + r.w * 0.25, r.y - 9, Align::Centre, index);
    p.print(second, kMarkStyle, r.x + r.w * 0.75, r.y - 9, Align::Centre, index);
  } else if (c.marks == Marks::Over) {
    p.print(second, kMarkStyle, r.centreX(), r.y - 9, Align::Centre, index);
    p.print(first, kMarkStyle, r.centreX(), r.bottom() + 9, Align::Centre, index);
  } else if (!vertical) {
    p.print(first, kMarkStyle, r.x - kGap, r.centreY(), Align::Right, index);
    p.print(second, kMarkStyle, r.right() + kGap, r.centreY(), Align::Left, index);
  } else {
    const bool left = c.marks == Marks::BesideLeft;
    const double x = left ? r.x - kGap : r.right() + kGap;
    const Align align = left ? Align::Right : Align::Left;
    p.print(second, kMarkStyle, x, r.y + r.h * 0.25, align, index);
    p.print(first, kMarkStyle, x, r.y + r.h * 0.75, align, index);
  }
}

// The slide switch's texts stand over its ends, split at the slash into lines.
void printSlideMarks(LegendPrinter& p, int index, const PanelControl& c, const std::vector<std::string>& texts) {
  const Rect r = controlRect(c);
  const double ends[2] = {r.x + 24, r.right() - 24};
  for (int i = 0; i < 2; ++i) {
    std::vector<std::string> lines;
    std::string text = texts[i];
    for (size_t slash; (slash = text.find('/')) != std::string::npos; text = text.substr(slash + 1))
      lines.push_back(text.substr(0, slash));
    lines.push_back(text);
    for (size_t l = 0; l < lines.size(); ++l) {
      const double y = r.y - 6 - (lines.size() - 1 - l) * 13;
      p.print(lines[l], kMarkStyle, ends[i], y, Align::Centre, index);
    }
  }
}

// --- Names -----------------------------------------------------------------------

double nameWidthLimit(Part part) {
  switch (part) {
    case Part::Knob:
      return 124;
    case Part::BigKnob:
      return 132;
    case Part::Rotary:
      return 124;
    case Part::RockerH:
      return 130;
    default:
      return 96;
  }
}

// Where the first line of a name below the control goes.
double firstLineBelow(const PanelControl& c) {
  const Rect r = controlRect(c);
  switch (c.part) {
    case Part::Knob:
      return r.centreY() + 56;
    case Part::BigKnob:
      return r.centreY() + 54;
    case Part::Rotary:
      return r.centreY() + 62;
    case Part::RockerV:
    case Part::PowerRocker:
      return r.bottom() + (c.marks == Marks::Over ? 26 : 11);
    case Part::Wheel:
      return r.bottom() + 20;
    default:
      return r.bottom() + 12;
  }
}

// Where the last line of a name above the control goes.
double lastLineAbove(const PanelControl& c) {
  const Rect r = controlRect(c);
  switch (c.part) {
    case Part::Knob:
    case Part::Rotary:
      return r.centreY() - 66;
    case Part::BigKnob:
      return r.centreY() - 72;
    default:
      return r.y - (c.marks == Marks::Over ? 24 : 11);
  }
}

void printName(LegendPrinter& p, int index, const PanelControl& c, const std::string& name,
               const std::vector<std::string>& marks) {
  const std::vector<std::string> lines = wrapText(p.cr, p.font, name, kNameStyle, nameWidthLimit(c.part));
  const Rect r = controlRect(c);
  const int n = static_cast<int>(lines.size());
  double x = r.centreX(), y = 0;
  Align align = Align::Centre;
  switch (c.side) {
    case Side::Below:
      y = firstLineBelow(c);
      break;
    case Side::Above:
      y = lastLineAbove(c) - (n - 1) * kLineStep;
      break;
    case Side::Left:
    case Side::Right: {
      // Clear of the position text on that side, if there is one.
      double clearance = 8;
      const bool beside = c.marks == Marks::Beside && !marks.empty();
      if (beside) {
        const std::string& mark = c.side == Side::Left ? marks[0] : marks[1];
        clearance += 6 + textWidth(p.cr, p.font, mark, kMarkStyle);
      }
      x = c.side == Side::Left ? r.x - clearance : r.right() + clearance;
      align = c.side == Side::Left ? Align::Right : Align::Left;
      y = r.centreY() - (n - 1) * kLineStep / 2;
      break;
    }
  }
  for (int i = 0; i < n; ++i) p.print(lines[i], kNameStyle, x, y + i * kLineStep, align, index);
}

}  // namespace

Rect LegendPrinter::print(const std::string& text, const TextStyle& style, double x, double yMiddle, Align align,
                          int owner) {
  const Rect box = addTextPath(cr, font, text, style, x, yMiddle, align);
  setColour(cr, kInk);
  cairo_fill(cr);
  log.add(box, owner, text);
  return box;
}

std::string legendCase(const std::string& text) {
  if (std::any_of(text.begin(), text.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
    return text;
  return upperCase(text);
}

bool printControlLegends(LegendPrinter& p, int index, std::string& error) {
  const PanelControl& c = faceControls()[index];
  const ParamFacts* facts = c.param >= 0 && c.param < static_cast<int>(p.params.size()) ? &p.params[c.param] : nullptr;
  if (c.param >= 0 && !facts) {
    error = "the engine has no parameter " + std::to_string(c.param);
    return false;
  }
  std::vector<std::string> marks;
  if (facts)
    for (const std::string& t : facts->texts) marks.push_back(legendCase(t));
  switch (c.part) {
    case Part::Knob:
    case Part::BigKnob:
      printScale(p, index, c, *facts);
      break;
    case Part::Rotary:
      if (!printRotaryMarks(p, index, c, *facts, error)) return false;
      break;
    case Part::RockerH:
    case Part::RockerV:
    case Part::PowerRocker:
    case Part::Slide:
      if (marks.size() != 2) {
        error = facts->name + " has " + std::to_string(marks.size()) + " states, a switch 2";
        return false;
      }
      if (c.part == Part::Slide)
        printSlideMarks(p, index, c, marks);
      else if (c.marks != Marks::None)
        printTwoStateMarks(p, index, c, marks[0], marks[1]);
      break;
    default:
      break;
  }
  const std::string name = facts ? upperCase(facts->name) : c.label ? c.label : "";
  if (!name.empty()) printName(p, index, c, name, marks);
  return true;
}

std::vector<Obstacle> panelObstacles() {
  std::vector<Obstacle> obstacles;
  const std::vector<PanelControl>& controls = faceControls();
  for (size_t i = 0; i < controls.size(); ++i) {
    const PanelControl& c = controls[i];
    const Rect r = controlRect(c);
    const std::string what = c.bitmap ? c.bitmap : "readout";
    const int owner = static_cast<int>(i);
    if (c.part == Part::Knob || c.part == Part::BigKnob)
      obstacles.push_back(
          {owner, true, r.centreX(), r.centreY(), (c.part == Part::Knob ? kKnob : kBigKnob).skirt + 1, {}, what});
    else if (c.part == Part::Rotary)
      obstacles.push_back({owner, true, r.centreX(), r.centreY(), 41, {}, what});
    else
      obstacles.push_back({owner, false, 0, 0, 0, r, what});
  }
  obstacles.push_back({-1, false, 0, 0, 0, Panel::kMessageStrip, "the message strip"});
  obstacles.push_back({-1, false, 0, 0, 0, {0, Panel::kPanelFront, Panel::kWidth, 0}, "the panel's front edge"});
  return obstacles;
}

namespace {

bool circleHitsRect(double cx, double cy, double r, const Rect& b) {
  const double nx = std::clamp(cx, b.x, b.right()), ny = std::clamp(cy, b.y, b.bottom());
  return std::hypot(cx - nx, cy - ny) < r;
}

// The box grown by a margin, so texts that nearly touch count too.
Rect grown(const Rect& r, double m) { return {r.x - m, r.y - m, r.w + 2 * m, r.h + 2 * m}; }

}  // namespace

std::vector<std::string> LegendLog::collisions(const std::vector<Obstacle>& obstacles) const {
  std::vector<std::string> found;
  for (size_t i = 0; i < mBoxes.size(); ++i) {
    const PrintedBox& a = mBoxes[i];
    const Rect margin = grown(a.box, 1.5);
    for (size_t j = i + 1; j < mBoxes.size(); ++j) {
      const PrintedBox& b = mBoxes[j];
      if (a.owner != b.owner && margin.intersects(b.box))
        found.push_back("\"" + a.text + "\" touches \"" + b.text + "\"");
      if (a.owner == b.owner && a.box.intersects(b.box))
        found.push_back("\"" + a.text + "\" overlaps \"" + b.text + "\"");
    }
    for (const Obstacle& o : obstacles) {
      const bool hit = o.round ? circleHitsRect(o.cx, o.cy, o.radius, a.box) : o.rect.intersects(a.box);
      if (hit) found.push_back("\"" + a.text + "\" lies on " + o.what);
    }
    if (a.box.x < Panel::kCheek || a.box.right() > Panel::kWidth - Panel::kCheek)
      found.push_back("\"" + a.text + "\" runs onto a cheek");
  }
  return found;
}
