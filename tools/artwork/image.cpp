// SPDX-License-Identifier: ISC
#include "image.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <vector>

Image::Image(int width, int height)
    : mWidth(width),
      mHeight(height),
      mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      mCr(cairo_create(mSurface)) {}

Image::~Image() { release(); }

Image::Image(Image&& other) noexcept
    : mWidth(other.mWidth), mHeight(other.mHeight), mSurface(other.mSurface), mCr(other.mCr) {
  other.mSurface = nullptr;
  other.mCr = nullptr;
}

Image& Image::operator=(Image&& other) noexcept {
  if (this != &other) {
    release();
    mWidth = other.mWidth;
    mHeight = other.mHeight;
    mSurface = other.mSurface;
    mCr = other.mCr;
    other.mSurface = nullptr;
    other.mCr = nullptr;
  }
  return *this;
}

void Image::release() {
  if (mCr) cairo_destroy(mCr);
  if (mSurface) cairo_surface_destroy(mSurface);
  mCr = nullptr;
  mSurface = nullptr;
}

uint32_t* Image::row(int y) const {
  unsigned char* data = cairo_image_surface_get_data(mSurface);
  return reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * cairo_image_surface_get_stride(mSurface));
}

uint32_t packPremultiplied(double r, double g, double b, double a) {
  auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  a = std::clamp(a, 0.0, 1.0);
  return byte(a) << 24 | byte(r * a) << 16 | byte(g * a) << 8 | byte(b * a);
}

bool writePng(const Image& image, const std::string& path, std::string& error) {
  cairo_surface_flush(image.surface());
  const cairo_status_t status = cairo_surface_write_to_png(image.surface(), path.c_str());
  if (status == CAIRO_STATUS_SUCCESS) return true;
  error = "cannot write " + path + ": " + cairo_status_to_string(status);
  return false;
}

bool writeJpeg(const Image& image, const std::string& path, int quality, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  cairo_surface_flush(image.surface());
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.dct_method = JDCT_ISLOW;  // the exact integer transform: the same bytes on every machine
  info.optimize_coding = TRUE;
  for (int c = 0; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> line(static_cast<size_t>(image.width()) * 3);
  for (int y = 0; y < image.height(); ++y) {
    const uint32_t* pixels = image.row(y);
    for (int x = 0; x < image.width(); ++x) {
      line[x * 3 + 0] = static_cast<JSAMPLE>(pixels[x] >> 16 & 0xFF);
      line[x * 3 + 1] = static_cast<JSAMPLE>(pixels[x] >> 8 & 0xFF);
      line[x * 3 + 2] = static_cast<JSAMPLE>(pixels[x] & 0xFF);
    }
    JSAMPROW rows[1] = {line.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  const bool closed = std::fclose(file) == 0;
  if (!closed) error = "cannot write " + path;
  return closed;
}
