// SPDX-License-Identifier: ISC
// The LV2 plug-in in jalv, a host nobody here wrote, on a JACK server of the
// test's own with the dummy driver (tests/jalv/jalv_session.sh starts and
// stops the programs): jalv.gtk3 plays a note, a control changes through
// jalv's own generic controls, jalv saves the state, and a new jalv process
// restores it and plays the same. The test's JACK client sends the notes and
// records what jalv plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "instrument/factory_bank.h"
#include "jack_probe.h"
#include "test_util.h"
#include "x_window.h"  // after gtest: Xlib defines None

namespace {

using namespace std::chrono_literals;

// Runs the session script with these arguments; its standard output, or
// nullopt-like failure through `ok`.
struct Script {
  std::string work;
  bool ok = true;
  std::string lastError;

  std::string run(const std::string& arguments) {
    const std::string command =
        "sh " WOBBLYTONE_JALV_SCRIPTS "/jalv_session.sh '" + work + "' " + arguments + " 2>'" + work + ".err'";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
      if (pclose(p) != 0) {
        ok = false;
        lastError = arguments + " failed";
      }
    } else {
      ok = false;
    }
    return out;
  }
  ~Script() { run("stop-all"); }
};

// A session in a fresh folder of the test artifacts: the bundle copied in
// and a JACK server of its own, whose variables this process takes so that
// its own JACK client reaches that server.
void startSession(Script& script, const std::string& name) {
  script.work = WOBBLYTONE_TEST_ARTIFACTS "/" + name;
  std::system(("rm -rf '" + script.work + "'").c_str());
  script.run("init " WOBBLYTONE_LV2_BUNDLE);
  script.run("start-jack");
  if (!script.ok) return;
  std::istringstream variables(script.run("env"));
  for (std::string line; std::getline(variables, line);)
    if (const size_t eq = line.find('='); eq != std::string::npos)
      setenv(line.substr(0, eq).c_str(), line.substr(eq + 1).c_str(), 1);
}

double rmsOf(const std::vector<float>& x, size_t from = 0) {
  double sum = 0;
  for (size_t i = from; i < x.size(); ++i) sum += double(x[i]) * x[i];
  return x.size() > from ? std::sqrt(sum / static_cast<double>(x.size() - from)) : 0;
}

struct Heard {
  double level = 0, pitch = 0;
  bool leftEqualsRight = false;
};

// Holds A4 for a second and measures the steady part of what comes back.
Heard playA4(testutil::Probe& probe) {
  probe.send(0x90, 69, 100);
  const std::vector<float> left = probe.record(0, 1200ms);
  const std::vector<float> right = probe.lastRecorded(1);
  probe.send(0x80, 69, 0);
  std::this_thread::sleep_for(300ms);
  Heard heard;
  const size_t settle = left.size() / 4;
  // Like the pitch below, the level is the median over 100 ms windows: a
  // cycle jalv missed on a busy machine is silence in one window only.
  const size_t windowFrames = static_cast<size_t>(probe.sampleRate() / 10);
  std::vector<double> levels;
  for (size_t at = settle; at + windowFrames <= left.size(); at += windowFrames)
    levels.push_back(rmsOf(std::vector<float>(left.begin() + static_cast<long>(at),
                                              left.begin() + static_cast<long>(at + windowFrames))));
  if (!levels.empty()) {
    std::nth_element(levels.begin(), levels.begin() + static_cast<long>(levels.size() / 2), levels.end());
    heard.level = levels[levels.size() / 2];
  }
  heard.leftEqualsRight = left == right;
  // The median over 100 ms windows: a busy machine makes the dummy server
  // drop a cycle now and then (an xrun), and a window with such a gap is an
  // outlier rather than a shift of the whole measure.
  const size_t window = static_cast<size_t>(probe.sampleRate() / 10);
  std::vector<double> pitches;
  for (size_t at = settle; at + window <= left.size(); at += window)
    pitches.push_back(testutil::measureFrequency(
        std::vector<double>(left.begin() + static_cast<long>(at), left.begin() + static_cast<long>(at + window)),
        probe.sampleRate()));
  if (!pitches.empty()) {
    std::nth_element(pitches.begin(), pitches.begin() + static_cast<long>(pitches.size() / 2), pitches.end());
    heard.pitch = pitches[pitches.size() / 2];
  }
  return heard;
}

}  // namespace

TEST(Jalv, PlaysChangesSavesAndRestoresInANewProcess) {
  if (std::system("command -v jalv >/dev/null 2>&1 && command -v jalv.gtk3 >/dev/null 2>&1 && "
                  "command -v jackd >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "jalv (Debian's jalv package) or jackd is not installed";
  Script script;
  startSession(script, "jalv");
  ASSERT_TRUE(script.ok) << script.lastError;

  testutil::Probe probe;
  ASSERT_TRUE(probe.open());
  const auto connect = [&](const std::string& id) {
    return probe.connect("probe:midi_out", (id + ":lv2_events_in").c_str()) &&
           probe.connect((id + ":lv2_audio_out_1").c_str(), "probe:in_1") &&
           probe.connect((id + ":lv2_audio_out_2").c_str(), "probe:in_2");
  };

  // A powered, warm unit in jalv.gtk3.
  script.run("start-gui first power=1 voltage=1 warm_up=2");
  ASSERT_TRUE(script.ok) << script.lastError;
  ASSERT_TRUE(connect("first"));
  const Heard open = playA4(probe);
  EXPECT_GT(open.level, 0.02);
  EXPECT_TRUE(open.leftEqualsRight);
  EXPECT_NEAR(open.pitch, 220, 1);  // Osc-1 at its default 16'

  // The cutoff lowered through jalv's own control darkens the sound.
  script.run("gui-set first cutoff 0.37");
  ASSERT_TRUE(script.ok) << script.lastError;
  const Heard darker = playA4(probe);
  EXPECT_LT(darker.level, open.level * 0.7);
  EXPECT_NEAR(darker.pitch, open.pitch, 1);

  const std::string saved = script.work + "/saved";
  script.run("save first '" + saved + "'");
  ASSERT_TRUE(script.ok) << script.lastError;
  EXPECT_NEAR(std::stod(script.run("saved '" + saved + "' cutoff")), 0.37, 1e-4);
  script.run("stop first");

  // A new jalv process loads the saved state: the control and the sound
  // come back as they were.
  script.run("start second --load '" + saved + "'");
  ASSERT_TRUE(script.ok) << script.lastError;
  EXPECT_NEAR(std::stod(script.run("get second cutoff")), 0.37, 1e-4);
  script.run("wait second cutoff_out 0.37");
  EXPECT_TRUE(script.ok) << script.lastError;
  ASSERT_TRUE(connect("second"));
  const Heard restored = playA4(probe);
  EXPECT_TRUE(restored.leftEqualsRight);
  EXPECT_NEAR(restored.pitch, darker.pitch, 1);
  EXPECT_NEAR(testutil::dB(restored.level / darker.level), 0, 1);
  script.run("stop second");
  EXPECT_TRUE(script.ok) << script.lastError;
}

// jalv lists the factory bank as the plug-in's presets, and one it loads
// sets the controls and the sound: "Reed" plays one oscillator at 8', an
// octave above the default 16'.
TEST(Jalv, ListsAndLoadsTheFactoryPresets) {
  if (std::system("command -v jalv >/dev/null 2>&1 && command -v jackd >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "jalv (Debian's jalv package) or jackd is not installed";
  Script script;
  startSession(script, "jalv-presets");
  ASSERT_TRUE(script.ok) << script.lastError;

  script.run("start bank");
  script.run("send bank presets");
  ASSERT_TRUE(script.ok) << script.lastError;
  std::ifstream printed(script.work + "/logs/bank.out");
  int listed = 0;
  bool glideLead = false;
  for (std::string line; std::getline(printed, line);)
    if (line.find("https://marlpitmusic.com/plugins/wobblytone#preset") != std::string::npos) {
      ++listed;
      glideLead = glideLead || line.find("Glide Lead") != std::string::npos;
    }
  EXPECT_EQ(listed, FactoryBank::count());
  EXPECT_TRUE(glideLead);

  const int lead = FactoryBank::find("Reed");
  char uri[96];
  std::snprintf(uri, sizeof uri, "https://marlpitmusic.com/plugins/wobblytone#preset%03d", lead + 1);
  script.run(std::string("send bank preset ") + uri);
  char cutoff[32];
  std::snprintf(cutoff, sizeof cutoff, "%g", FactoryBank::program(lead).values[kCutoff]);
  script.run(std::string("wait bank cutoff_out ") + cutoff);
  script.run("wait bank osc_1_range_out 3");  // 8'
  ASSERT_TRUE(script.ok) << script.lastError;

  testutil::Probe probe;
  ASSERT_TRUE(probe.open());
  ASSERT_TRUE(probe.connect("probe:midi_out", "bank:lv2_events_in") &&
              probe.connect("bank:lv2_audio_out_1", "probe:in_1") && probe.connect("bank:lv2_audio_out_2", "probe:in_2"));
  const Heard heard = playA4(probe);
  EXPECT_GT(heard.level, 0.02);
  EXPECT_TRUE(heard.leftEqualsRight);
  EXPECT_NEAR(heard.pitch, 440, 2);
  script.run("stop bank");
  EXPECT_TRUE(script.ok) << script.lastError;
}

namespace {

std::string fileLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The windows on jalv's display, as the X server has them.
class JalvDisplay {
 public:
  explicit JalvDisplay(const std::string& display) : x(XOpenDisplay(display.c_str())) {}
  ~JalvDisplay() {
    if (x) XCloseDisplay(x);
  }
  JalvDisplay(const JalvDisplay&) = delete;
  JalvDisplay& operator=(const JalvDisplay&) = delete;

  std::pair<int, int> size(Window w) const {
    XWindowAttributes a{};
    XGetWindowAttributes(x, w, &a);
    return {a.width, a.height};
  }
  // The first window below `top` whose class is `name`, or 0.
  Window find(Window top, const char* name) const {
    XClassHint hint{};
    if (XGetClassHint(x, top, &hint)) {
      const bool match = hint.res_class && std::string(hint.res_class) == name;
      XFree(hint.res_name);
      XFree(hint.res_class);
      if (match) return top;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(x, top, &root, &parent, &children, &count))
      for (unsigned i = 0; i < count && !found; ++i) found = find(children[i], name);
    if (children) XFree(children);
    return found;
  }
  // Waits up to ten seconds for `test`: a loaded machine (other tests beside
  // this one) can take seconds to redraw jalv's window at a new size.
  template <class Test>
  bool waitFor(Test test) const {
    for (int i = 0; i < 500; ++i) {
      XSync(x, False);
      if (test()) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  Display* x;
};

}  // namespace

// The plug-in's own editor in jalv.gtk3's window, as a musician sees it:
// the window may be resized (its hints do not pin it to one size); a right
// click on the empty panel opens the size menu, and "200%" grows jalv's
// window with the panel; making jalv's window smaller from its edge (as a
// window manager does) shrinks the panel with it.
TEST(Jalv, TheEditorAndJalvsWindowKeepTheSameSize) {
  if (std::system("command -v jalv.gtk3 >/dev/null 2>&1 && command -v jackd >/dev/null 2>&1 && "
                  "command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "jalv.gtk3 (Debian's jalv package), jackd or xdotool is not installed";
  Script script;
  startSession(script, "jalv-editor");
  script.run("start-editor ed");
  ASSERT_TRUE(script.ok) << script.lastError;
  const std::string display = ":" + fileLine(script.work + "/run/display");
  const Window top = std::stoul(fileLine(script.work + "/run/ed.window"));
  JalvDisplay screen(display);
  ASSERT_NE(screen.x, nullptr);
  Window editor = 0;
  ASSERT_TRUE(screen.waitFor([&] { return (editor = screen.find(top, "Marlpit Music-Wobblytone")) != 0; }));
  ASSERT_TRUE(screen.waitFor([&] { return screen.size(editor) == std::make_pair(976, 508); }));

  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(screen.x, top, &hints, &supplied));
  EXPECT_FALSE((hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == hints.max_width)
      << "jalv's window is pinned to " << hints.min_width << " x " << hints.min_height;

  const std::string win = std::to_string(editor);
  testutil::xdotool(display, "mousemove --window " + win + " 560 265 click 3");
  std::this_thread::sleep_for(300ms);
  testutil::xdotool(display, "mousemove --window " + win + " 650 336 click 1");  // "Set Windows Size to 200%"
  EXPECT_TRUE(screen.waitFor([&] { return screen.size(editor) == std::make_pair(1380, 718); }))
      << screen.size(editor).first << " x " << screen.size(editor).second;
  EXPECT_TRUE(screen.waitFor([&] { return screen.size(top).first == 1380; })) << screen.size(top).first;

  // A moment later, as a user would, the window's edge.
  std::this_thread::sleep_for(1s);
  testutil::xdotool(display, "windowsize " + std::to_string(top) + " 1100 600");
  EXPECT_TRUE(screen.waitFor([&] {
    const auto [w, h] = screen.size(editor);
    return w == 1100 && std::abs(h - 1100 * 1016 / 1952) <= 1;
  })) << screen.size(editor).first
      << " x " << screen.size(editor).second;
}
