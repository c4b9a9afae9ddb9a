// SPDX-License-Identifier: ISC
#include "toolkit/bitmap.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

IBitmap::IBitmap(cairo_surface_t* surface, int frames, std::string name)
    : mSurface(surface, cairo_surface_destroy), mFrames(frames > 0 ? frames : 1), mName(std::move(name)) {
  mFrameW = cairo_image_surface_get_width(surface);
  mFrameH = cairo_image_surface_get_height(surface) / mFrames;
}

namespace {

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  return true;
}

// libjpeg reports fatal errors through a callback that must not return.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void jpegFail(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

cairo_surface_t* loadJpeg(const std::string& path, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = "cannot open " + path;
    return nullptr;
  }
  jpeg_decompress_struct info{};
  JpegError jerr{};
  info.err = jpeg_std_error(&jerr.manager);
  jerr.manager.error_exit = jpegFail;
  // Its warnings (a file cut short, for one) would go to the host's standard
  // error; a plug-in says nothing there, and the picture shows what was read.
  jerr.manager.output_message = [](j_common_ptr) {};
  // Set after setjmp and read after a longjmp, so it lives in memory.
  cairo_surface_t* volatile surface = nullptr;
  std::vector<unsigned char> row;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    if (surface) cairo_surface_destroy(surface);
    error = "malformed JPEG " + path;
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const int w = static_cast<int>(info.output_width), h = static_cast<int>(info.output_height);
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) jpegFail(reinterpret_cast<j_common_ptr>(&info));
  surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  const int stride = cairo_image_surface_get_stride(surface);
  unsigned char* pixels = cairo_image_surface_get_data(surface);
  row.resize(static_cast<size_t>(w) * 3);
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&info, rows, 1);
    auto* out = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x)
      out[x] = 0xff000000u | (uint32_t(row[3 * x]) << 16) | (uint32_t(row[3 * x + 1]) << 8) | row[3 * x + 2];
  }
  cairo_surface_mark_dirty(surface);
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return surface;
}

}  // namespace

cairo_surface_t* loadImageFile(const std::string& path, std::string& error) {
  if (endsWith(path, ".jpg") || endsWith(path, ".jpeg")) return loadJpeg(path, error);
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    error = std::string("cannot read ") + path + ": " + cairo_status_to_string(cairo_surface_status(surface));
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return surface;
}
