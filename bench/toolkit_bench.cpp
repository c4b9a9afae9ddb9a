// SPDX-License-Identifier: ISC
// What drawing costs: one dirty knob redrawn over the panel at scales 0.5 to 2.0,
// against a redraw of the whole panel.
#include <benchmark/benchmark.h>

#include "editor/panel_controls.h"
#include "instrument/wobblytone.h"
#include "toolkit/graphics.h"
#include "toolkit/offscreen_host.h"

namespace {

class ParamsOnly : public EditorInstrument {
 public:
  ParamsOnly() : synth(InstanceInfo{}) {}
  const IParam* GetParam(int idx) const override { return synth.GetParam(idx); }
  void SendParameterValueFromUI(int, double) override {}
  void setNoteOn(int) override {}
  void setNoteOff(int) override {}
  bool isKeyPressed(int) const override { return false; }
  void setPitchBend(double) override {}
  void setModWheel(double) override {}
  void doMidiLearn(bool) override {}
  void doMidiUnlearn(bool) override {}
  void clickMessage() override {}
  Wobblytone synth;
};

struct Panel {
  Panel(float scale) : g(instrument, host, 1952, 1016, scale) {
    g.SetResourcePath(WOBBLYTONE_BENCH_RESOURCES);
    g.AttachBackground("back.jpg");
    knob = new IMPKnob(1320, 88, g.LoadBitmap("knob.png", 65), g.LoadBitmap("shadow_knob.png"), false, kCutoff);
    g.AttachControl(knob);
    host.render(g, true);
  }
  ParamsOnly instrument;
  OffscreenHost host;
  IGraphics g;
  IMPKnob* knob;
};

void BM_RedrawOneDirtyKnob(benchmark::State& state) {
  Panel panel(static_cast<float>(state.range(0)) / 100);
  double value = 0;
  for (auto _ : state) {
    value = value > 0.9 ? 0 : value + 0.05;
    panel.knob->SetValueFromDelegate(value);
    panel.host.render(panel.g);
  }
}

void BM_RedrawWholePanel(benchmark::State& state) {
  Panel panel(static_cast<float>(state.range(0)) / 100);
  for (auto _ : state) panel.host.render(panel.g, true);
}

}  // namespace

BENCHMARK(BM_RedrawOneDirtyKnob)->Arg(50)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawWholePanel)->Arg(50)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);
