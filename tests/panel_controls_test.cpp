// SPDX-License-Identifier: ISC
// The panel's own controls, drawn off-screen and clicked with a simulated
// mouse: which frame they draw, and what they ask of the instrument.
#include <gtest/gtest.h>

#include "editor/panel_controls.h"
#include "editor/panel_ids.h"
#include "toolkit_fixture.h"

using testutil::frameAt;
using testutil::greenAt;
using testutil::OffscreenEditor;

namespace {

class PanelControls : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto& b = editor.bitmaps;
    b.write("back.png", 1952, 1016, 1, 10);
    b.write("knob.png", 96, 96, 65, 100);
    b.write("knob_broken.png", 96, 96, 15, 120);
    b.write("shadow_knob.png", 128, 128, 1, 140);
    b.write("key.png", 64, 400, 2, 160);
    b.write("wheel.png", 64, 40, 1, 170);
    b.write("learn.png", 88, 40, 2, 180);
    b.write("unlearn.png", 88, 40, 2, 190);
    b.write("lamp.png", 32, 32, 1, 200);
    editor.g.AttachBackground("back.png");
  }

  IMPKnob* knob(float x, float y, bool broken, int param) {
    IGraphics& g = editor.g;
    return static_cast<IMPKnob*>(
        g.AttachControl(new IMPKnob(x, y, g.LoadBitmap("knob.png", 65), g.LoadBitmap("shadow_knob.png"), broken, param)));
  }

  OffscreenEditor editor;
};

}  // namespace

TEST_F(PanelControls, KnobDrawsTheFrameOfItsValueOverItsShadow) {
  IMPKnob* k = knob(128, 144, false, kCutoff);
  for (auto [value, frame] : {std::pair{0.0, 1}, {0.5, 33}, {1.0, 65}}) {
    k->SetValueFromDelegate(value);
    editor.render();
    EXPECT_EQ(frameAt(editor.host, 176, 192), frame) << value;
  }
  // The shadow shows around the knob, centred on it.
  EXPECT_EQ(greenAt(editor.host, 128 - 10, 192), 140);
  EXPECT_EQ(greenAt(editor.host, 224 + 10, 192), 140);
  EXPECT_EQ(greenAt(editor.host, 128 - 20, 192), 10);  // beyond it the background
}

// A knob drawn as one bitmap over its shadow looks as the shadow painted
// first and the knob over it would, at every scale, on whole pixels and
// between them: around the knob, and where a knob with see-through parts
// lets the shadow show.
TEST(PanelKnobShadow, TheKnobOverItsShadowLooksAsTheTwoPaintedInTurn) {
  // Shadow then frame, each painted on its own.
  class ShadowThenKnob : public IControl {
   public:
    ShadowThenKnob(float x, float y, const IBitmap& knob, const IBitmap& shadow, int frame)
        : IControl(IRECT(x, y, x + knob.W(), y + knob.FH())), knob(knob), shadow(shadow), frame(frame) {}
    void Draw(IGraphics& g) override {
      g.DrawBitmap(shadow, mRECT.GetCentredInside(static_cast<float>(shadow.W()), static_cast<float>(shadow.FH())));
      g.DrawBitmap(knob, mRECT, frame);
    }
    IBitmap knob, shadow;
    int frame;
  };
  for (float scale : {1.0f, 0.70710677f, 1.5f, 2.0f}) {  // 0.707: the knob falls between pixels
    SCOPED_TRACE(testing::Message() << "scale " << scale);
    OffscreenEditor layered(400, 400, scale), painted(400, 400, scale);
    for (OffscreenEditor* e : {&layered, &painted}) {
      e->bitmaps.write("back.png", 400, 400, 1, 10);
      e->bitmaps.write("knob.png", 96, 96, 65, 100, 20, 0.8);
      e->bitmaps.write("shadow_knob.png", 128, 128, 1, 140, 4, 0.5);
      e->g.AttachBackground("back.png");
    }
    IGraphics& g = layered.g;
    auto* knob = new IMPKnob(128, 144, g.LoadBitmap("knob.png", 65), g.LoadBitmap("shadow_knob.png"), false, kCutoff);
    g.AttachControl(knob);
    knob->SetValueFromDelegate(0.5);
    painted.g.AttachControl(new ShadowThenKnob(128, 144, painted.g.LoadBitmap("knob.png", 65),
                                               painted.g.LoadBitmap("shadow_knob.png"), 33));
    layered.render(true);
    painted.render(true);
    int worst = 0;
    for (int y = 0; y < 400 * scale; ++y)
      for (int x = 0; x < 400 * scale; ++x)
        for (int shift : {0, 8, 16, 24}) {
          const int a = static_cast<int>((layered.host.pixel(x, y) >> shift) & 0xff);
          const int b = static_cast<int>((painted.host.pixel(x, y) >> shift) & 0xff);
          worst = std::max(worst, std::abs(a - b));
        }
    // On whole pixels the rounding of one blend against two; between them
    // the knob's edges are also resampled at another phase.
    EXPECT_LE(worst, scale == 0.70710677f ? 16 : 2);
    // The shadow shows through the knob's see-through edge.
    EXPECT_NE(layered.host.pixel(static_cast<int>(138 * scale), static_cast<int>(192 * scale)),
              layered.host.pixel(static_cast<int>(100 * scale), static_cast<int>(100 * scale)));
  }
}

TEST_F(PanelControls, BrokenKnobShowsTheDamagedArtWithoutShadowAndStillWorks) {
  IMPKnob* k = knob(128, 144, true, kCutoff);
  EXPECT_EQ(k->GetBitmap().N(), 15);
  k->SetValueFromDelegate(1.0);
  editor.render(true);
  EXPECT_EQ(greenAt(editor.host, 176, 192), 120);
  EXPECT_EQ(frameAt(editor.host, 176, 192), 15);
  EXPECT_EQ(greenAt(editor.host, 128 - 10, 192), 10);  // no shadow

  // Dragging it down still turns the parameter.
  editor.press(176, 192);
  editor.drag(176, 192 + 96);
  editor.release(176, 192 + 96);
  ASSERT_FALSE(editor.instrument.sent.empty());
  EXPECT_EQ(editor.instrument.sent.back().first, kCutoff);
  EXPECT_NEAR(editor.instrument.sent.back().second, 0.75, 1e-9);  // a quarter turn with gearing 4
}

TEST_F(PanelControls, KeysPlayLatchAndRelease) {
  IGraphics& g = editor.g;
  auto* key = static_cast<IMPKey*>(g.AttachControl(new IMPKey(964, 604, g.LoadBitmap("key.png", 2), 60, editor.instrument), 75));
  auto& notes = editor.instrument.notes;
  using Note = std::pair<int, bool>;

  // A left click plays while the button is held.
  editor.press(990, 800);
  EXPECT_EQ(notes, (std::vector<Note>{{60, true}}));
  editor.render();
  EXPECT_EQ(frameAt(editor.host, 990, 800), 2);  // drawn down while held
  editor.release(990, 800);
  EXPECT_EQ(notes, (std::vector<Note>{{60, true}, {60, false}}));
  editor.render();
  EXPECT_EQ(frameAt(editor.host, 990, 800), 1);

  // A right click latches: the release sends nothing.
  notes.clear();
  editor.click(990, 800, true);
  EXPECT_EQ(notes, (std::vector<Note>{{60, true}}));
  EXPECT_TRUE(key->IsLatched());
  // The next click of either button releases it on its mouse-up.
  editor.press(990, 800);
  EXPECT_EQ(notes.size(), 1u);
  editor.release(990, 800);
  EXPECT_EQ(notes, (std::vector<Note>{{60, true}, {60, false}}));
  EXPECT_FALSE(key->IsLatched());
}

TEST_F(PanelControls, KeyShowsNotesHeldElsewhere) {
  IGraphics& g = editor.g;
  g.AttachControl(new IMPKey(964, 604, g.LoadBitmap("key.png", 2), 60, editor.instrument), 75);
  editor.instrument.held.insert(60);  // held by MIDI
  g.GetControlWithTag(75)->SetDirty(false);
  editor.render();
  EXPECT_EQ(frameAt(editor.host, 990, 800), 2);
}

TEST_F(PanelControls, MidiLearnSwitchLearnsAndSwapsModeOnlyWhileOff) {
  IGraphics& g = editor.g;
  auto* learn = static_cast<IMPSwitchMidiLearn*>(
      g.AttachControl(new IMPSwitchMidiLearn(200, 40, g.LoadBitmap("learn.png", 2), -kCtrlMidiLearn, editor.instrument), kCtrlMidiLearn));
  editor.render(true);
  EXPECT_EQ(greenAt(editor.host, 240, 60), 180);
  EXPECT_EQ(frameAt(editor.host, 240, 60), 1);

  // Right click while off: unlearn mode.
  editor.click(240, 60, true);
  EXPECT_FALSE(learn->InLearnMode());
  editor.render();
  EXPECT_EQ(greenAt(editor.host, 240, 60), 190);

  // Left click: on, unlearning.
  editor.click(240, 60);
  EXPECT_EQ(editor.instrument.learnCalls, (std::vector<std::pair<bool, bool>>{{false, true}}));
  editor.render();
  EXPECT_EQ(frameAt(editor.host, 240, 60), 2);

  // Right click while on changes nothing.
  editor.click(240, 60, true);
  EXPECT_FALSE(learn->InLearnMode());

  // Off again, back to learn mode, then a learn.
  editor.click(240, 60);
  editor.click(240, 60, true);
  EXPECT_TRUE(learn->InLearnMode());
  editor.click(240, 60);
  EXPECT_EQ(editor.instrument.learnCalls.back(), (std::pair<bool, bool>{true, true}));
}

TEST_F(PanelControls, DropDownChecksTheCurrentEntryAndSendsTheChosenOne) {
  IGraphics& g = editor.g;
  IParam* oversample = editor.instrument.synth.GetParam(kOverSample);
  ASSERT_GE(oversample->NDisplayTexts(), 3);
  oversample->Set(2);
  auto* drop = static_cast<IMPDropDown*>(g.AttachControl(new IMPDropDown(IRECT(42, 40, 136, 80), kOverSample)));
  ASSERT_EQ(drop->Menu().NItems(), oversample->NDisplayTexts());
  EXPECT_EQ(drop->Menu().GetItem(1)->text, oversample->GetDisplayText(1));

  editor.click(80, 60);
  ASSERT_TRUE(g.IsMenuOpen());
  for (int i = 0; i < drop->Menu().NItems(); ++i) EXPECT_EQ(drop->Menu().IsItemChecked(i), i == 2) << i;

  // Choosing the first entry sends plain value 0.
  drop->OnPopupMenuSelection(&drop->Menu(), 0);
  ASSERT_FALSE(editor.instrument.sent.empty());
  EXPECT_EQ(editor.instrument.sent.back().first, kOverSample);
  EXPECT_EQ(oversample->Value(), 0);

  // A dismissed menu changes nothing.
  const size_t before = editor.instrument.sent.size();
  drop->OnPopupMenuSelection(nullptr, -1);
  EXPECT_EQ(editor.instrument.sent.size(), before);
}

TEST_F(PanelControls, CornerResizerHitSquareAndTriangle) {
  IMPCornerResizer resizer(IRECT(0, 0, 1952, 1016), 32);
  EXPECT_EQ(resizer.GetRECT(), IRECT(1921, 985, 1951, 1015));
  const IRECT t = resizer.TriangleRect();
  EXPECT_EQ(t, IRECT(1889, 953, 1943, 1007));
  EXPECT_TRUE(resizer.IsHit(1930, 1000));
  EXPECT_FALSE(resizer.IsHit(1900, 1000));  // drawn there, but no hit
  EXPECT_EQ(IMPCornerResizer::idleColor, IColor(32, 255, 255, 0));
  EXPECT_EQ(IMPCornerResizer::activeColor, IColor(128, 255, 255, 0));
}

TEST_F(PanelControls, CornerResizerDrawsItsTriangleBrighterUnderThePointer) {
  IGraphics& g = editor.g;
  g.AttachCornerResizer(new IMPCornerResizer(g.GetBounds(), 32), EUIResizerMode::Scale, false);
  editor.render(true);
  const uint32_t idle = editor.host.pixel(1935, 1000);
  const uint32_t outside = editor.host.pixel(1895, 960);  // above the triangle's diagonal
  editor.hover(1935, 1000);
  editor.render();
  const uint32_t active = editor.host.pixel(1935, 1000);
  EXPECT_NE(idle, outside);
  EXPECT_NE(active, idle);
  EXPECT_GT((active >> 8) & 0xff, (idle >> 8) & 0xff);  // more yellow over the green background
}

TEST_F(PanelControls, WheelsWriteTheEngineAndThePitchWheelRecentres) {
  IGraphics& g = editor.g;
  auto* pitch = static_cast<IMPBender*>(
      g.AttachControl(new IMPBender(92, 740, 176, g.LoadBitmap("wheel.png"), -kCtrlPitchWheel, editor.instrument), kCtrlPitchWheel));
  auto* mod = static_cast<IMPBender*>(
      g.AttachControl(new IMPBender(192, 740, 176, g.LoadBitmap("wheel.png"), -kCtrlModWheel, editor.instrument), kCtrlModWheel));
  pitch->SetValueFromDelegate(0.5);

  editor.hover(120, 830);
  EXPECT_EQ(editor.host.cursor, ECursor::HAND);
  // 160 units up of the 704 a full sweep takes (track 176, gearing 4).
  editor.press(120, 950);
  editor.drag(120, 790);
  const double bend = 2 * (0.5 + 160.0 / 704) - 1;
  EXPECT_NEAR(editor.instrument.pitchBend, bend, 1e-9);
  editor.release(120, 790);
  EXPECT_NEAR(editor.instrument.pitchBend, bend, 1e-9);  // released over the wheel: still bent
  EXPECT_TRUE(editor.instrument.sent.empty());            // nothing to the host
  editor.press(120, 790);
  editor.drag(120, 100);  // far beyond: the bend stops at the top
  EXPECT_NEAR(editor.instrument.pitchBend, 1.0, 1e-9);
  editor.release(120, 100);

  editor.press(220, 900);
  editor.drag(220, 900 - 352);
  editor.release(220, 900 - 352);
  EXPECT_NEAR(editor.instrument.modWheel, 0.5, 1e-9);

  // Leaving the pitch wheel recentres it; the modulation wheel stays.
  editor.hover(120, 830);
  editor.hover(600, 300);
  EXPECT_EQ(editor.instrument.pitchBend, 0);
  EXPECT_EQ(pitch->GetValue(), 0.5);
  EXPECT_NEAR(mod->GetValue(), 0.5, 1e-9);
  EXPECT_EQ(editor.host.cursor, ECursor::ARROW);

  // The mouse wheel moves the handle but writes nothing to the engine.
  editor.instrument.modWheel = 0.25;
  g.OnMouseWheel(220, 830, IMouseMod{}, 1);
  EXPECT_EQ(editor.instrument.modWheel, 0.25);
}

TEST_F(PanelControls, LampDrawsWhileShownAndNothingWhileHidden) {
  IGraphics& g = editor.g;
  IControl* lamp = g.AttachControl(new IMPLamp(1144, 176, g.LoadBitmap("lamp.png"), -kCtrlOverloadLamp), kCtrlOverloadLamp);
  editor.render(true);
  EXPECT_EQ(greenAt(editor.host, 1160, 192), 200);
  lamp->Hide(true);
  editor.render();
  EXPECT_EQ(greenAt(editor.host, 1160, 192), 10);
}
