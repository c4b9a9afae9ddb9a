// SPDX-License-Identifier: ISC
// The keyboard: where each of the 44 keys lies on the panel, which bitmap
// draws it, the notches cut out of the white keys for the black ones, and
// the key painters.
#pragma once

#include <string>
#include <vector>

#include "image.h"

namespace Keyboard {
constexpr int kLowestNote = 41, kHighestNote = 84;  // F to C
constexpr int kTop = 604, kLeft = 260;
constexpr int kWhiteWidth = 64, kWhiteLength = 400;
constexpr int kBlackWidth = 42, kBlackLength = 250;
// How far down a white key's notch reaches: the black key and a small gap.
constexpr int kNotchDepth = kBlackLength + 3;
}  // namespace Keyboard

struct KeyPlacement {
  int note;
  int x;  // left edge on the panel; every key's top is Keyboard::kTop
  bool black;
  std::string bitmap;  // file name
};

// All keys from the lowest note up.
std::vector<KeyPlacement> keyboardLayout();

// The white key bitmaps in a fixed order, each with the widths cut from its
// top left and top right: the widest cut any of its notes needs.
struct WhiteKeyShape {
  std::string bitmap;
  int leftNotch, rightNotch;
};
std::vector<WhiteKeyShape> whiteKeyShapes();

void drawWhiteKey(Image& image, const WhiteKeyShape& shape, bool down);
void drawBlackKey(Image& image, bool down);
