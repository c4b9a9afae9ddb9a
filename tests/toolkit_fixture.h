// SPDX-License-Identifier: ISC
// Off-screen editors for the toolkit and panel tests: bitmaps whose frames
// are solid colours that name their frame number (in the blue channel), an
// instrument that records what the controls ask of it, and a canvas drawn
// into an image.
#pragma once

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "editor/editor_instrument.h"
#include "instrument/wobblytone.h"
#include "toolkit/graphics.h"
#include "toolkit/offscreen_host.h"
#include "toolkit/overlays.h"

namespace testutil {

// A folder of test bitmaps, removed afterwards.
class FrameBitmaps {
 public:
  FrameBitmaps() {
    char pattern[] = "/tmp/wobblytone-bitmaps-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    folder = std::string(pattern) + "/";
  }
  ~FrameBitmaps() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  // Frame f (1 … frames) is filled with red 40, green `green`, blue f, at
  // opacity `alpha`. With a margin, each frame is transparent within that
  // many units of its edge.
  void write(const std::string& name, int w, int h, int frames, int green = 100, int margin = 0,
             double alpha = 1) const {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h * frames);
    cairo_t* cr = cairo_create(s);
    for (int f = 1; f <= frames; ++f) {
      cairo_set_source_rgba(cr, 40 / 255.0, green / 255.0, f / 255.0, alpha);
      cairo_rectangle(cr, margin, (f - 1) * h + margin, w - 2 * margin, h - 2 * margin);
      cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, (folder + name).c_str());
    cairo_surface_destroy(s);
  }
  std::string folder;
};

// The frame shown at a pixel, by the blue channel of the test bitmaps; the
// green channel tells which bitmap it came from.
inline int frameAt(const OffscreenHost& host, int x, int y) { return static_cast<int>(host.pixel(x, y) & 0xff); }
inline int greenAt(const OffscreenHost& host, int x, int y) { return static_cast<int>((host.pixel(x, y) >> 8) & 0xff); }

// Records everything the controls ask; parameters are a real instrument's.
class RecordingInstrument : public EditorInstrument {
 public:
  RecordingInstrument() : synth(InstanceInfo{}) {}
  const IParam* GetParam(int idx) const override { return synth.GetParam(idx); }
  void SendParameterValueFromUI(int idx, double normalized) override {
    sent.emplace_back(idx, normalized);
    if (IParam* p = synth.GetParam(idx)) p->SetNormalized(normalized);
  }
  void setNoteOn(int note) override {
    notes.emplace_back(note, true);
    held.insert(note);
  }
  void setNoteOff(int note) override {
    notes.emplace_back(note, false);
    held.erase(note);
  }
  bool isKeyPressed(int note) const override { return held.count(note) > 0; }
  void setPitchBend(double bend) override { pitchBend = bend; }
  void setModWheel(double amount) override { modWheel = amount; }
  void doMidiLearn(bool on) override { learnCalls.emplace_back(true, on); }
  void doMidiUnlearn(bool on) override { learnCalls.emplace_back(false, on); }
  void clickMessage() override { ++messageClicks; }

  Wobblytone synth;
  std::vector<std::pair<int, double>> sent;
  std::vector<std::pair<int, bool>> notes;
  std::set<int> held;
  double pitchBend = 0, modWheel = 0;
  std::vector<std::pair<bool, bool>> learnCalls;  // (learn, on)
  int messageClicks = 0;
};

// A canvas at scale 1.0 with the test bitmaps, drawn off-screen.
struct OffscreenEditor {
  explicit OffscreenEditor(int w = 1952, int h = 1016, float scale = 1.0f) : g(instrument, host, w, h, scale) {
    g.SetResourcePath(bitmaps.folder);
    g.EnableMouseOver(true);
  }
  void render(bool everything = false) { host.render(g, everything); }
  // Mouse actions at design units (scale 1.0 means pixels and units agree).
  void press(float x, float y, bool right = false) {
    IMouseMod mod;
    (right ? mod.R : mod.L) = true;
    g.OnMouseDown(x * g.GetDrawScale(), y * g.GetDrawScale(), mod);
  }
  void release(float x, float y, bool right = false) {
    IMouseMod mod;
    (right ? mod.R : mod.L) = true;
    g.OnMouseUp(x * g.GetDrawScale(), y * g.GetDrawScale(), mod);
  }
  void click(float x, float y, bool right = false) {
    press(x, y, right);
    release(x, y, right);
  }
  void drag(float x, float y, bool right = false) {
    IMouseMod mod;
    (right ? mod.R : mod.L) = true;
    g.OnMouseMove(x * g.GetDrawScale(), y * g.GetDrawScale(), mod);
  }
  void hover(float x, float y) { g.OnMouseMove(x * g.GetDrawScale(), y * g.GetDrawScale(), IMouseMod{}); }

  FrameBitmaps bitmaps;
  RecordingInstrument instrument;
  OffscreenHost host;
  IGraphics g;
};

}  // namespace testutil
