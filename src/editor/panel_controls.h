// SPDX-License-Identifier: ISC
// The panel's own controls: knobs that cast a shadow and can look broken,
// the wheels, the keys, the lamps, the two-mode MIDI-learn switch, the
// parameter drop-down and the tinted corner resizer. Each keeps its toolkit
// base's behaviour and overrides a few operations.
#pragma once

#include "editor/editor_instrument.h"
#include "editor/panel_ids.h"
#include "toolkit/control.h"

// A knob or rotary switch with a shadow; a broken one shows the damaged
// 15-frame art and no shadow, and works all the same.
class IMPKnob : public IBKnobControl {
 public:
  IMPKnob(float x, float y, const IBitmap& bitmap, const IBitmap& shadow, bool broken, int paramIdx);
  void OnInit() override;
  void Draw(IGraphics& g) override;
  bool IsBroken() const { return broken; }
  const IBitmap& GetBitmap() const { return mBitmap; }

 private:
  IBitmap shadowBitmap;
  IBitmap overShadow;  // the knob's frames over its shadow
  bool broken;
};

// The pitch wheel (slot -kCtrlPitchWheel) and the modulation wheel (slot
// -kCtrlModWheel): a drag sends the wheel's position to the engine, which
// takes it before its next block; the pitch wheel springs back to the
// centre when the pointer leaves it.
class IMPBender : public IBSliderControl {
 public:
  IMPBender(float x, float y, float trackLength, const IBitmap& handle, int paramIdx, EditorInstrument& instrument);
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseOut() override;
  bool IsPitchWheel() const { return GetParamIdx() == -kCtrlPitchWheel; }

 private:
  EditorInstrument& instrument;
};

// A key of the keyboard. A left click plays the note while held; a right
// click latches it; the next click on a latched key releases it on mouse-up.
class IMPKey : public IButtonControlBase, public IBitmapBase {
 public:
  IMPKey(float x, float y, const IBitmap& bitmap, int note, EditorInstrument& instrument);
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  int Note() const { return note; }
  bool IsLatched() const { return latched; }

 private:
  int note;
  bool latched = false;
  EditorInstrument& instrument;
};

// The MIDI-learn switch: learns or, after a right click while off,
// unlearns; the bitmap shows which.
class IMPSwitchMidiLearn : public IBSwitchControl {
 public:
  IMPSwitchMidiLearn(float x, float y, const IBitmap& bitmap, int paramIdx, EditorInstrument& instrument);
  void OnInit() override;
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  bool InLearnMode() const { return learnMode; }

 private:
  bool learnMode = true;
  IBitmap learnBitmap, unlearnBitmap;
  EditorInstrument& instrument;
};

// A lamp: one frame, shown or hidden by the idle update.
class IMPLamp : public IBitmapControl {
 public:
  IMPLamp(float x, float y, const IBitmap& bitmap, int paramIdx);
  void Draw(IGraphics& g) override;
};

// A list parameter's value as text; a click opens the list with the current
// entry checked, and a chosen entry becomes the parameter's plain value.
class IMPDropDown : public IControl {
 public:
  IMPDropDown(const IRECT& bounds, int paramIdx);
  void OnInit() override;
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* menu, int idx) override;
  IPopupMenu& Menu() { return menu; }

 private:
  IPopupMenu menu;
};

// The corner resizer, drawn as a translucent yellow triangle that reaches
// beyond its hit square to the upper left.
class IMPCornerResizer : public ICornerResizerControl {
 public:
  IMPCornerResizer(const IRECT& graphicsBounds, float size);
  void Draw(IGraphics& g) override;
  IRECT TriangleRect() const { return mRECT.GetPadded(-32, -32, -8, -8); }

  static const IColor idleColor;
  static const IColor activeColor;
};
