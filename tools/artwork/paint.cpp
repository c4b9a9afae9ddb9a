// SPDX-License-Identifier: ISC
#include "paint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

Colour Colour::mix(const Colour& other, double t) const {
  return {r + (other.r - r) * t, g + (other.g - g) * t, b + (other.b - b) * t, a + (other.a - a) * t};
}

Colour Colour::scaled(double k) const { return {r * k, g * k, b * k, a}; }

Colour grey(double level, double alpha) { return {level, level, level, alpha}; }

void setColour(cairo_t* cr, const Colour& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

cairo_pattern_t* linearGradient(double x0, double y0, double x1, double y1) {
  return cairo_pattern_create_linear(x0, y0, x1, y1);
}

cairo_pattern_t* radialGradient(double cx0, double cy0, double r0, double cx1, double cy1, double r1) {
  return cairo_pattern_create_radial(cx0, cy0, r0, cx1, cy1, r1);
}

void setGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<GradientStop> stops) {
  for (const GradientStop& stop : stops) addStop(pattern, stop.offset, stop.colour);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

void addStop(cairo_pattern_t* pattern, double offset, const Colour& c) {
  cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, c.a);
}

void addRoundedRect(cairo_t* cr, const Rect& r, double radius) {
  radius = std::min({radius, r.w / 2, r.h / 2});
  const double pi = std::numbers::pi;
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.right() - radius, r.y + radius, radius, -pi / 2, 0);
  cairo_arc(cr, r.right() - radius, r.bottom() - radius, radius, 0, pi / 2);
  cairo_arc(cr, r.x + radius, r.bottom() - radius, radius, pi / 2, pi);
  cairo_arc(cr, r.x + radius, r.y + radius, radius, pi, 1.5 * pi);
  cairo_close_path(cr);
}

void addCircle(cairo_t* cr, double cx, double cy, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, radius, 0, 2 * std::numbers::pi);
  cairo_close_path(cr);
}

double radians(double degrees) { return degrees * std::numbers::pi / 180; }

Point polar(double cx, double cy, double radius, double degrees) {
  const double a = radians(degrees);
  return {cx + radius * std::sin(a), cy - radius * std::cos(a)};
}

void blendOver(uint32_t& pixel, const Colour& c, double coverage) {
  const double alpha = std::clamp(c.a * coverage, 0.0, 1.0);
  if (alpha <= 0) return;
  const double keep = 1 - alpha;
  auto channel = [&](int shift, double value) {
    const double d = (pixel >> shift & 0xFF) / 255.0;
    return static_cast<uint32_t>(std::lround(std::clamp(d * keep + value * alpha, 0.0, 1.0) * 255));
  };
  pixel = channel(24, 1.0) << 24 | channel(16, c.r) << 16 | channel(8, c.g) << 8 | channel(0, c.b);
}

Colour unpack(uint32_t pixel) {
  const double a = (pixel >> 24) / 255.0;
  if (a <= 0) return {0, 0, 0, 0};
  return {(pixel >> 16 & 0xFF) / 255.0 / a, (pixel >> 8 & 0xFF) / 255.0 / a, (pixel & 0xFF) / 255.0 / a, a};
}

double discCoverage(double d, double r) { return std::clamp(r - d + 0.5, 0.0, 1.0); }

void paintSoftDisc(Image& image, double cx, double cy, double radius, double softness, double opacity) {
  image.beginPixels();
  for (int y = 0; y < image.height(); ++y) {
    uint32_t* row = image.row(y);
    for (int x = 0; x < image.width(); ++x) {
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      const double alpha = opacity * 0.5 * std::erfc((d - radius) / (softness * std::numbers::sqrt2));
      blendOver(row[x], grey(0), alpha);
    }
  }
  image.endPixels();
}

void paintImage(cairo_t* cr, const Image& source, double x, double y) {
  cairo_surface_flush(source.surface());
  cairo_set_source_surface(cr, source.surface(), x, y);
  cairo_paint(cr);
}
