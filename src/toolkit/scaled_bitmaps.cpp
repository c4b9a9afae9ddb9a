// SPDX-License-Identifier: ISC
#include "toolkit/scaled_bitmaps.h"

#include <cmath>

cairo_surface_t* ScaledBitmaps::get(cairo_surface_t* source, float scale) {
  if (scale != copiesScale) {
    clear();
    copiesScale = scale;
  }
  for (const Copy& c : copies)
    if (c.source == source) return c.scaled;
  const int w = static_cast<int>(std::ceil(cairo_image_surface_get_width(source) * scale));
  const int h = static_cast<int>(std::ceil(cairo_image_surface_get_height(source) * scale));
  // An opaque picture (the panel's background) stays opaque, which Cairo
  // draws faster than one with an alpha channel.
  const cairo_format_t format =
      cairo_image_surface_get_format(source) == CAIRO_FORMAT_RGB24 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
  cairo_surface_t* scaled = cairo_image_surface_create(format, w, h);
  if (cairo_surface_status(scaled) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(scaled);
    return nullptr;
  }
  cairo_t* cr = cairo_create(scaled);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, source, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  copies.push_back({cairo_surface_reference(source), scaled});
  return scaled;
}

void ScaledBitmaps::clear() {
  for (const Copy& c : copies) {
    cairo_surface_destroy(c.scaled);
    cairo_surface_destroy(c.source);
  }
  copies.clear();
}
