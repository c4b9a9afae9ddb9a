// SPDX-License-Identifier: ISC
// The toolkit's plain value types: rectangles in design units, colours,
// blending, mouse modifiers, text styles and cursors.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

// A rectangle: left, top, right, bottom in design units.
struct IRECT {
  float L = 0, T = 0, R = 0, B = 0;

  IRECT() = default;
  IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}

  float W() const { return R - L; }
  float H() const { return B - T; }
  float MW() const { return 0.5f * (L + R); }
  float MH() const { return 0.5f * (T + B); }
  bool Empty() const { return W() <= 0 || H() <= 0; }
  bool Contains(float x, float y) const { return x >= L && x < R && y >= T && y < B; }
  bool Intersects(const IRECT& o) const { return !Empty() && !o.Empty() && L < o.R && o.L < R && T < o.B && o.T < B; }

  IRECT Union(const IRECT& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return {std::min(L, o.L), std::min(T, o.T), std::max(R, o.R), std::max(B, o.B)};
  }
  IRECT Intersect(const IRECT& o) const {
    IRECT r{std::max(L, o.L), std::max(T, o.T), std::min(R, o.R), std::min(B, o.B)};
    return r.Empty() ? IRECT{} : r;
  }
  IRECT GetTranslated(float dx, float dy) const { return {L + dx, T + dy, R + dx, B + dy}; }
  IRECT GetPadded(float l, float t, float r, float b) const { return {L + l, T + t, R + r, B + b}; }
  IRECT GetPadded(float all) const { return GetPadded(-all, -all, all, all); }
  IRECT GetScaled(float s) const { return {L * s, T * s, R * s, B * s}; }
  // The same size as `w` × `h`, centred on this rectangle's centre.
  IRECT GetCentredInside(float w, float h) const {
    return {MW() - 0.5f * w, MH() - 0.5f * h, MW() + 0.5f * w, MH() + 0.5f * h};
  }
  // The smallest whole-pixel rectangle that covers this one at `scale`.
  IRECT GetPixelAligned(float scale) const {
    return {std::floor(L * scale), std::floor(T * scale), std::ceil(R * scale), std::ceil(B * scale)};
  }
  bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
};

// Alpha, red, green, blue, 0 to 255 each.
struct IColor {
  int A = 255, R = 0, G = 0, B = 0;
  IColor() = default;
  IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
  bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
};

const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
const IColor COLOR_BLACK(255, 0, 0, 0);
const IColor COLOR_WHITE(255, 255, 255, 255);

// How a bitmap or fill is composited: an opacity weight.
struct IBlend {
  float mWeight = 1.0f;
  explicit IBlend(float weight = 1.0f) : mWeight(std::clamp(weight, 0.0f, 1.0f)) {}
};

struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;
};

enum class ECursor { ARROW, HAND };

enum class EAlign { Near, Center, Far };
enum class EVAlign { Top, Middle, Bottom };

// A text style: font identifier, size in design units, colour, alignment,
// and the colours of a text entry.
struct IText {
  float mSize = 14;
  IColor mFGColor = COLOR_BLACK;
  std::string mFont;
  EAlign mAlign = EAlign::Center;
  EVAlign mVAlign = EVAlign::Middle;
  IColor mTextEntryBGColor = COLOR_WHITE;
  IColor mTextEntryFGColor = COLOR_BLACK;

  IText() = default;
  IText(float size, const IColor& color, const char* font = nullptr, EAlign align = EAlign::Center,
        EVAlign valign = EVAlign::Middle)
      : mSize(size), mFGColor(color), mFont(font ? font : ""), mAlign(align), mVAlign(valign) {}
};

const IText DEFAULT_TEXT;
