// SPDX-License-Identifier: ISC
// The standalone app as a user runs it: a JACK server of the test's own (the
// dummy driver), the app started as a separate process, and a JACK client of
// the test that sends it MIDI and listens to its outputs.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "jack_probe.h"

namespace {

using namespace std::chrono_literals;
using testutil::Child;
using testutil::spawn;
using testutil::VirtualDisplay;
using testutil::Probe;

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a command line and returns its output (for xdotool).
std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// Saves the whole virtual screen as a PNG, through X and Cairo.
bool screenshot(const std::string& display, const std::string& path) {
  Display* x = XOpenDisplay(display.c_str());
  if (!x) return false;
  const Window root = DefaultRootWindow(x);
  XWindowAttributes attributes;
  XGetWindowAttributes(x, root, &attributes);
  XImage* image = XGetImage(x, root, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  bool saved = false;
  if (image) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, attributes.width, attributes.height);
    auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < attributes.height; ++y)
      for (int xx = 0; xx < attributes.width; ++xx)
        pixels[y * stride + xx] = static_cast<uint32_t>(XGetPixel(image, xx, y)) & 0xffffffu;
    cairo_surface_mark_dirty(s);
    saved = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    XDestroyImage(image);
  }
  XCloseDisplay(x);
  return saved;
}

}  // namespace

// The app in a window of its own on a virtual display, played with the
// mouse like a user plays it: switches, a key, the message strip.
TEST(Standalone, PlaysUnderJackAndXWhenItsPanelIsClicked) {
  const std::string server = "wobblytone-test-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  const std::string logs = std::string(std::getenv("HOME")) + "/";

  VirtualDisplay display;
  ASSERT_TRUE(display.start(logs + "xvfb.log")) << "no virtual display";
  setenv("DISPLAY", display.name.c_str(), 1);
  Child jackd(spawn({"/usr/bin/jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"},
                     logs + "jackd.log"));
  Probe probe;
  ASSERT_TRUE(probe.open()) << "no JACK server:\n" << fileText(logs + "jackd.log");
  Child app(spawn({WOBBLYTONE_STANDALONE}, logs + "standalone.log"));
  ASSERT_TRUE(probe.waitForPort("Wobblytone:audio_out_1"))
      << "the app did not register its ports on display " << display.name << ":\n"
      << fileText(logs + "standalone.log") << fileText(logs + "xvfb.log");
  // The app registers its ports before it activates its client; until then
  // they cannot be connected.
  ASSERT_TRUE(probe.connect("Wobblytone:audio_out_1", "probe:in_1"));
  ASSERT_TRUE(probe.connect("Wobblytone:audio_out_2", "probe:in_2"));

  // The window opens at 976 x 508 (scale 0.5): clicks are in design units / 2.
  std::string window;
  for (int i = 0; i < 100 && window.empty(); ++i) {
    window = run("xdotool search --onlyvisible --name Wobblytone 2>/dev/null | head -n 1");
    if (window.empty()) std::this_thread::sleep_for(100ms);
  }
  ASSERT_FALSE(window.empty()) << "no window";
  std::this_thread::sleep_for(1000ms);
  auto click = [&](int designX, int designY) {
    run("xdotool mousemove --window " + window + " " + std::to_string(designX / 2) + " " + std::to_string(designY / 2) +
        " click 1");
    std::this_thread::sleep_for(300ms);
  };
  auto playKey = [&] {
    run("xdotool mousemove --window " + window + " " + std::to_string(996 / 2) + " " + std::to_string(950 / 2) +
        " mousedown 1");
    const double energy = probe.listen(400ms);
    run("xdotool mouseup 1");
    std::this_thread::sleep_for(200ms);
    return energy;
  };

  EXPECT_LT(playKey(), 1e-9);  // switched off: silent
  click(1756, 384);            // Voltage to 220V/50Hz
  click(1860, 398);            // Power on
  click(900, 560);             // the strip: warm-up to "still warming up"
  click(900, 560);             // and to warm
  // A busy machine may take a moment to carry the clicks out: the unit is on
  // once its mains hum sounds.
  for (int i = 0; i < 25 && probe.listen(200ms) < 1e-9; ++i) {
  }
  const double idle = probe.listen(300ms);
  const double playing = playKey();
  EXPECT_GT(playing, 10.0);
  EXPECT_GT(playing, 20 * idle);
  EXPECT_TRUE(screenshot(display.name, WOBBLYTONE_TEST_ARTIFACTS "/standalone_window.png"));

  // To 110V while powered: the fuse blows and the unit goes silent; a click
  // on the strip puts in a new fuse and it plays again.
  click(1756, 384);
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(playKey(), playing / 100);
  click(900, 560);
  EXPECT_GT(playKey(), playing / 10);

}
