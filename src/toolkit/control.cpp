// SPDX-License-Identifier: ISC
#include "toolkit/control.h"

#include <algorithm>
#include <cmath>

#include "framework/param.h"
#include "toolkit/editor_delegate.h"
#include "toolkit/graphics.h"

// --- IControl

IControl::IControl(const IRECT& bounds, int paramIdx) : mRECT(bounds), mParamIdx(paramIdx) {}

void IControl::OnMouseDown(float, float, const IMouseMod&) {}

void IControl::OnMouseOver(float, float, const IMouseMod&) {
  if (mPointingHand && !mMouseIsOver && mGraphics) mGraphics->SetMouseCursor(ECursor::HAND);
  mMouseIsOver = true;
}

void IControl::OnMouseOut() {
  if (mPointingHand && mGraphics) mGraphics->SetMouseCursor(ECursor::ARROW);
  mMouseIsOver = false;
}

const IParam* IControl::GetParam() const {
  return mDelegate && mParamIdx >= 0 ? mDelegate->GetParam(mParamIdx) : nullptr;
}

void IControl::SetValue(double value) { mValue = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; }

void IControl::SetValueFromDelegate(double normalized) {
  if (normalized == mValue) return;
  SetValue(normalized);
  SetDirty(false);
}

void IControl::SetDirty(bool triggerAction) {
  mDirty = true;
  if (mGraphics) mGraphics->controlBecameDirty(*this);
  if (triggerAction && mDelegate && GetParam()) {
    // A stepped parameter shows the step it lands on.
    const IParam* p = GetParam();
    mDelegate->SendParameterValueFromUI(mParamIdx, mValue);
    SetValue(p->ToNormalized(p->Constrain(p->FromNormalized(mValue))));
  }
}

void IControl::Hide(bool hide) {
  if (mHide == hide) return;
  mHide = hide;
  SetDirty(false);
}

// --- IBitmapBase

int IBitmapBase::FrameFor(double value) const {
  const int n = mBitmap.N();
  return 1 + static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * (n - 1)));
}

void IBitmapBase::DrawBitmapFrame(IGraphics& g, const IRECT& r, int frame, const IBlend* blend) const {
  g.DrawBitmap(mBitmap, r, frame, blend);
}

// --- IBitmapControl

IBitmapControl::IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx)
    : IControl(IRECT(x, y, x + bitmap.W(), y + bitmap.FH()), paramIdx), IBitmapBase(bitmap) {}

void IBitmapControl::Draw(IGraphics& g) { DrawBitmapFrame(g, mRECT, FrameFor(mValue), &mBlend); }

// --- IBKnobControl

IBKnobControl::IBKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx, EDirection direction,
                             double gearing)
    : IControl(IRECT(x, y, x + bitmap.W(), y + bitmap.FH()), paramIdx),
      IBitmapBase(bitmap),
      mDirection(direction),
      mGearing(gearing) {}

void IBKnobControl::SetBitmap(const IBitmap& bitmap) {
  mBitmap = bitmap;
  mRECT = mRECT.GetCentredInside(static_cast<float>(bitmap.W()), static_cast<float>(bitmap.FH()));
}

void IBKnobControl::Draw(IGraphics& g) { DrawBitmapFrame(g, mRECT, FrameFor(mValue), &mBlend); }

void IBKnobControl::OnMouseDown(float, float, const IMouseMod&) {
  mDragValue = mValue;
  if (mDelegate && mParamIdx >= 0) mDelegate->BeginInformHostOfParamChangeFromUI(mParamIdx);
}

void IBKnobControl::OnMouseUp(float, float, const IMouseMod&) {
  if (mDelegate && mParamIdx >= 0) mDelegate->EndInformHostOfParamChangeFromUI(mParamIdx);
}

void IBKnobControl::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod) {
  // Dragging `gearing` times the control's height turns it all the way;
  // with Shift ten times finer.
  const double gearing = mod.S ? mGearing * 10 : mGearing;
  const double travel = (mDirection == EDirection::Vertical ? mRECT.H() : mRECT.W()) * gearing;
  const double delta = mDirection == EDirection::Vertical ? -dY : dX;
  mDragValue = std::clamp(mDragValue + delta / travel, 0.0, 1.0);
  if (mDragValue == mValue) return;
  SetValue(mDragValue);
  SetDirty(true);
}

void IBKnobControl::OnMouseWheel(float, float, const IMouseMod& mod, float d) {
  const IParam* p = GetParam();
  // A list parameter moves one entry per notch; others a hundredth.
  double step = mod.S ? 0.001 : 0.01;
  if (p && p->GetStepped() && p->GetMax() > p->GetMin()) step = p->GetStep() / (p->GetMax() - p->GetMin());
  SetValue(mValue + (d > 0 ? step : -step));
  SetDirty(true);
}

void IBKnobControl::OnMouseDblClick(float, float, const IMouseMod&) {
  // A double click returns the knob to its default.
  if (const IParam* p = GetParam()) {
    SetValue(p->GetDefault(true));
    SetDirty(true);
  }
}

// --- IBSliderControl

IBSliderControl::IBSliderControl(float x, float y, float trackLength, const IBitmap& handle, int paramIdx,
                                 EDirection direction, double gearing)
    : IControl(direction == EDirection::Vertical ? IRECT(x, y, x + handle.W(), y + trackLength + handle.FH())
                                                 : IRECT(x, y, x + trackLength + handle.W(), y + handle.FH()),
               paramIdx),
      IBitmapBase(handle),
      mTrackLength(trackLength),
      mDirection(direction),
      mGearing(gearing) {}

IRECT IBSliderControl::HandleRect() const {
  const float w = static_cast<float>(mBitmap.W()), h = static_cast<float>(mBitmap.FH());
  // Value 1 is at the top (or the right).
  if (mDirection == EDirection::Vertical) {
    const float top = mRECT.T + static_cast<float>(1 - mValue) * mTrackLength;
    return {mRECT.L, top, mRECT.L + w, top + h};
  }
  const float left = mRECT.L + static_cast<float>(mValue) * mTrackLength;
  return {left, mRECT.T, left + w, mRECT.T + h};
}

void IBSliderControl::Draw(IGraphics& g) { DrawBitmapFrame(g, HandleRect(), 1, &mBlend); }

void IBSliderControl::OnMouseDown(float, float, const IMouseMod&) { mDragValue = mValue; }

void IBSliderControl::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod) {
  const double gearing = mod.S ? mGearing * 10 : mGearing;
  const double delta = mDirection == EDirection::Vertical ? -dY : dX;
  // As with the knobs: `gearing` track lengths of travel move it end to end.
  mDragValue = std::clamp(mDragValue + delta / (mTrackLength * gearing), 0.0, 1.0);
  SetValue(mDragValue);
  SetDirty(true);
}

void IBSliderControl::OnMouseWheel(float, float, const IMouseMod& mod, float d) {
  SetValue(mValue + (d > 0 ? 1 : -1) * (mod.S ? 0.001 : 0.01));
  SetDirty(true);
}

// --- IBSwitchControl

IBSwitchControl::IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx)
    : IBitmapControl(x, y, bitmap, paramIdx) {}

void IBSwitchControl::OnMouseDown(float, float, const IMouseMod&) {
  const int n = mBitmap.N();
  if (n < 2) {
    SetValue(mValue < 0.5 ? 1 : 0);
  } else {
    // The next frame, wrapping round after the last.
    const int frame = FrameFor(mValue);
    SetValue(frame >= n ? 0.0 : static_cast<double>(frame) / (n - 1));
  }
  SetDirty(true);
}

// --- IPanelControl

IPanelControl::IPanelControl(const IRECT& bounds, const IColor& color) : IControl(bounds), mColor(color) {}

void IPanelControl::Draw(IGraphics& g) { g.FillRect(mColor, mRECT, &mBlend); }

// --- ITextControl

ITextControl::ITextControl(const IRECT& bounds, const char* str, const IText& text, const IColor& background)
    : IControl(bounds), mStr(str ? str : ""), mBackground(background) {
  mText = text;
}

void ITextControl::SetStr(const std::string& str) {
  if (str == mStr) return;
  mStr = str;
  SetDirty(false);
}

void ITextControl::Draw(IGraphics& g) {
  g.FillRect(mBackground, mRECT, &mBlend);
  g.DrawText(mText, mStr.c_str(), mRECT, &mBlend);
}

// --- IButtonControlBase

void IButtonControlBase::OnMouseDown(float, float, const IMouseMod&) {
  SetValue(1);
  SetDirty(true);
}

void IButtonControlBase::OnMouseUp(float, float, const IMouseMod&) {
  SetValue(0);
  SetDirty(false);
}

// --- ICornerResizerControl

ICornerResizerControl::ICornerResizerControl(const IRECT& b, float size)
    : IControl(IRECT(b.R - size + 1, b.B - size + 1, b.R - 1, b.B - 1)), mSize(size) {}

void ICornerResizerControl::Draw(IGraphics& g) {
  const IColor c = mMouseIsOver || mResizing ? IColor(128, 255, 255, 255) : IColor(48, 255, 255, 255);
  g.FillTriangle(c, mRECT.L, mRECT.B, mRECT.R, mRECT.T, mRECT.R, mRECT.B);
}

void ICornerResizerControl::OnMouseDown(float x, float y, const IMouseMod&) {
  IGraphics* g = GetUI();
  if (!g) return;
  mResizing = true;
  mStartScale = g->GetDrawScale();
  // Remembered in window pixels: the design units move as the scale changes.
  mStartX = x * mStartScale;
  mStartY = y * mStartScale;
  SetDirty(false);
}

void ICornerResizerControl::OnMouseUp(float, float, const IMouseMod&) {
  mResizing = false;
  SetDirty(false);
}

void ICornerResizerControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&) {
  IGraphics* g = GetUI();
  if (!g || !mResizing) return;
  // The pointer's position in window pixels decides the new scale: the
  // corner follows it, keeping the canvas's proportions.
  const float scale = g->GetDrawScale();
  const float px = x * scale, py = y * scale;
  const float grow = std::max((px - mStartX) / g->Width(), (py - mStartY) / g->Height());
  const float newScale = std::clamp(mStartScale + grow, g->MinScale(), g->MaxScale());
  if (std::fabs(newScale - scale) < 1e-4f) return;
  g->Resize(g->Width(), g->Height(), newScale);
  // The hit square follows the new bottom-right corner.
  const IRECT b = g->GetBounds();
  mRECT = IRECT(b.R - mSize + 1, b.B - mSize + 1, b.R - 1, b.B - 1);
}

void ICornerResizerControl::OnMouseOver(float x, float y, const IMouseMod& mod) {
  if (!mMouseIsOver) SetDirty(false);
  IControl::OnMouseOver(x, y, mod);
}

void ICornerResizerControl::OnMouseOut() {
  IControl::OnMouseOut();
  SetDirty(false);
}
