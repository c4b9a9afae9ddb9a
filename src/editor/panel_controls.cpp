// SPDX-License-Identifier: ISC
#include "editor/panel_controls.h"

#include <cmath>

#include "editor/panel_ids.h"
#include "framework/param.h"
#include "toolkit/graphics.h"

// --- IMPKnob

IMPKnob::IMPKnob(float x, float y, const IBitmap& bitmap, const IBitmap& shadow, bool broken, int paramIdx)
    : IBKnobControl(x, y, bitmap, paramIdx, EDirection::Vertical, 4.0), shadowBitmap(shadow), broken(broken) {
  mHideCursorOnDrag = false;
}

void IMPKnob::OnInit() {
  if (broken) SetBitmap(GetUI()->LoadBitmap("knob_broken.png", 15));
}

void IMPKnob::Draw(IGraphics& g) {
  if (broken || !shadowBitmap.IsValid()) {
    DrawBitmapFrame(g, mRECT, FrameFor(mValue), &mBlend);
    return;
  }
  // Above 100 % the knob is drawn from a strip with its shadow under each
  // frame already: a turned knob costs one paint of its square instead of
  // two, for the memory of the strip (made once, shared by the knobs alike).
  // At 100 % and below, two paints cost little.
  const bool layered = g.GetDrawScale() > 1.0f && mBlend.mWeight >= 1.0f;
  if (layered && !overShadow.IsValid()) overShadow = g.LayeredBitmap(mBitmap, shadowBitmap);
  if (layered && overShadow.IsValid()) {
    const IRECT cell = mRECT.GetCentredInside(static_cast<float>(overShadow.W()), static_cast<float>(overShadow.FH()));
    g.DrawBitmap(overShadow, cell, FrameFor(mValue), &mBlend);
    return;
  }
  const IRECT shadow =
      mRECT.GetCentredInside(static_cast<float>(shadowBitmap.W()), static_cast<float>(shadowBitmap.FH()));
  g.DrawBitmap(shadowBitmap, shadow, 1, &mBlend);
  DrawBitmapFrame(g, mRECT, FrameFor(mValue), &mBlend);
}

// --- IMPBender

IMPBender::IMPBender(float x, float y, float trackLength, const IBitmap& handle, int paramIdx,
                     EditorInstrument& instrument)
    : IBSliderControl(x, y, trackLength, handle, paramIdx, EDirection::Vertical, 4.0), instrument(instrument) {
  mHideCursorOnDrag = false;
  mPointingHand = true;
}

void IMPBender::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) {
  IBSliderControl::OnMouseDrag(x, y, dX, dY, mod);
  if (IsPitchWheel())
    instrument.setPitchBend(2 * GetValue() - 1);
  else
    instrument.setModWheel(GetValue());
}

void IMPBender::OnMouseOut() {
  IControl::OnMouseOut();
  if (IsPitchWheel()) {
    SetValue(0.5);
    instrument.setPitchBend(0);
    SetDirty(false);
  }
}

// --- IMPKey

IMPKey::IMPKey(float x, float y, const IBitmap& bitmap, int note, EditorInstrument& instrument)
    : IButtonControlBase(IRECT(x, y, x + bitmap.W(), y + bitmap.FH())),
      IBitmapBase(bitmap),
      note(note),
      instrument(instrument) {
  mPointingHand = true;
}

void IMPKey::Draw(IGraphics& g) {
  SetValue(instrument.isKeyPressed(note) ? 1 : 0);
  DrawBitmapFrame(g, mRECT, FrameFor(mValue), &mBlend);
}

void IMPKey::OnMouseDown(float x, float y, const IMouseMod& mod) {
  IButtonControlBase::OnMouseDown(x, y, mod);
  if (latched) {
    latched = false;
    return;
  }
  instrument.setNoteOn(note);
  latched = mod.R;
}

void IMPKey::OnMouseUp(float, float, const IMouseMod&) {
  if (latched) return;
  instrument.setNoteOff(note);
  SetValue(0);
  SetDirty(true);
}

// --- IMPSwitchMidiLearn

IMPSwitchMidiLearn::IMPSwitchMidiLearn(float x, float y, const IBitmap& bitmap, int paramIdx,
                                       EditorInstrument& instrument)
    : IBSwitchControl(x, y, bitmap, paramIdx), instrument(instrument) {}

void IMPSwitchMidiLearn::OnInit() {
  learnBitmap = GetUI()->LoadBitmap("learn.png", 2);
  unlearnBitmap = GetUI()->LoadBitmap("unlearn.png", 2);
}

void IMPSwitchMidiLearn::Draw(IGraphics& g) {
  g.DrawBitmap(learnMode ? learnBitmap : unlearnBitmap, mRECT, GetValue() < 0.5 ? 1 : 2);
}

void IMPSwitchMidiLearn::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (mod.L) {
    IBSwitchControl::OnMouseDown(x, y, mod);
    if (learnMode)
      instrument.doMidiLearn(GetValue() > 0);
    else
      instrument.doMidiUnlearn(GetValue() > 0);
  } else if (mod.R && GetValue() == 0) {
    // Only while off: a learn in progress keeps its mode.
    learnMode = !learnMode;
    SetDirty(false);
  }
}

// --- IMPLamp

IMPLamp::IMPLamp(float x, float y, const IBitmap& bitmap, int paramIdx) : IBitmapControl(x, y, bitmap, paramIdx) {}

void IMPLamp::Draw(IGraphics& g) { g.DrawBitmap(mBitmap, mRECT, 1); }

// --- IMPDropDown

IMPDropDown::IMPDropDown(const IRECT& bounds, int paramIdx) : IControl(bounds, paramIdx) { mPointingHand = true; }

void IMPDropDown::OnInit() {
  mText = IText(24, IColor(192, 255, 255, 255), kPanelFont, EAlign::Center, EVAlign::Middle);
  menu.RemoveAllItems();
  if (const IParam* p = GetParam())
    for (int i = 0; i < p->NDisplayTexts(); ++i) menu.AddItem(p->GetDisplayText(i));
}

void IMPDropDown::Draw(IGraphics& g) {
  g.FillRect(COLOR_TRANSPARENT, mRECT);
  const IParam* p = GetParam();
  if (!p) return;
  WDL_String display;
  p->GetDisplay(p->FromNormalized(GetValue()), false, display);
  g.DrawText(mText, display.Get(), mRECT, &mBlend);
}

void IMPDropDown::OnMouseDown(float x, float y, const IMouseMod& mod) {
  const IParam* p = GetParam();
  if (!mod.L || !p || !GetUI()) return;
  menu.CheckItemAlone(static_cast<int>(p->FromNormalized(GetValue())));
  GetUI()->CreatePopupMenu(*this, menu, x, y);
}

void IMPDropDown::OnPopupMenuSelection(IPopupMenu* chosen, int idx) {
  const IParam* p = GetParam();
  if (!chosen || !p) return;
  // The item's index is the parameter's plain value.
  SetValue(p->ToNormalized(idx));
  SetDirty(true);
}

// --- IMPCornerResizer

const IColor IMPCornerResizer::idleColor(32, 255, 255, 0);
const IColor IMPCornerResizer::activeColor(128, 255, 255, 0);

IMPCornerResizer::IMPCornerResizer(const IRECT& graphicsBounds, float size)
    : ICornerResizerControl(graphicsBounds, size) {}

void IMPCornerResizer::Draw(IGraphics& g) {
  const IColor& c = GetMouseIsOver() || IsResizing() ? activeColor : idleColor;
  const IRECT t = TriangleRect();
  g.FillTriangle(c, t.L, t.B, t.R, t.T, t.R, t.B);
}
