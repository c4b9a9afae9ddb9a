// SPDX-License-Identifier: ISC
#include "sheets.h"

#include <algorithm>

#include "keyboard.h"
#include "layout.h"
#include "paint.h"

namespace {

constexpr int kSheetWidth = 2100, kMargin = 28, kFrameGap = 6, kCaptionHeight = 44;
const TextStyle kCaptionStyle{15, 0.02};
const TextStyle kDetailStyle{12, 0.02};

// Which frames the sheet shows: all of a short strip, five of a long one.
std::vector<int> shownFrames(int frames) {
  if (frames <= 16) {
    std::vector<int> all(frames);
    for (int i = 0; i < frames; ++i) all[i] = i;
    return all;
  }
  std::vector<int> some;
  for (int i = 0; i < 5; ++i) some.push_back(i * (frames - 1) / 4);
  return some;
}

struct Tile {
  const RenderedStrip* strip;  // null for the background
  double x, y, w, h;           // the pictures' area, caption below
};

std::string frameList(const std::vector<int>& frames, int total) {
  if (static_cast<int>(frames.size()) == total) return total == 1 ? "1 frame" : std::to_string(total) + " frames";
  std::string list = "frames";
  for (size_t i = 0; i < frames.size(); ++i) list += (i ? ", " : " ") + std::to_string(frames[i] + 1);
  return list + " of " + std::to_string(total);
}

void drawStripTile(cairo_t* cr, const Tile& t) {
  const StripRecipe& s = *t.strip->recipe;
  double x = t.x;
  for (int f : shownFrames(s.frames)) {
    cairo_save(cr);
    cairo_rectangle(cr, x, t.y, s.width, s.height);
    cairo_clip(cr);
    cairo_surface_flush(t.strip->image->surface());
    cairo_set_source_surface(cr, t.strip->image->surface(), x, t.y - static_cast<double>(f) * s.height);
    cairo_paint(cr);
    cairo_restore(cr);
    x += s.width + kFrameGap;
  }
}

void caption(cairo_t* cr, const Font& font, const Tile& t, const std::string& name, const std::string& detail) {
  addTextPath(cr, font, name, kCaptionStyle, t.x, t.y + t.h + 14, Align::Left);
  addTextPath(cr, font, detail, kDetailStyle, t.x, t.y + t.h + 32, Align::Left);
  setColour(cr, grey(0.06));
  cairo_fill(cr);
}

}  // namespace

Image makeContactSheet(const std::vector<RenderedStrip>& strips, const Image& back, const Font& font) {
  // Lay the tiles out in rows, the scaled background first.
  std::vector<Tile> tiles;
  tiles.push_back({nullptr, kMargin, kMargin, back.width() / 2.0, back.height() / 2.0});
  double x = kMargin, y = kMargin + back.height() / 2.0 + kCaptionHeight + kMargin, rowHeight = 0;
  for (const RenderedStrip& s : strips) {
    const int n = static_cast<int>(shownFrames(s.recipe->frames).size());
    const double w = n * s.recipe->width + (n - 1) * kFrameGap, h = s.recipe->height;
    const double captionWidth = 230;
    if (x > kMargin && x + std::max(w, captionWidth) > kSheetWidth - kMargin) {
      x = kMargin;
      y += rowHeight + kCaptionHeight + kMargin;
      rowHeight = 0;
    }
    tiles.push_back({&s, x, y, w, h});
    x += std::max(w, captionWidth) + kMargin;
    rowHeight = std::max(rowHeight, h);
  }
  const int height = static_cast<int>(y + rowHeight + kCaptionHeight + kMargin);
  Image sheet(kSheetWidth, height);
  cairo_t* cr = sheet.cr();
  setColour(cr, grey(0.5));
  cairo_paint(cr);
  for (const Tile& t : tiles) {
    if (!t.strip) {
      cairo_save(cr);
      cairo_translate(cr, t.x, t.y);
      cairo_scale(cr, 0.5, 0.5);
      cairo_surface_flush(back.surface());
      cairo_set_source_surface(cr, back.surface(), 0, 0);
      cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
      cairo_paint(cr);
      cairo_restore(cr);
      caption(cr, font, t, "back.jpg",
              std::to_string(back.width()) + " x " + std::to_string(back.height()) + ", shown at half size");
      continue;
    }
    const StripRecipe& s = *t.strip->recipe;
    drawStripTile(cr, t);
    caption(
        cr, font, t, s.file,
        std::to_string(s.width) + " x " + std::to_string(s.height) + ", " + frameList(shownFrames(s.frames), s.frames));
  }
  return sheet;
}

namespace {

const RenderedStrip* findStrip(const std::vector<RenderedStrip>& strips, const std::string& file) {
  for (const RenderedStrip& s : strips)
    if (s.recipe->file == file) return &s;
  return nullptr;
}

// Paints one frame of a strip with its top left at (x, y).
void paintFrame(cairo_t* cr, const RenderedStrip& s, int frame, double x, double y) {
  cairo_save(cr);
  cairo_rectangle(cr, x, y, s.recipe->width, s.recipe->height);
  cairo_clip(cr);
  cairo_surface_flush(s.image->surface());
  cairo_set_source_surface(cr, s.image->surface(), x, y - static_cast<double>(frame) * s.recipe->height);
  cairo_paint(cr);
  cairo_restore(cr);
}

}  // namespace

Image makePanelPreview(const std::vector<RenderedStrip>& strips, const Image& back) {
  Image preview(back.width(), back.height());
  cairo_t* cr = preview.cr();
  paintImage(cr, back, 0, 0);
  for (const PanelControl& c : faceControls()) {
    const Rect r = controlRect(c);
    if (const char* shadow = partShadow(c.part))
      if (const RenderedStrip* s = findStrip(strips, shadow))
        paintFrame(cr, *s, 0, r.x - (s->recipe->width - r.w) / 2, r.y - (s->recipe->height - r.h) / 2);
    if (!c.bitmap) continue;
    const RenderedStrip* s = findStrip(strips, c.bitmap);
    if (!s) continue;
    // A wheel's handle rests in the middle of its travel.
    const double y = c.part == Part::Wheel ? r.y + Panel::kWheelTravel / 2.0 : r.y;
    paintFrame(cr, *s, 0, r.x, y);
  }
  const std::vector<KeyPlacement> keys = keyboardLayout();
  for (bool black : {false, true})
    for (const KeyPlacement& k : keys)
      if (k.black == black)
        if (const RenderedStrip* s = findStrip(strips, k.bitmap)) paintFrame(cr, *s, 0, k.x, Keyboard::kTop);
  return preview;
}
