// SPDX-License-Identifier: ISC
// Copies of bitmaps at one drawing scale. Each is made with a good filter the
// first time its bitmap is drawn at that scale, then drawn pixel for pixel;
// a new scale frees them all. Scaling every bitmap on every redraw is what
// made large windows slow.
#pragma once

#include <cairo.h>

#include <vector>

class ScaledBitmaps {
 public:
  ScaledBitmaps() = default;
  ~ScaledBitmaps() { clear(); }
  ScaledBitmaps(const ScaledBitmaps&) = delete;
  ScaledBitmaps& operator=(const ScaledBitmaps&) = delete;

  // The copy of the image surface `source` at `scale`, made now if there is
  // none; nullptr if Cairo cannot make one. The copy keeps a reference to
  // its source, so that a freed bitmap's address cannot be taken for it.
  cairo_surface_t* get(cairo_surface_t* source, float scale);
  void clear();

 private:
  struct Copy {
    cairo_surface_t* source;
    cairo_surface_t* scaled;
  };
  float copiesScale = 0;
  std::vector<Copy> copies;
};
