// SPDX-License-Identifier: ISC
#include "toolkit/offscreen_host.h"

#include "toolkit/graphics.h"

OffscreenHost::~OffscreenHost() {
  if (surface) cairo_surface_destroy(surface);
}

void OffscreenHost::resizeWindow(int w, int h) {
  width = w;
  height = h;
  if (surface && cairo_image_surface_get_width(surface) == w && cairo_image_surface_get_height(surface) == h) return;
  if (surface) cairo_surface_destroy(surface);
  surface = w > 0 && h > 0 ? cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h) : nullptr;
}

void OffscreenHost::render(IGraphics& g, bool everything) {
  if (!surface || width != g.WindowWidth() || height != g.WindowHeight()) {
    resizeWindow(g.WindowWidth(), g.WindowHeight());
    everything = true;
  }
  if (!surface) return;
  cairo_t* cr = cairo_create(surface);
  g.Draw(cr, everything);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
}

bool OffscreenHost::savePNG(const std::string& path) const {
  return surface && cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

uint32_t OffscreenHost::pixel(int x, int y) const {
  if (!surface || x < 0 || y < 0 || x >= width || y >= height) return 0;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  return reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride)[x];
}

bool OffscreenHost::openURL(const std::string& url) {
  openedURLs.push_back(url);
  return true;
}

void OffscreenHost::promptForFile(const FileDialogRequest& request, std::function<void(const std::string&)> done) {
  fileRequests.push_back(request);
  std::string answer;
  if (!fileAnswers.empty()) {
    answer = fileAnswers.front();
    fileAnswers.pop_front();
  }
  done(answer);
}
