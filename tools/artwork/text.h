// SPDX-License-Identifier: ISC
// Text for the artwork: one OpenType face loaded through FreeType, and lines
// of it added to a Cairo path. Glyphs are drawn unhinted as outlines, so the
// legends land where the layout puts them and look the same at any scale.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "image.h"

class Font {
 public:
  // Loads the face at `path`; null with a message in `error` on failure.
  static std::unique_ptr<Font> load(const std::string& path, std::string& error);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  cairo_font_face_t* face() const { return mFace; }
  bool hasCharacter(char32_t c) const;
  // Height of the capitals as a fraction of the font size.
  double capHeight() const { return mCapHeight; }

 private:
  struct FreeType;
  Font() = default;
  FreeType* mFreeType = nullptr;  // owned by mFace, which frees it last
  cairo_font_face_t* mFace = nullptr;
  double mCapHeight = 0.7;
};

enum class Align { Left, Centre, Right };

struct TextStyle {
  double size = 14;
  double tracking = 0;  // extra space between letters, in units of the size
};

// The width of one line of text.
double textWidth(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style);

// Where a line would go: aligned at x, with the middle of its capitals at
// yMiddle. The box spans the advance width and the cap height.
Rect textBox(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style, double x, double yMiddle,
             Align align);

// Adds the line's outlines to the current path at that place; returns its box.
Rect addTextPath(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style, double x,
                 double yMiddle, Align align);

// Splits `text` at spaces into as few lines as keep each within maxWidth,
// balancing the lines; a single word wider than maxWidth stays whole.
std::vector<std::string> wrapText(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style,
                                  double maxWidth);

// Upper-case of an ASCII text.
std::string upperCase(std::string text);
