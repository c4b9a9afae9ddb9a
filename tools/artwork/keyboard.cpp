// SPDX-License-Identifier: ISC
#include "keyboard.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "noise.h"
#include "paint.h"

using namespace Keyboard;

namespace {

bool isBlack(int note) {
  const int pc = note % 12;
  return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}

// The white key's bitmap by its note name: C and F share one (notch at the
// top right), B is called H, and the top C is whole.
std::string whiteBitmap(int note) {
  if (note == kHighestNote) return "key_c.png";
  switch (note % 12) {
    case 0:
    case 5:
      return "key_cf.png";
    case 2:
      return "key_d.png";
    case 4:
      return "key_e.png";
    case 7:
      return "key_g.png";
    case 9:
      return "key_a.png";
    default:
      return "key_h.png";
  }
}

// A black key's offset from the white key that starts its group: F sharp,
// G sharp, A sharp from the F, C sharp and D sharp from the C.
int blackOffset(int pitchClass) {
  switch (pitchClass) {
    case 6:
      return 35;
    case 8:
      return 107;
    case 10:
      return 179;
    case 1:
      return 37;
    default:
      return 111;
  }
}

}  // namespace

std::vector<KeyPlacement> keyboardLayout() {
  std::map<int, int> whiteX;
  int white = 0;
  for (int note = kLowestNote; note <= kHighestNote; ++note)
    if (!isBlack(note)) whiteX[note] = kLeft + kWhiteWidth * white++;
  std::vector<KeyPlacement> keys;
  for (int note = kLowestNote; note <= kHighestNote; ++note) {
    if (!isBlack(note)) {
      keys.push_back({note, whiteX[note], false, whiteBitmap(note)});
      continue;
    }
    const int pc = note % 12;
    const int groupStart = note - pc + (pc > 5 ? 5 : 0);  // the F or the C below
    keys.push_back({note, whiteX[groupStart] + blackOffset(pc), true, "key_black.png"});
  }
  return keys;
}

std::vector<WhiteKeyShape> whiteKeyShapes() {
  std::vector<WhiteKeyShape> shapes;
  for (const char* name : {"key_cf.png", "key_d.png", "key_e.png", "key_g.png", "key_a.png", "key_h.png", "key_c.png"})
    shapes.push_back({name, 0, 0});
  const std::vector<KeyPlacement> keys = keyboardLayout();
  for (const KeyPlacement& w : keys) {
    if (w.black) continue;
    auto shape =
        std::find_if(shapes.begin(), shapes.end(), [&](const WhiteKeyShape& s) { return s.bitmap == w.bitmap; });
    for (const KeyPlacement& b : keys) {
      if (!b.black || b.x + kBlackWidth <= w.x || b.x >= w.x + kWhiteWidth) continue;
      if (b.x < w.x)
        shape->leftNotch = std::max(shape->leftNotch, b.x + kBlackWidth - w.x);
      else
        shape->rightNotch = std::max(shape->rightNotch, w.x + kWhiteWidth - b.x);
    }
  }
  return shapes;
}

namespace {

// The white key's outline: 1-unit seams at its sides, round front corners,
// notches at the back where black keys lie.
void addWhiteKeyPath(cairo_t* cr, const WhiteKeyShape& shape) {
  const double left = 1, right = kWhiteWidth - 1, front = kWhiteLength - 0.5, corner = 3;
  const double notchLeft = shape.leftNotch > 0 ? shape.leftNotch : left;
  const double notchRight = shape.rightNotch > 0 ? kWhiteWidth - shape.rightNotch : right;
  const double depth = kNotchDepth;
  cairo_new_path(cr);
  cairo_move_to(cr, notchLeft, 0);
  cairo_line_to(cr, notchRight, 0);
  if (notchRight < right) {
    cairo_line_to(cr, notchRight, depth);
    cairo_line_to(cr, right, depth);
  }
  cairo_line_to(cr, right, front - corner);
  cairo_arc(cr, right - corner, front - corner, corner, 0, std::numbers::pi / 2);
  cairo_line_to(cr, left + corner, front);
  cairo_arc(cr, left + corner, front - corner, corner, std::numbers::pi / 2, std::numbers::pi);
  if (notchLeft > left) {
    cairo_line_to(cr, left, depth);
    cairo_line_to(cr, notchLeft, depth);
  }
  cairo_close_path(cr);
}

// A faint lengthwise grain, as in old ivory-coloured plastic.
void paintIvoryGrain(Image& image) {
  image.beginPixels();
  for (int y = 0; y < image.height(); ++y) {
    uint32_t* row = image.row(y);
    for (int x = 0; x < image.width(); ++x) {
      if ((row[x] >> 24) == 0) continue;
      const double grain = fractalNoise(x * 0.9, y / 40.0, 3, 41) - 0.5;
      blendOver(row[x], grain > 0 ? grey(1, 0.06 * grain) : grey(0.3, -0.1 * grain), 1);
    }
  }
  image.endPixels();
}

}  // namespace

void drawWhiteKey(Image& image, const WhiteKeyShape& shape, bool down) {
  cairo_t* cr = image.cr();
  const Colour ivory{0.93, 0.89, 0.8};
  addWhiteKeyPath(cr, shape);
  cairo_pattern_t* length = cairo_pattern_create_linear(0, 0, 0, kWhiteLength);
  // Under the panel's lip the back of the key is in shade; a pressed key
  // dips into it further.
  const double shade = down ? 60.0 / kWhiteLength : 26.0 / kWhiteLength;
  addStop(length, 0, ivory.scaled(down ? 0.5 : 0.66));
  addStop(length, shade, ivory.scaled(down ? 0.9 : 0.97));
  addStop(length, 0.8, ivory.scaled(down ? 0.92 : 1.0));
  addStop(length, 1, ivory.scaled(down ? 0.86 : 0.95));
  cairo_set_source(cr, length);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(length);
  // Rounded side edges.
  setGradient(cr, linearGradient(0, 0, kWhiteWidth, 0), {{0, grey(0, 0.22)}, {0.06, grey(0, 0)}, {0.94, grey(0, 0)}, {1, grey(0, 0.3)}});
  cairo_fill(cr);
  // The front lip: a narrow face whose top edge catches the light; the
  // pressed key's front tips away, so less of it shows.
  const double lip = down ? 6 : 11;
  cairo_save(cr);
  addWhiteKeyPath(cr, shape);
  cairo_clip(cr);
  cairo_rectangle(cr, 0, kWhiteLength - lip, kWhiteWidth, lip);
  setGradient(cr, linearGradient(0, kWhiteLength - lip, 0, kWhiteLength), {{0, ivory.scaled(down ? 0.74 : 0.8)}, {1, ivory.scaled(down ? 0.56 : 0.62)}});
  cairo_fill(cr);
  setColour(cr, grey(1, 0.55));
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, 2, kWhiteLength - lip - 0.5);
  cairo_line_to(cr, kWhiteWidth - 2, kWhiteLength - lip - 0.5);
  cairo_stroke(cr);
  cairo_restore(cr);
  paintIvoryGrain(image);
}

void drawBlackKey(Image& image, bool down) {
  cairo_t* cr = image.cr();
  const double w = kBlackWidth, h = kBlackLength;
  const double left = 1, right = w - 1, bevel = 4.5;
  const double front = h - (down ? 13 : 21);  // where the top face ends and the front slope starts
  addRoundedRect(cr, {left, -3, right - left, h + 2.5}, 2.5);
  setColour(cr, grey(0.02));
  cairo_fill(cr);
  // The side bevels: the left one towards the light.
  cairo_rectangle(cr, left + 0.5, 0, bevel, front);
  setColour(cr, grey(down ? 0.11 : 0.15));
  cairo_fill(cr);
  cairo_rectangle(cr, right - bevel - 0.5, 0, bevel, front);
  setColour(cr, grey(0.04));
  cairo_fill(cr);
  // The front slope faces the player and the light.
  cairo_move_to(cr, left + 0.5, front);
  cairo_line_to(cr, left + bevel + 0.5, front);
  cairo_line_to(cr, right - bevel - 0.5, front);
  cairo_line_to(cr, right - 0.5, front);
  cairo_line_to(cr, right - 0.5, h - 3);
  cairo_line_to(cr, left + 0.5, h - 3);
  cairo_close_path(cr);
  setGradient(cr, linearGradient(0, front, 0, h), {{0, grey(down ? 0.22 : 0.3)}, {0.7, grey(down ? 0.12 : 0.16)}, {1, grey(0.05)}});
  cairo_fill(cr);
  setColour(cr, grey(1, down ? 0.12 : 0.22));
  cairo_set_line_width(cr, 1);
  cairo_move_to(cr, left + bevel, front + 0.5);
  cairo_line_to(cr, right - bevel, front + 0.5);
  cairo_stroke(cr);
  // The top face, in shade at the back under the panel's lip.
  const Rect top{left + bevel + 0.5, 0, right - left - 2 * bevel - 1, front - 1};
  addRoundedRect(cr, {top.x, top.y - 3, top.w, top.h + 3}, 2);
  setGradient(cr, linearGradient(0, 0, 0, front), {{0, grey(0.03)}, {(down ? 60.0 : 30.0) / h, grey(down ? 0.1 : 0.13)}, {1, grey(down ? 0.13 : 0.19)}});
  cairo_fill_preserve(cr);
  // Lacquer: a soft reflection running down the key, left of its middle.
  setGradient(cr, linearGradient(top.x, 0, top.right(), 0), {{0, grey(1, 0.06)}, {0.28, grey(1, 0.13)}, {0.5, grey(1, 0.02)}, {1, grey(0, 0.12)}});
  cairo_fill(cr);
}
