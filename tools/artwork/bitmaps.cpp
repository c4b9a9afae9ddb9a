// SPDX-License-Identifier: ISC
#include "bitmaps.h"

#include "controls.h"
#include "keyboard.h"

namespace {

const RockerLook kBlueRocker{{0.16, 0.34, 0.64}};
const RockerLook kRedRocker{{0.74, 0.15, 0.1}};
const RockerLook kWhiteRocker{{0.86, 0.84, 0.77}};
const RockerLook kPowerRocker{{0.13, 0.13, 0.13}, true};

StripRecipe rockerStrip(const char* file, const RockerLook& look, bool vertical, int w, int h) {
  return {file, 2, w, h, [look, vertical](Image& im, int f) { drawRocker(im, look, vertical, f == 1); }};
}

StripRecipe knobStrip(const char* file, const KnobSize& size, int frames) {
  return {file, frames, size.frame, size.frame,
          [size, frames](Image& im, int f) { drawKnob(im, size, sweepAngle(f, frames)); }};
}

StripRecipe shadowStrip(const char* file, int side, double radius) {
  return {file, 1, side, side, [radius](Image& im, int) { drawRoundShadow(im, radius); }};
}

}  // namespace

std::vector<StripRecipe> controlStrips(const Font& font) {
  const Font* f = &font;
  std::vector<StripRecipe> strips = {
      knobStrip("knob.png", kKnob, 65),
      knobStrip("knob_big.png", kBigKnob, 65),
      {"knob_broken.png", 15, kKnob.frame, kKnob.frame,
       [](Image& im, int i) { drawBrokenKnob(im, sweepAngle(i, 15)); }},
      {"switch_a.png", 6, 96, 96, [](Image& im, int i) { drawRotarySwitch(im, kRotaryAngles[i]); }},
      shadowStrip("shadow_knob.png", 128, kKnob.skirt),
      shadowStrip("shadow_knobbig.png", 144, kBigKnob.skirt),
      shadowStrip("shadow_switch_a.png", 128, kRotaryBaseRadius + 3),
      rockerStrip("switch_h_blue.png", kBlueRocker, false, 72, 40),
      rockerStrip("switch_h_red.png", kRedRocker, false, 72, 40),
      rockerStrip("switch_h_white.png", kWhiteRocker, false, 72, 40),
      rockerStrip("switch_v_blue.png", kBlueRocker, true, 40, 72),
      rockerStrip("switch_v_red.png", kRedRocker, true, 40, 72),
      rockerStrip("switch_v_black.png", kPowerRocker, true, 48, 88),
      {"switch_b.png", 2, 88, 48, [](Image& im, int i) { drawSlideSwitch(im, i == 1); }},
      {"overload.png", 1, 32, 32, [](Image& im, int) { drawLamp(im.cr(), 0, 0, 32, kOverloadLamp, true); }},
      {"power.png", 1, 40, 40, [](Image& im, int) { drawLamp(im.cr(), 0, 0, 40, kPowerLamp, true); }},
      {"wheel_handle.png", 1, 64, 40, [](Image& im, int) { drawWheelHandle(im); }},
      {"learn.png", 2, 88, 40, [f](Image& im, int i) { drawPushSwitch(im, *f, "LEARN", i == 1); }},
      {"unlearn.png", 2, 88, 40, [f](Image& im, int i) { drawPushSwitch(im, *f, "UNLEARN", i == 1); }},
      {"mpmlogo50.png", 1, 120, 48, [f](Image& im, int) { drawMakerLogo(im, *f); }},
  };
  for (const WhiteKeyShape& shape : whiteKeyShapes())
    strips.push_back({shape.bitmap, 2, Keyboard::kWhiteWidth, Keyboard::kWhiteLength,
                      [shape](Image& im, int i) { drawWhiteKey(im, shape, i == 1); }});
  strips.push_back({"key_black.png", 2, Keyboard::kBlackWidth, Keyboard::kBlackLength,
                    [](Image& im, int i) { drawBlackKey(im, i == 1); }});
  return strips;
}

Image renderStrip(const StripRecipe& recipe) {
  Image strip(recipe.width, recipe.height * recipe.frames);
  for (int i = 0; i < recipe.frames; ++i) {
    Image frame(recipe.width, recipe.height);
    recipe.paint(frame, i);
    paintImage(strip.cr(), frame, 0, static_cast<double>(recipe.height) * i);
  }
  return strip;
}
