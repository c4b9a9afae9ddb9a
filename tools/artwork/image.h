// SPDX-License-Identifier: ISC
// Image: an ARGB32 Cairo surface with its drawing context, and the writers
// that store one as PNG (through Cairo) or JPEG (through libjpeg).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
  double right() const { return x + w; }
  double bottom() const { return y + h; }
  double centreX() const { return x + w / 2; }
  double centreY() const { return y + h / 2; }
  bool intersects(const Rect& o) const { return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom(); }
};

class Image {
 public:
  // A fully transparent image.
  Image(int width, int height);
  ~Image();
  Image(Image&& other) noexcept;
  Image& operator=(Image&& other) noexcept;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int width() const { return mWidth; }
  int height() const { return mHeight; }
  cairo_t* cr() const { return mCr; }
  cairo_surface_t* surface() const { return mSurface; }

  // Direct pixel access (premultiplied ARGB, native endian). Call
  // beginPixels() before reading or writing and endPixels() after writing,
  // so Cairo's own drawing and the pixel loops see each other's work.
  void beginPixels() { cairo_surface_flush(mSurface); }
  void endPixels() { cairo_surface_mark_dirty(mSurface); }
  uint32_t* row(int y) const;

 private:
  void release();
  int mWidth = 0, mHeight = 0;
  cairo_surface_t* mSurface = nullptr;
  cairo_t* mCr = nullptr;
};

// Packs a straight (not premultiplied) colour with channels in 0..1.
uint32_t packPremultiplied(double r, double g, double b, double a);

// Writes the image as PNG; false with a message naming the file on failure.
bool writePng(const Image& image, const std::string& path, std::string& error);

// Writes the opaque image as a baseline JPEG with full-resolution chroma, so
// the thin legends keep their edges.
bool writeJpeg(const Image& image, const std::string& path, int quality, std::string& error);
