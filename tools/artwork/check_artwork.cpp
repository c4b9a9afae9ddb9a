// SPDX-License-Identifier: ISC
// wobblytone-check-artwork RESOURCE_FOLDER: checks the drawn artwork against
// what the editor relies on, from its own table rather than the generator's:
// every file's frame size and count, round controls that stay inside their
// frames, knob pointers that sweep from 7 to 5 o'clock, white keys cut away
// exactly where black keys lie, and two-state bitmaps whose states differ.
// Prints each fault and exits with 1 if there is any, 2 on bad arguments.
#include <cairo.h>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Expected {
  const char* file;
  int frames, width, height;
};

// What the editor draws with: a strip of N frames is W x (N * H).
const Expected kFiles[] = {
    {"knob.png", 65, 96, 96},
    {"knob_big.png", 65, 112, 112},
    {"knob_broken.png", 15, 96, 96},
    {"switch_a.png", 6, 96, 96},
    {"shadow_knob.png", 1, 128, 128},
    {"shadow_knobbig.png", 1, 144, 144},
    {"shadow_switch_a.png", 1, 128, 128},
    {"switch_h_blue.png", 2, 72, 40},
    {"switch_h_red.png", 2, 72, 40},
    {"switch_h_white.png", 2, 72, 40},
    {"switch_v_blue.png", 2, 40, 72},
    {"switch_v_red.png", 2, 40, 72},
    {"switch_v_black.png", 2, 48, 88},
    {"switch_b.png", 2, 88, 48},
    {"overload.png", 1, 32, 32},
    {"power.png", 1, 40, 40},
    {"wheel_handle.png", 1, 64, 40},
    {"learn.png", 2, 88, 40},
    {"unlearn.png", 2, 88, 40},
    {"mpmlogo50.png", 1, 120, 48},
    {"key_cf.png", 2, 64, 400},
    {"key_d.png", 2, 64, 400},
    {"key_e.png", 2, 64, 400},
    {"key_g.png", 2, 64, 400},
    {"key_a.png", 2, 64, 400},
    {"key_h.png", 2, 64, 400},
    {"key_c.png", 2, 64, 400},
    {"key_black.png", 2, 42, 250},
};

int faults = 0;

void fault(const std::string& what) {
  std::fprintf(stderr, "artwork: %s\n", what.c_str());
  ++faults;
}

class Png {
 public:
  explicit Png(const std::string& path) : mSurface(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Png() { cairo_surface_destroy(mSurface); }
  Png(const Png&) = delete;
  Png& operator=(const Png&) = delete;
  bool ok() const { return cairo_surface_status(mSurface) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(mSurface); }
  int height() const { return cairo_image_surface_get_height(mSurface); }
  uint32_t at(int x, int y) const {
    const unsigned char* data = cairo_image_surface_get_data(mSurface);
    return reinterpret_cast<const uint32_t*>(data +
                                             static_cast<size_t>(y) * cairo_image_surface_get_stride(mSurface))[x];
  }
  int alpha(int x, int y) const { return static_cast<int>(at(x, y) >> 24); }

 private:
  cairo_surface_t* mSurface;
};

void checkJpeg(const std::string& path, int width, int height) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return fault(path + " is missing");
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  const bool read = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
  if (!read || static_cast<int>(info.image_width) != width || static_cast<int>(info.image_height) != height)
    fault(path + " is not a " + std::to_string(width) + " x " + std::to_string(height) + " JPEG");
  jpeg_destroy_decompress(&info);
  std::fclose(file);
}

// Round controls and their shadows keep their frame's corners clear.
bool isRound(const std::string& file) {
  return file.rfind("knob", 0) == 0 || file.rfind("shadow", 0) == 0 || file == "switch_a.png";
}

void checkCornersClear(const Png& png, const Expected& e) {
  for (int f = 0; f < e.frames; ++f) {
    const int top = f * e.height, bottom = top + e.height - 1, right = e.width - 1;
    if (png.alpha(0, top) || png.alpha(right, top) || png.alpha(0, bottom) || png.alpha(right, bottom))
      fault(std::string(e.file) + " frame " + std::to_string(f + 1) + " reaches its corners");
  }
}

// The direction of the white pointer of one knob frame, from the centroid
// of its near-white pixels outside the cap; degrees clockwise from 12 o'clock.
double pointerAngle(const Png& png, const Expected& e, int frame, double capRadius) {
  double sx = 0, sy = 0;
  const double c = e.width / 2.0;
  for (int y = 0; y < e.height; ++y)
    for (int x = 0; x < e.width; ++x) {
      const uint32_t p = png.at(x, frame * e.height + y);
      const int a = p >> 24, r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
      const double dx = x + 0.5 - c, dy = y + 0.5 - c;
      if (a > 240 && r > 200 && g > 200 && b > 170 && std::hypot(dx, dy) > capRadius + 2) {
        sx += dx;
        sy += dy;
      }
    }
  return std::atan2(sx, -sy) * 180 / std::numbers::pi;
}

void checkPointerSweep(const Png& png, const Expected& e, double capRadius) {
  const struct {
    int frame;
    double angle;
  } stops[] = {{0, -135}, {e.frames / 2, 0}, {e.frames - 1, 135}};
  for (const auto& s : stops) {
    const double a = pointerAngle(png, e, s.frame, capRadius);
    if (std::fabs(a - s.angle) > 8)
      fault(std::string(e.file) + " frame " + std::to_string(s.frame + 1) + " points at " + std::to_string(a) +
            " degrees, not " + std::to_string(s.angle));
  }
}

bool framesDiffer(const Png& png, const Expected& e) {
  for (int y = 0; y < e.height; ++y)
    for (int x = 0; x < e.width; ++x)
      if (png.at(x, y) != png.at(x, y + e.height)) return true;
  return false;
}

// --- The keyboard, worked out afresh: 44 keys from F (41) to C (84), white
// keys 64 apart from x = 260, black keys offset from the F or C that starts
// their group.
struct Key {
  int note, x;
  bool black;
};

std::vector<Key> keys() {
  static const bool kBlack[12] = {false, true, false, true, false, false, true, false, true, false, true, false};
  std::vector<Key> list;
  int whites = 0, groupX = 0;
  for (int note = 41; note <= 84; ++note) {
    const int pc = note % 12;
    if (!kBlack[pc]) {
      if (pc == 0 || pc == 5) groupX = 260 + 64 * whites;
      list.push_back({note, 260 + 64 * whites++, false});
      continue;
    }
    const int offset = pc == 6 ? 35 : pc == 8 ? 107 : pc == 10 ? 179 : pc == 1 ? 37 : 111;
    list.push_back({note, groupX + offset, true});
  }
  return list;
}

std::string whiteKeyFile(int note) {
  if (note == 84) return "key_c.png";
  static const char* kByPitch[12] = {"key_cf.png", "",          "key_d.png", "",          "key_e.png", "key_cf.png",
                                     "",           "key_g.png", "",          "key_a.png", "",          "key_h.png"};
  return kByPitch[note % 12];
}

// Each white key is transparent wherever a black key lies over it, down to
// the black key's length, and opaque in its middle and along its front.
void checkKeys(const std::string& folder) {
  const std::vector<Key> all = keys();
  for (const Key& w : all) {
    if (w.black) continue;
    const std::string file = whiteKeyFile(w.note);
    const Png png(folder + "/" + file);
    if (!png.ok() || png.width() != 64 || png.height() != 800) continue;  // reported with the sizes
    for (int frame = 0; frame < 2; ++frame) {
      const int top = frame * 400;
      for (const Key& b : all) {
        if (!b.black || b.x + 42 <= w.x || b.x >= w.x + 64) continue;
        const int from = std::max(b.x, w.x) - w.x, to = std::min(b.x + 42, w.x + 64) - w.x;
        for (int x = from; x < to; ++x)
          for (int y : {2, 120, 248})
            if (png.alpha(x, top + y))
              return fault(file + " (note " + std::to_string(w.note) + ") is not cut away under a black key at x " +
                           std::to_string(x) + ", y " + std::to_string(y));
      }
      for (int x = 4; x < 60; ++x)
        if (png.alpha(x, top + 300) != 255) return fault(file + " has a hole at x " + std::to_string(x) + ", y 300");
    }
  }
  const Png whole(folder + "/key_c.png");
  if (whole.ok() && (whole.alpha(4, 2) != 255 || whole.alpha(59, 2) != 255)) fault("key_c.png is not whole at the top");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wobblytone-check-artwork RESOURCE_FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  checkJpeg(folder + "/back.jpg", 1952, 1016);
  for (const Expected& e : kFiles) {
    const Png png(folder + "/" + e.file);
    if (!png.ok()) {
      fault(std::string(e.file) + " is missing or not a PNG");
      continue;
    }
    if (png.width() != e.width || png.height() != e.frames * e.height) {
      fault(std::string(e.file) + " is " + std::to_string(png.width()) + " x " + std::to_string(png.height()) +
            ", not " + std::to_string(e.frames) + " frames of " + std::to_string(e.width) + " x " +
            std::to_string(e.height));
      continue;
    }
    if (isRound(e.file)) checkCornersClear(png, e);
    if (e.frames == 2 && !framesDiffer(png, e)) fault(std::string(e.file) + " shows the same picture in both states");
    if (std::string(e.file) == "knob.png") checkPointerSweep(png, e, 14.5);
    if (std::string(e.file) == "knob_big.png") checkPointerSweep(png, e, 17);
  }
  checkKeys(folder);
  if (FILE* f = std::fopen((folder + "/LeagueSpartan-Medium.otf").c_str(), "rb"))
    std::fclose(f);
  else
    fault("LeagueSpartan-Medium.otf is missing");
  if (faults) std::fprintf(stderr, "artwork: %d fault(s)\n", faults);
  return faults ? 1 : 0;
}
