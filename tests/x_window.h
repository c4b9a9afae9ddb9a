// SPDX-License-Identifier: ISC
// A host's window on an X display, for embedding a plug-in's editor and
// reading back what it drew, and a coarse comparison of two pictures.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace testutil {

// A picture as 0xRRGGBB pixels, row by row.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;

  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

  // Mean brightness of all pixels, 0 (black) to 1 (white).
  double brightness() const {
    double sum = 0;
    for (uint32_t p : pixels) sum += ((p >> 16 & 0xff) + (p >> 8 & 0xff) + (p & 0xff)) / 765.0;
    return pixels.empty() ? 0 : sum / pixels.size();
  }

  bool savePNG(const std::string& path) const {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) data[y * stride + x] = at(x, y);
    cairo_surface_mark_dirty(s);
    const bool saved = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return saved;
  }

  static Picture ofCairo(cairo_surface_t* s) {
    Picture p;
    cairo_surface_flush(s);
    p.width = cairo_image_surface_get_width(s);
    p.height = cairo_image_surface_get_height(s);
    const auto* data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) p.pixels.push_back(data[y * stride + x] & 0xffffff);
    return p;
  }
};

// How much two pictures of the same size differ, averaged over a grid of
// `columns` x `rows` cells: 0 for the same picture, 1 for black against
// white. Small differences (a lamp, the message strip's text) weigh little;
// a black panel, a panel drawn at another scale or clipped weighs much.
inline double coarseDifference(const Picture& a, const Picture& b, int columns = 32, int rows = 16) {
  if (a.width != b.width || a.height != b.height || a.width < columns || a.height < rows) return 1.0;
  double total = 0;
  for (int cy = 0; cy < rows; ++cy)
    for (int cx = 0; cx < columns; ++cx) {
      const int x0 = cx * a.width / columns, x1 = (cx + 1) * a.width / columns;
      const int y0 = cy * a.height / rows, y1 = (cy + 1) * a.height / rows;
      double channels[2][3] = {};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          for (int k = 0; k < 3; ++k) {
            channels[0][k] += a.at(x, y) >> (8 * k) & 0xff;
            channels[1][k] += b.at(x, y) >> (8 * k) & 0xff;
          }
      const double n = double(x1 - x0) * (y1 - y0) * 255;
      for (int k = 0; k < 3; ++k) total += std::fabs(channels[0][k] - channels[1][k]) / n / 3;
    }
  return total / (columns * rows);
}

// DISPLAY set to `name` for as long as this lives, as a host on that display
// would have it.
class UseDisplay {
 public:
  explicit UseDisplay(const std::string& name) {
    if (const char* old = std::getenv("DISPLAY")) previous = old;
    setenv("DISPLAY", name.c_str(), 1);
  }
  ~UseDisplay() {
    if (previous.empty())
      unsetenv("DISPLAY");
    else
      setenv("DISPLAY", previous.c_str(), 1);
  }
  UseDisplay(const UseDisplay&) = delete;
  UseDisplay& operator=(const UseDisplay&) = delete;

 private:
  std::string previous;
};

// A top-level window of the host's own that a plug-in editor embeds into.
class HostWindow {
 public:
  HostWindow(const std::string& display, int width, int height) {
    // A busy server may refuse a connection for a moment.
    for (int attempt = 0; attempt < 50 && !x; ++attempt) {
      x = XOpenDisplay(display.c_str());
      if (!x) usleep(20000);
    }
    if (!x) return;
    window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, 0, 0xffffff);
    XMapWindow(x, window);
    XSync(x, False);
  }
  ~HostWindow() {
    if (!x) return;
    XDestroyWindow(x, window);
    XCloseDisplay(x);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool ok() const { return x != nullptr; }
  unsigned long id() const { return window; }

  void resize(int width, int height) {
    XResizeWindow(x, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(x, False);
  }

  // The size the X server has for the window.
  std::pair<int, int> size() const {
    XWindowAttributes a{};
    XGetWindowAttributes(x, window, &a);
    return {a.width, a.height};
  }

  // The size of the first child window (the embedded editor), or 0 x 0.
  std::pair<int, int> childSize() const {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    std::pair<int, int> result{0, 0};
    if (XQueryTree(x, window, &root, &parent, &children, &count) && count > 0) {
      XWindowAttributes a{};
      XGetWindowAttributes(x, children[0], &a);
      result = {a.width, a.height};
    }
    if (children) XFree(children);
    return result;
  }

  // What the window shows, its embedded editor included.
  Picture capture() const {
    Picture p;
    const auto [w, h] = size();
    XImage* image = XGetImage(x, window, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return p;
    p.width = w;
    p.height = h;
    p.pixels.reserve(static_cast<size_t>(w) * h);
    for (int yy = 0; yy < h; ++yy)
      for (int xx = 0; xx < w; ++xx) p.pixels.push_back(static_cast<uint32_t>(XGetPixel(image, xx, yy)) & 0xffffff);
    XDestroyImage(image);
    return p;
  }

  Display* x = nullptr;
  Window window = 0;
};

}  // namespace testutil

namespace testutil {

// Runs xdotool on `display` with these arguments (mouse moves and clicks as
// a user's), and waits for it.
inline void xdotool(const std::string& display, const std::string& arguments) {
  const std::string command = "DISPLAY=" + display + " xdotool " + arguments + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    // A failed move or click shows in what the test then measures.
  }
}

// Drags with the left button in `window` from (x, y) by (dx, dy) in six
// steps, as a hand would; `between` runs after each step (the host's loop,
// so that the editor sees the motion).
template <class Between>
void drag(const std::string& display, unsigned long window, int x, int y, int dx, int dy, Between between) {
  const std::string win = std::to_string(window);
  xdotool(display, "mousemove --window " + win + " " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
  between();
  for (int step = 1; step <= 6; ++step) {
    xdotool(display, "mousemove --window " + win + " " + std::to_string(x + dx * step / 6) + " " +
                         std::to_string(y + dy * step / 6));
    between();
  }
  xdotool(display, "mouseup 1");
  between();
}

}  // namespace testutil
