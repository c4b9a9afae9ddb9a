// SPDX-License-Identifier: ISC
// The graphics toolkit off-screen: the control list and hit testing, dirty
// redrawing, the stock controls, scaling, pop-up menus with sub-menus,
// message boxes that continue a command with the answer, tooltips, and
// loading bitmaps and fonts.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstdio>
#include <fstream>

#include "toolkit/scaled_bitmaps.h"
#include "toolkit_fixture.h"

using testutil::frameAt;
using testutil::greenAt;
using testutil::OffscreenEditor;

namespace {

// A plain JPEG of one colour, through libjpeg.
void writeJpeg(const std::string& path, int w, int h, int r, int gr, int b) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(w);
  info.image_height = static_cast<JDIMENSION>(h);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(w) * 3);
  for (int x = 0; x < w; ++x) {
    row[3 * static_cast<size_t>(x)] = static_cast<unsigned char>(r);
    row[3 * static_cast<size_t>(x) + 1] = static_cast<unsigned char>(gr);
    row[3 * static_cast<size_t>(x) + 2] = static_cast<unsigned char>(b);
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
}

// A control that counts its drawing and the mouse events it gets.
class Probe : public IControl {
 public:
  explicit Probe(const IRECT& r, int param = kNoParameter) : IControl(r, param) {}
  void Draw(IGraphics& g) override {
    ++draws;
    g.FillRect(COLOR_WHITE, mRECT);
  }
  void OnMouseDown(float, float, const IMouseMod& mod) override {
    ++downs;
    lastMod = mod;
  }
  void OnPopupMenuSelection(IPopupMenu* menu, int idx) override {
    chosenMenu = menu;
    chosenIdx = idx;
    ++selections;
  }
  int draws = 0, downs = 0, selections = 0;
  IMouseMod lastMod;
  IPopupMenu* chosenMenu = nullptr;
  int chosenIdx = -2;
};

class Toolkit : public ::testing::Test {
 protected:
  void SetUp() override {
    editor.bitmaps.write("back.png", 1952, 1016, 1, 10);
    editor.g.AttachBackground("back.png");
  }
  Probe* probe(const IRECT& r, int tag = kNoTag, int param = kNoParameter) {
    return static_cast<Probe*>(editor.g.AttachControl(new Probe(r, param), tag));
  }
  OffscreenEditor editor;
};

}  // namespace

TEST_F(Toolkit, BackgroundComesFirstAndLaterControlsAreHitFirst) {
  Probe* lower = probe(IRECT(100, 100, 300, 300), 7);
  Probe* upper = probe(IRECT(200, 200, 400, 400));
  IGraphics& g = editor.g;
  ASSERT_EQ(g.NControls(), 3);
  EXPECT_EQ(g.GetControlIdx(lower), 1);
  EXPECT_EQ(g.GetControlWithTag(7), lower);
  EXPECT_EQ(g.GetControlWithTag(8), nullptr);

  editor.click(250, 250);
  EXPECT_EQ(upper->downs, 1);
  EXPECT_EQ(lower->downs, 0);
  editor.hover(250, 250);
  EXPECT_EQ(g.GetMouseOver(), 2);
  editor.hover(150, 150);
  EXPECT_EQ(g.GetMouseOver(), 1);
  editor.hover(900, 900);  // only the background, which takes no mouse
  EXPECT_EQ(g.GetMouseOver(), -1);

  // A hidden control is neither hit nor drawn.
  upper->Hide(true);
  editor.click(250, 250);
  EXPECT_EQ(lower->downs, 1);
  editor.render(true);
  EXPECT_EQ(upper->draws, 0);
  EXPECT_EQ(greenAt(editor.host, 350, 350), 10);
}

TEST_F(Toolkit, RightClicksOnParameterControlsStayWithTheHost) {
  Probe* bound = probe(IRECT(0, 0, 100, 100), kNoTag, kCutoff);
  Probe* free = probe(IRECT(200, 0, 300, 100), kNoTag, -50);
  editor.click(50, 50, true);
  editor.click(250, 50, true);
  EXPECT_EQ(bound->downs, 0);
  EXPECT_EQ(free->downs, 1);
  EXPECT_TRUE(free->lastMod.R);
  editor.click(50, 50);
  EXPECT_EQ(bound->downs, 1);
}

TEST_F(Toolkit, RedrawsOnlyWhatIsDirty) {
  Probe* a = probe(IRECT(0, 0, 100, 100));
  Probe* b = probe(IRECT(500, 500, 600, 600));
  editor.render(true);
  ASSERT_EQ(a->draws, 1);
  ASSERT_EQ(b->draws, 1);

  IRECT area;
  EXPECT_FALSE(editor.g.IsDirty(area));
  editor.render();
  EXPECT_EQ(a->draws + b->draws, 2);  // nothing dirty, nothing drawn

  b->SetDirty(false);
  ASSERT_TRUE(editor.g.IsDirty(area));
  EXPECT_EQ(area, IRECT(500, 500, 600, 600));
  editor.render();
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(b->draws, 2);

  editor.g.SetAllControlsDirty();
  editor.render();
  EXPECT_EQ(a->draws, 2);
  EXPECT_EQ(b->draws, 3);
}

TEST_F(Toolkit, ControlsSendTheirParameterOnlyWhenTheirActionIsTriggered) {
  Probe* c = probe(IRECT(0, 0, 100, 100), kNoTag, kOsc1Range);
  c->SetValue(0.5);
  c->SetDirty(false);
  EXPECT_TRUE(editor.instrument.sent.empty());
  c->SetValue(0.43);  // between steps of a six-entry list
  c->SetDirty(true);
  ASSERT_EQ(editor.instrument.sent.size(), 1u);
  EXPECT_EQ(editor.instrument.sent[0], (std::pair<int, double>{kOsc1Range, 0.43}));
  EXPECT_DOUBLE_EQ(c->GetValue(), 0.4);  // it then shows the step it landed on

  // A change from elsewhere updates the control without sending.
  editor.g.SetControlValueFromDelegate(kOsc1Range, 1.0);
  EXPECT_EQ(c->GetValue(), 1.0);
  EXPECT_EQ(editor.instrument.sent.size(), 1u);
}

TEST_F(Toolkit, SwitchStepsThroughItsFramesAndWraps) {
  editor.bitmaps.write("switch3.png", 40, 40, 3);
  IGraphics& g = editor.g;
  IControl* s = g.AttachControl(new IBSwitchControl(10, 10, g.LoadBitmap("switch3.png", 3), kNoParameter));
  std::vector<int> frames;
  for (int i = 0; i < 4; ++i) {
    editor.render();
    frames.push_back(frameAt(editor.host, 30, 30));
    editor.click(30, 30);
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 1}));
  EXPECT_EQ(s->GetValue(), 1.0 / 2);
}

TEST_F(Toolkit, KnobDragUsesItsGearingAndStopsAtTheEnds) {
  editor.bitmaps.write("knob.png", 100, 100, 11);
  IGraphics& g = editor.g;
  IControl* k = g.AttachControl(new IBKnobControl(0, 0, g.LoadBitmap("knob.png", 11), kCutoff));
  k->SetValueFromDelegate(0.5);
  editor.press(50, 50);
  editor.drag(50, 10);  // 40 up of 400
  EXPECT_NEAR(k->GetValue(), 0.6, 1e-9);
  editor.drag(50, -1000);
  EXPECT_EQ(k->GetValue(), 1.0);
  editor.release(50, -1000);
  EXPECT_NEAR(editor.instrument.synth.GetParam(kCutoff)->GetNormalized(), 1.0, 1e-9);
}

TEST_F(Toolkit, ScalesTheCanvasWithinItsLimits) {
  IGraphics& g = editor.g;
  g.SetScaleConstraints(0.25f, 2.0f);
  g.Resize(1952, 1016, 0.5f);
  EXPECT_EQ(editor.host.width, 976);
  EXPECT_EQ(editor.host.height, 508);
  g.Resize(1952, 1016, 2.0f);
  EXPECT_EQ(editor.host.width, 3904);
  EXPECT_EQ(editor.host.height, 2032);
  g.Resize(1952, 1016, 9.0f);
  EXPECT_EQ(g.GetDrawScale(), 2.0f);
  g.Resize(1952, 1016, 0.70710677f);
  EXPECT_EQ(editor.host.width, 1380);
  EXPECT_EQ(editor.host.height, 718);

  // Mouse positions arrive in window pixels and reach controls in design units.
  Probe* p = probe(IRECT(1000, 500, 1100, 600));
  g.OnMouseDown(1050 * 0.70710677f, 550 * 0.70710677f, IMouseMod{true});
  EXPECT_EQ(p->downs, 1);
}

TEST_F(Toolkit, CornerResizerRescalesTheEditor) {
  IGraphics& g = editor.g;
  g.SetScaleConstraints(0.25f, 2.0f);
  g.Resize(1952, 1016, 0.5f);
  g.AttachCornerResizer(new ICornerResizerControl(g.GetBounds(), 32), EUIResizerMode::Scale, false);
  // Press on the corner (window pixels at scale 0.5) and drag it 488 px right.
  g.OnMouseDown(1936 * 0.5f, 1000 * 0.5f, IMouseMod{true});
  g.OnMouseMove(1936 * 0.5f + 488, 1000 * 0.5f, IMouseMod{true});
  EXPECT_NEAR(g.GetDrawScale(), 0.75f, 1e-6);
  EXPECT_EQ(editor.host.width, 1464);
  g.OnMouseMove(10000, 10000, IMouseMod{true});
  EXPECT_EQ(g.GetDrawScale(), 2.0f);
}

TEST_F(Toolkit, PopupMenusOpenSubMenusAndReportTheChosenItemWithItsMenu) {
  Probe* caller = probe(IRECT(0, 0, 100, 100));
  IPopupMenu menu;
  menu.AddItem("Alpha");
  menu.AddSeparator();
  auto* sub = new IPopupMenu;
  sub->AddItem("One");
  sub->AddItem("Two").checked = true;
  menu.AddItem("More", sub);
  IGraphics& g = editor.g;
  g.CreatePopupMenu(*caller, menu, 300, 300);
  ASSERT_TRUE(g.IsMenuOpen());
  const MenuOverlay* open = g.OpenMenu();
  editor.render(true);

  // Clicking a separator does nothing; hovering "More" opens the sub-menu.
  const IRECT separator = open->itemRect(0, 1);
  editor.click(separator.MW(), separator.MH());
  EXPECT_TRUE(g.IsMenuOpen());
  const IRECT more = open->itemRect(0, 2);
  editor.hover(more.MW(), more.MH());
  ASSERT_EQ(open->levels(), 2);
  const IRECT two = open->itemRect(1, 1);
  EXPECT_GE(two.L, more.R - 8);  // beside its item
  editor.render();
  editor.hover(two.MW(), two.MH());
  editor.click(two.MW(), two.MH());
  EXPECT_FALSE(g.IsMenuOpen());
  EXPECT_EQ(caller->selections, 1);
  EXPECT_EQ(caller->chosenMenu, sub);
  EXPECT_EQ(caller->chosenIdx, 1);
  EXPECT_EQ(sub->GetChosenItemIdx(), 1);

  // A click outside dismisses, reported as no menu.
  g.CreatePopupMenu(*caller, menu, 300, 300);
  editor.click(1800, 900);
  EXPECT_FALSE(g.IsMenuOpen());
  EXPECT_EQ(caller->selections, 2);
  EXPECT_EQ(caller->chosenMenu, nullptr);

  // While a menu is open, the controls beneath get no clicks.
  g.CreatePopupMenu(*caller, menu, 300, 300);
  const IRECT alpha = g.OpenMenu()->itemRect(0, 0);
  editor.click(alpha.MW(), alpha.MH());
  EXPECT_EQ(caller->downs, 0);
  EXPECT_EQ(caller->chosenMenu, &menu);
  EXPECT_EQ(caller->chosenIdx, 0);
}

TEST_F(Toolkit, MenuNearTheEdgeStaysOnTheCanvas) {
  Probe* caller = probe(IRECT(0, 0, 10, 10));
  IPopupMenu menu;
  for (const char* item : {"One", "Two", "Three"}) menu.AddItem(item);
  editor.g.CreatePopupMenu(*caller, menu, 1940, 1000);
  const IRECT last = editor.g.OpenMenu()->itemRect(0, 2);
  EXPECT_TRUE(editor.g.GetBounds().Contains(last.L, last.T));
  EXPECT_LE(last.R, 1952);
  EXPECT_LE(last.B, 1016);
  editor.click(last.MW(), last.MH());
  EXPECT_EQ(caller->chosenMenu, &menu);
  EXPECT_EQ(caller->chosenIdx, 2);
}

TEST_F(Toolkit, MessageBoxesAreModalAndContinueWithTheAnswer) {
  Probe* behind = probe(IRECT(0, 0, 1952, 1016));
  IGraphics& g = editor.g;
  std::vector<std::string> log;
  g.ShowMessageBox("Do you really want to?\nSecond line", "Question", EMsgBoxType::YesNo, [&](EMsgBoxResult r) {
    log.push_back(r == EMsgBoxResult::Yes ? "yes" : "no");
    // The continuation may open the next box.
    g.ShowMessageBox("Done.", "Info", EMsgBoxType::OK, [&](EMsgBoxResult) { log.push_back("ok"); });
  });
  ASSERT_TRUE(g.IsMessageBoxOpen());
  editor.render(true);
  editor.click(5, 5);  // outside the box: nothing, and nothing behind it
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(behind->downs, 0);

  const auto buttons = g.CurrentMessageBox()->buttons();
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[1].second, EMsgBoxResult::No);
  editor.click(buttons[1].first.MW(), buttons[1].first.MH());
  EXPECT_EQ(log, (std::vector<std::string>{"no"}));
  ASSERT_TRUE(g.IsMessageBoxOpen());
  EXPECT_EQ(g.CurrentMessageBox()->title(), "Info");
  const auto ok = g.CurrentMessageBox()->buttons();
  ASSERT_EQ(ok.size(), 1u);
  editor.click(ok[0].first.MW(), ok[0].first.MH());
  EXPECT_EQ(log, (std::vector<std::string>{"no", "ok"}));
  EXPECT_FALSE(g.IsMessageBoxOpen());
  editor.click(5, 5);
  EXPECT_EQ(behind->downs, 1);
}

TEST_F(Toolkit, TooltipsAppearAfterAShortHover) {
  Probe* p = probe(IRECT(100, 100, 300, 300));
  p->SetTooltip("\"Gimme an A!\"");
  IGraphics& g = editor.g;
  g.EnableTooltips(true);
  editor.host.now = 1000;
  editor.hover(200, 200);
  g.OnTick();
  EXPECT_EQ(g.ShownTooltip(), "");
  editor.host.now = 1000 + IGraphics::kTooltipDelayMs + 1;
  g.OnTick();
  EXPECT_EQ(g.ShownTooltip(), "\"Gimme an A!\"");
  editor.render();
  editor.hover(210, 200);  // moving hides it
  EXPECT_EQ(g.ShownTooltip(), "");
  g.EnableTooltips(false);
  editor.host.now += 5000;
  g.OnTick();
  EXPECT_EQ(g.ShownTooltip(), "");
}

TEST_F(Toolkit, LoadsPngAndJpegAndSurvivesMissingOrBrokenFiles) {
  IGraphics& g = editor.g;
  editor.bitmaps.write("strip.png", 20, 10, 4);
  const IBitmap strip = g.LoadBitmap("strip.png", 4);
  ASSERT_TRUE(strip.IsValid());
  EXPECT_EQ(strip.W(), 20);
  EXPECT_EQ(strip.FH(), 10);
  EXPECT_EQ(strip.N(), 4);

  writeJpeg(editor.bitmaps.folder + "photo.jpg", 64, 32, 200, 40, 10);
  const IBitmap photo = g.LoadBitmap("photo.jpg");
  ASSERT_TRUE(photo.IsValid());
  EXPECT_EQ(photo.W(), 64);
  EXPECT_EQ(photo.FH(), 32);
  g.AttachControl(new IBitmapControl(0, 0, photo));
  editor.render(true);
  const uint32_t px = editor.host.pixel(32, 16);
  EXPECT_NEAR(static_cast<int>((px >> 16) & 0xff), 200, 6);
  EXPECT_NEAR(static_cast<int>((px >> 8) & 0xff), 40, 6);

  EXPECT_FALSE(g.LoadBitmap("missing.png").IsValid());
  std::ofstream(editor.bitmaps.folder + "broken.jpg") << "\xff\xd8\xff\xe0 not really a jpeg";
  EXPECT_FALSE(g.LoadBitmap("broken.jpg").IsValid());
  std::ofstream(editor.bitmaps.folder + "broken.png") << "\x89PNG\r\n\x1a\n truncated";
  EXPECT_FALSE(g.LoadBitmap("broken.png").IsValid());
  // Drawing an invalid bitmap draws nothing and does not fail.
  g.AttachControl(new IBitmapControl(100, 100, g.LoadBitmap("missing.png")));
  editor.render(true);
  EXPECT_FALSE(g.LoadFont("missing", "no-such-font.otf"));
}

TEST_F(Toolkit, TextIsSetInTheRegisteredFont) {
  IGraphics& g = editor.g;
  const IText plain(30, COLOR_WHITE, "no-such-font");
  const float fallback = g.MeasureText(plain, "Gimme an A!");
  std::filesystem::copy_file(WOBBLYTONE_TEST_RESOURCES "LeagueSpartan-Medium.otf",
                             editor.bitmaps.folder + "LeagueSpartan-Medium.otf");
  ASSERT_TRUE(g.LoadFont("LeagueSpartan-Medium.otf", "LeagueSpartan-Medium.otf"));
  const IText styled(30, COLOR_WHITE, "LeagueSpartan-Medium.otf");
  const float spartan = g.MeasureText(styled, "Gimme an A!");
  EXPECT_GT(spartan, 50);
  EXPECT_NE(spartan, fallback);
  // Once loaded it is also the overlays' font, and text in an unknown style.
  EXPECT_EQ(g.MeasureText(plain, "Gimme an A!"), spartan);
}

// A bitmap is scaled once per drawing scale: the same copy comes back until
// the scale changes, the copy has the source's size at that scale, and the
// source is held only while a copy of it is.
TEST(ScaledBitmapCopies, AreMadeOncePerScaleAndFreedWithIt) {
  cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 30, 21);
  {
    ScaledBitmaps copies;
    cairo_surface_t* twice = copies.get(source, 2.0f);
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(copies.get(source, 2.0f), twice);
    EXPECT_EQ(cairo_image_surface_get_width(twice), 60);
    EXPECT_EQ(cairo_image_surface_get_height(twice), 42);
    EXPECT_EQ(cairo_surface_get_reference_count(source), 2u);
    cairo_surface_t* more = copies.get(source, 1.5f);
    EXPECT_EQ(cairo_image_surface_get_width(more), 45);
    EXPECT_EQ(cairo_image_surface_get_height(more), 32);  // 31.5, rounded up: no edge lost
    EXPECT_EQ(cairo_surface_get_reference_count(source), 2u);  // the copy at 2.0 is gone
  }
  EXPECT_EQ(cairo_surface_get_reference_count(source), 1u);
  cairo_surface_destroy(source);
}
