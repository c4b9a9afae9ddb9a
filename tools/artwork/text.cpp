// SPDX-License-Identifier: ISC
#include "text.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>

struct Font::FreeType {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~FreeType() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

namespace {
const cairo_user_data_key_t kFreeTypeKey = {};
}

std::unique_ptr<Font> Font::load(const std::string& path, std::string& error) {
  auto ft = std::make_unique<FreeType>();
  if (FT_Init_FreeType(&ft->library) != 0 || FT_New_Face(ft->library, path.c_str(), 0, &ft->face) != 0) {
    error = "cannot load the font " + path;
    return nullptr;
  }
  std::unique_ptr<Font> font(new Font);
  if (ft->face->units_per_EM > 0 && FT_Load_Char(ft->face, 'H', FT_LOAD_NO_SCALE) == 0)
    font->mCapHeight = static_cast<double>(ft->face->glyph->metrics.height) / ft->face->units_per_EM;
  font->mFace = cairo_ft_font_face_create_for_ft_face(ft->face, 0);
  // Cairo may keep the face in its caches after we let go of it, so the face
  // frees FreeType when its last reference goes.
  font->mFreeType = ft.get();
  cairo_font_face_set_user_data(font->mFace, &kFreeTypeKey, ft.release(),
                                [](void* data) { delete static_cast<FreeType*>(data); });
  return font;
}

Font::~Font() {
  if (mFace) cairo_font_face_destroy(mFace);
}

bool Font::hasCharacter(char32_t c) const { return FT_Get_Char_Index(mFreeType->face, c) != 0; }

namespace {

// Sets the face unhinted at the style's size.
void selectFont(cairo_t* cr, const Font& font, const TextStyle& style) {
  cairo_set_font_face(cr, font.face());
  cairo_set_font_size(cr, style.size);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

// The line's glyphs from x = 0 on the baseline, tracking applied; returns the width.
double layOut(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style,
              std::vector<cairo_glyph_t>& glyphs) {
  selectFont(cr, font, style);
  cairo_scaled_font_t* scaled = cairo_get_scaled_font(cr);
  cairo_glyph_t* list = nullptr;
  int count = 0;
  glyphs.clear();
  if (cairo_scaled_font_text_to_glyphs(scaled, 0, 0, text.c_str(), static_cast<int>(text.size()), &list, &count,
                                       nullptr, nullptr, nullptr) != CAIRO_STATUS_SUCCESS)
    return 0;
  glyphs.assign(list, list + count);
  cairo_glyph_free(list);
  const double extra = style.tracking * style.size;
  for (int i = 0; i < count; ++i) glyphs[i].x += extra * i;
  if (count == 0) return 0;
  cairo_text_extents_t last;
  cairo_scaled_font_glyph_extents(scaled, &glyphs[count - 1], 1, &last);
  return glyphs[count - 1].x + last.x_advance;
}

double alignedLeft(double x, double width, Align align) {
  return align == Align::Left ? x : align == Align::Centre ? x - width / 2 : x - width;
}

}  // namespace

double textWidth(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style) {
  std::vector<cairo_glyph_t> glyphs;
  cairo_save(cr);
  const double width = layOut(cr, font, text, style, glyphs);
  cairo_restore(cr);
  return width;
}

Rect textBox(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style, double x, double yMiddle,
             Align align) {
  const double width = textWidth(cr, font, text, style);
  const double cap = font.capHeight() * style.size;
  return {alignedLeft(x, width, align), yMiddle - cap / 2, width, cap};
}

Rect addTextPath(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style, double x,
                 double yMiddle, Align align) {
  std::vector<cairo_glyph_t> glyphs;
  cairo_save(cr);
  const double width = layOut(cr, font, text, style, glyphs);
  const double cap = font.capHeight() * style.size;
  const double left = alignedLeft(x, width, align);
  for (cairo_glyph_t& g : glyphs) {
    g.x += left;
    g.y += yMiddle + cap / 2;
  }
  cairo_glyph_path(cr, glyphs.data(), static_cast<int>(glyphs.size()));
  cairo_restore(cr);  // the path survives save/restore
  return {left, yMiddle - cap / 2, width, cap};
}

std::vector<std::string> wrapText(cairo_t* cr, const Font& font, const std::string& text, const TextStyle& style,
                                  double maxWidth) {
  if (textWidth(cr, font, text, style) <= maxWidth || text.find(' ') == std::string::npos) return {text};
  // Two lines first, split where the longer line is shortest.
  std::vector<std::string> best;
  double bestWidth = 1e9;
  for (size_t space = text.find(' '); space != std::string::npos; space = text.find(' ', space + 1)) {
    const std::string first = text.substr(0, space), second = text.substr(space + 1);
    const double width = std::max(textWidth(cr, font, first, style), textWidth(cr, font, second, style));
    if (width < bestWidth) {
      bestWidth = width;
      best = {first, second};
    }
  }
  if (bestWidth <= maxWidth) return best;
  // Else a line per word.
  std::vector<std::string> words;
  size_t start = 0;
  for (size_t space = text.find(' '); space != std::string::npos; space = text.find(' ', start)) {
    words.push_back(text.substr(start, space - start));
    start = space + 1;
  }
  words.push_back(text.substr(start));
  return words;
}

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
