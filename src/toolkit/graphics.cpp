// SPDX-License-Identifier: ISC
#include "toolkit/graphics.h"

#include <algorithm>
#include <cmath>

#include "framework/param.h"
#include "toolkit/overlays.h"

namespace {

void setColor(cairo_t* cr, const IColor& c, const IBlend* blend) {
  const double weight = blend ? blend->mWeight : 1.0;
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, weight * c.A / 255.0);
}

}  // namespace

IGraphics::IGraphics(IGEditorDelegate& delegate, IPlatform& platform, int width, int height, float scale)
    : mDelegate(delegate), mPlatform(platform), mWidth(width), mHeight(height), mScale(scale) {}

IGraphics::~IGraphics() {
  // Controls may refer to the overlays' callers; drop the overlays first.
  mMenu.reset();
  mMessageBoxes.clear();
  RemoveAllControls();
}

// --- resources

IBitmap IGraphics::LoadBitmap(const char* name, int nFrames) {
  const std::string key = std::string(name) + "#" + std::to_string(nFrames);
  if (const auto found = mBitmaps.find(key); found != mBitmaps.end()) return found->second;
  std::string error;
  cairo_surface_t* surface = loadImageFile(mResourcePath + name, error);
  IBitmap bitmap = surface ? IBitmap(surface, nFrames, name) : IBitmap();
  mBitmaps[key] = bitmap;
  return bitmap;
}

IBitmap IGraphics::LayeredBitmap(const IBitmap& frames, const IBitmap& under) {
  if (!frames.IsValid() || !under.IsValid()) return IBitmap();
  const std::string key = frames.Name() + "#" + std::to_string(frames.N()) + " over " + under.Name();
  if (const auto found = mBitmaps.find(key); found != mBitmaps.end()) return found->second;
  // A cell holds the larger of the two whole, so that no edge of either is
  // cut: a scaled copy then blends each cell's border with nothing, as it
  // does the two bitmaps' own borders.
  const int cellW = std::max(frames.W(), under.W()), cellH = std::max(frames.FH(), under.FH());
  cairo_surface_t* layered = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cellW, cellH * frames.N());
  if (cairo_surface_status(layered) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(layered);
    return IBitmap();
  }
  const IRECT cell(0, 0, static_cast<float>(cellW), static_cast<float>(cellH));
  const IRECT underAt = cell.GetCentredInside(static_cast<float>(under.W()), static_cast<float>(under.FH()));
  const IRECT frameAt = cell.GetCentredInside(static_cast<float>(frames.W()), static_cast<float>(frames.FH()));
  cairo_t* cr = cairo_create(layered);
  for (int f = 0; f < frames.N(); ++f) {
    const double top = static_cast<double>(f) * cellH;
    cairo_save(cr);
    cairo_rectangle(cr, 0, top, cellW, cellH);
    cairo_clip(cr);
    cairo_set_source_surface(cr, under.Surface(), underAt.L, top + underAt.T);
    cairo_paint(cr);
    cairo_set_source_surface(cr, frames.Surface(), frameAt.L, top + frameAt.T - static_cast<double>(f) * frames.FH());
    cairo_paint(cr);
    cairo_restore(cr);
  }
  cairo_destroy(cr);
  IBitmap bitmap(layered, frames.N(), key);
  mBitmaps[key] = bitmap;
  return bitmap;
}

bool IGraphics::LoadFont(const char* id, const char* fileName) {
  const bool loaded = mFonts.load(id, mResourcePath + fileName);
  if (loaded && mDefaultFont.empty()) mDefaultFont = id;
  return loaded;
}

// --- the control list

void IGraphics::AttachBackground(const char* name) {
  auto* background = new IBitmapControl(0, 0, LoadBitmap(name, 1));
  background->SetIgnoreMouse(true);
  background->SetContext(this, &mDelegate);
  mControls.insert(mControls.begin(), std::unique_ptr<IControl>(background));
  background->OnInit();
}

IControl* IGraphics::AttachControl(IControl* control, int tag) {
  control->SetTag(tag);
  control->SetContext(this, &mDelegate);
  mControls.emplace_back(control);
  if (control->GetParam()) control->SetValueFromDelegate(control->GetParam()->GetNormalized());
  control->OnInit();
  control->SetDirty(false);
  return control;
}

void IGraphics::AttachCornerResizer(ICornerResizerControl* control, EUIResizerMode, bool) {
  control->SetContext(this, &mDelegate);
  mCornerResizer.reset(control);
  control->OnInit();
}

IControl* IGraphics::GetControlWithTag(int tag) const {
  if (tag == kNoTag) return nullptr;
  for (const auto& c : mControls)
    if (c->GetTag() == tag) return c.get();
  return nullptr;
}

IControl* IGraphics::GetControl(int idx) const {
  return idx >= 0 && idx < NControls() ? mControls[static_cast<size_t>(idx)].get() : nullptr;
}

int IGraphics::GetControlIdx(const IControl* control) const {
  for (int i = 0; i < NControls(); ++i)
    if (mControls[static_cast<size_t>(i)].get() == control) return i;
  return -1;
}

void IGraphics::RemoveAllControls() {
  mCapture = nullptr;
  mMouseOverControl = nullptr;
  mMouseOverIdx = -1;
  mCornerResizer.reset();
  mControls.clear();
}

// --- size and scale

int IGraphics::WindowWidth() const { return static_cast<int>(std::lround(mWidth * mScale)); }
int IGraphics::WindowHeight() const { return static_cast<int>(std::lround(mHeight * mScale)); }

void IGraphics::SetScaleConstraints(float lo, float hi) {
  mMinScale = std::min(lo, hi);
  mMaxScale = std::max(lo, hi);
}

void IGraphics::Resize(int width, int height, float scale) {
  if (!(scale > 0)) return;
  mWidth = width;
  mHeight = height;
  mScale = std::clamp(scale, mMinScale, mMaxScale);
  mPlatform.resizeWindow(WindowWidth(), WindowHeight());
  SetAllControlsDirty();
}

// --- behaviour

void IGraphics::SetAllControlsDirty() {
  for (auto& c : mControls) c->SetDirty(false);
  invalidate(GetBounds());
}

void IGraphics::SetControlValueFromDelegate(int paramIdx, double normalized) {
  if (paramIdx < 0) return;
  for (auto& c : mControls)
    if (c->GetParamIdx() == paramIdx && c.get() != mCapture) c->SetValueFromDelegate(normalized);
}

void IGraphics::SetMouseCursor(ECursor cursor) { mPlatform.setCursor(cursor); }

// --- overlays

void IGraphics::CreatePopupMenu(IControl& caller, IPopupMenu& menu, float x, float y) {
  if (mMenu) invalidate(mMenu->area());
  menu.SetChosenItemIdx(-1);
  mMenu = std::make_unique<MenuOverlay>(*this, caller, menu, x, y);
  invalidate(mMenu->area());
}

bool IGraphics::IsMenuOpen() const { return mMenu != nullptr; }

void IGraphics::ShowMessageBox(const char* text, const char* title, EMsgBoxType type,
                               std::function<void(EMsgBoxResult)> completion) {
  mMessageBoxes.push_back(std::make_unique<MessageBoxOverlay>(*this, text ? text : "", title ? title : "", type,
                                                              std::move(completion)));
  invalidate(GetBounds());
}

bool IGraphics::IsMessageBoxOpen() const { return !mMessageBoxes.empty(); }

// --- drawing primitives

void IGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int frame, const IBlend* blend) {
  if (!mCr || !bitmap.IsValid()) return;
  frame = std::clamp(frame, 1, bitmap.N());
  cairo_save(mCr);
  cairo_rectangle(mCr, dest.L, dest.T, dest.W(), dest.H());
  cairo_clip(mCr);
  const double x = dest.L, y = dest.T - static_cast<double>(frame - 1) * bitmap.FH();
  if (cairo_surface_t* scaled = mScale != 1.0f ? mScaledBitmaps.get(bitmap.Surface(), mScale) : nullptr) {
    // The copy at the window's scale, one of its pixels to one of the window's.
    cairo_set_source_surface(mCr, scaled, 0, 0);
    cairo_matrix_t toCopy;
    cairo_matrix_init_scale(&toCopy, mScale, mScale);
    cairo_matrix_translate(&toCopy, -x, -y);
    cairo_pattern_set_matrix(cairo_get_source(mCr), &toCopy);
    // On whole pixels the copy is drawn as it is; between them, interpolated.
    const auto whole = [](double v) { return std::fabs(v - std::round(v)) < 1e-6; };
    cairo_pattern_set_filter(cairo_get_source(mCr),
                             whole(x * mScale) && whole(y * mScale) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
  } else {
    cairo_set_source_surface(mCr, bitmap.Surface(), x, y);
    cairo_pattern_set_filter(cairo_get_source(mCr), CAIRO_FILTER_GOOD);
  }
  if (blend && blend->mWeight < 1.0f)
    cairo_paint_with_alpha(mCr, blend->mWeight);
  else
    cairo_paint(mCr);
  cairo_restore(mCr);
}

void IGraphics::FillRect(const IColor& color, const IRECT& r, const IBlend* blend) {
  if (!mCr) return;
  setColor(mCr, color, blend);
  cairo_rectangle(mCr, r.L, r.T, r.W(), r.H());
  cairo_fill(mCr);
}

void IGraphics::FillRoundRect(const IColor& color, const IRECT& r, float radius) {
  if (!mCr) return;
  const double rad = std::min<double>(radius, std::min(r.W(), r.H()) / 2);
  cairo_new_sub_path(mCr);
  cairo_arc(mCr, r.R - rad, r.T + rad, rad, -M_PI / 2, 0);
  cairo_arc(mCr, r.R - rad, r.B - rad, rad, 0, M_PI / 2);
  cairo_arc(mCr, r.L + rad, r.B - rad, rad, M_PI / 2, M_PI);
  cairo_arc(mCr, r.L + rad, r.T + rad, rad, M_PI, 3 * M_PI / 2);
  cairo_close_path(mCr);
  setColor(mCr, color, nullptr);
  cairo_fill(mCr);
}

void IGraphics::DrawRect(const IColor& color, const IRECT& r, float thickness) {
  if (!mCr) return;
  setColor(mCr, color, nullptr);
  cairo_set_line_width(mCr, thickness);
  cairo_rectangle(mCr, r.L + thickness / 2, r.T + thickness / 2, r.W() - thickness, r.H() - thickness);
  cairo_stroke(mCr);
}

void IGraphics::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                             const IBlend* blend) {
  if (!mCr) return;
  setColor(mCr, color, blend);
  cairo_move_to(mCr, x1, y1);
  cairo_line_to(mCr, x2, y2);
  cairo_line_to(mCr, x3, y3);
  cairo_close_path(mCr);
  cairo_fill(mCr);
}

void IGraphics::selectFont(cairo_t* cr, const IText& text) const {
  cairo_font_face_t* face = mFonts.face(text.mFont);
  if (!face) face = mFonts.face(mDefaultFont);
  if (face)
    cairo_set_font_face(cr, face);
  else
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, text.mSize);
}

float IGraphics::MeasureText(const IText& text, const char* str) {
  cairo_t* cr = mCr;
  cairo_surface_t* scratch = nullptr;
  if (!cr) {
    scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cr = cairo_create(scratch);
  }
  selectFont(cr, text);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, str ? str : "", &extents);
  if (scratch) {
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
  }
  return static_cast<float>(extents.x_advance);
}

void IGraphics::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend) {
  if (!mCr || !str || !*str) return;
  cairo_save(mCr);
  cairo_rectangle(mCr, bounds.L, bounds.T, bounds.W(), bounds.H());
  cairo_clip(mCr);
  selectFont(mCr, text);
  cairo_text_extents_t extents;
  cairo_text_extents(mCr, str, &extents);
  cairo_font_extents_t font;
  cairo_font_extents(mCr, &font);
  double x = bounds.L;
  if (text.mAlign == EAlign::Center) x = bounds.MW() - extents.x_advance / 2;
  if (text.mAlign == EAlign::Far) x = bounds.R - extents.x_advance;
  // Vertically by the font's ascent and descent, so that lines of different
  // text sit on the same baseline.
  double y = bounds.T + font.ascent;
  if (text.mVAlign == EVAlign::Middle) y = bounds.MH() + (font.ascent - font.descent) / 2;
  if (text.mVAlign == EVAlign::Bottom) y = bounds.B - font.descent;
  setColor(mCr, text.mFGColor, blend);
  cairo_move_to(mCr, x, y);
  cairo_show_text(mCr, str);
  cairo_restore(mCr);
}

// --- drawing

void IGraphics::controlBecameDirty(const IControl&) { mPlatform.requestRedraw(); }

void IGraphics::invalidate(const IRECT& r) {
  mExtraDirty = mExtraDirty.Union(r);
  mPlatform.requestRedraw();
}

bool IGraphics::IsDirty(IRECT& area) const {
  IRECT dirty = mExtraDirty;
  for (const auto& c : mControls)
    if (c->IsDirty()) dirty = dirty.Union(c->GetRECT());
  if (mCornerResizer && mCornerResizer->IsDirty()) dirty = dirty.Union(mCornerResizer->GetRECT().GetPadded(40));
  area = dirty.Intersect(GetBounds());
  return !area.Empty();
}

void IGraphics::drawControls(const IRECT& area) {
  for (auto& c : mControls) {
    c->SetClean();
    if (!c->IsHidden() && c->GetRECT().Intersects(area)) c->Draw(*this);
  }
  if (mCornerResizer) {
    mCornerResizer->SetClean();
    if (!mCornerResizer->IsHidden()) mCornerResizer->Draw(*this);
  }
}

void IGraphics::Draw(cairo_t* cr, bool everything) {
  IRECT area;
  if (everything)
    area = GetBounds();
  else if (!IsDirty(area))
    return;
  mCr = cr;
  cairo_save(cr);
  cairo_scale(cr, mScale, mScale);
  // Whole pixels: the edges of the redrawn area blend with what is there.
  const IRECT pixels = area.GetPixelAligned(mScale);
  const IRECT clip = pixels.GetScaled(1.0f / mScale);
  cairo_rectangle(cr, clip.L, clip.T, clip.W(), clip.H());
  cairo_clip(cr);
  drawControls(clip);
  if (mMenu) mMenu->draw(*this);
  if (!mMessageBoxes.empty()) mMessageBoxes.front()->draw(*this);
  drawTooltip();
  cairo_restore(cr);
  mCr = nullptr;
  mExtraDirty = IRECT();
}

void IGraphics::drawTooltip() {
  if (mTooltipShown.empty()) return;
  const IText style(24, IColor(255, 30, 28, 26), "", EAlign::Center);
  FillRoundRect(IColor(235, 250, 240, 200), mTooltipRect, 6);
  DrawRect(IColor(255, 90, 80, 60), mTooltipRect, 1);
  DrawText(style, mTooltipShown.c_str(), mTooltipRect);
}

// --- mouse

IControl* IGraphics::hitControl(float x, float y, int* idx) const {
  for (int i = NControls() - 1; i >= 0; --i) {
    IControl* c = mControls[static_cast<size_t>(i)].get();
    if (!c->IsHidden() && !c->GetIgnoreMouse() && c->IsHit(x, y)) {
      if (idx) *idx = i;
      return c;
    }
  }
  if (idx) *idx = -1;
  return nullptr;
}

void IGraphics::updateMouseOver(float x, float y, const IMouseMod& mod) {
  if (!mMouseOverEnabled) return;
  int idx = -1;
  IControl* over = nullptr;
  if (mCornerResizer && !mCornerResizer->IsHidden() && mCornerResizer->IsHit(x, y))
    over = mCornerResizer.get();
  else
    over = hitControl(x, y, &idx);
  if (over != mMouseOverControl) {
    if (mMouseOverControl) mMouseOverControl->OnMouseOut();
    mMouseOverControl = over;
    if (!mTooltipShown.empty()) {
      invalidate(mTooltipRect.GetPadded(2));
      mTooltipShown.clear();
    }
  }
  mMouseOverIdx = idx;
  if (over) over->OnMouseOver(x, y, mod);
}

void IGraphics::OnMouseDown(float px, float py, const IMouseMod& mod) {
  const float x = px / mScale, y = py / mScale;
  mLastX = x;
  mLastY = y;
  if (!mTooltipShown.empty()) {
    invalidate(mTooltipRect.GetPadded(2));
    mTooltipShown.clear();
  }
  if (!mMessageBoxes.empty()) {
    EMsgBoxResult result;
    if (mMessageBoxes.front()->mouseDown(x, y, result)) {
      // The box goes first: its continuation may open the next one.
      std::unique_ptr<MessageBoxOverlay> box = std::move(mMessageBoxes.front());
      mMessageBoxes.pop_front();
      invalidate(GetBounds());
      box->complete(result);
    }
    return;
  }
  if (mMenu) {
    invalidate(mMenu->area());
    MenuOverlay* menu = mMenu.get();
    if (menu->mouseDown(x, y) && mMenu.get() == menu) mMenu.reset();
    return;
  }
  if (mCornerResizer && !mCornerResizer->IsHidden() && mCornerResizer->IsHit(x, y)) {
    mCapture = mCornerResizer.get();
    mCapture->OnMouseDown(x, y, mod);
    return;
  }
  IControl* c = hitControl(x, y, nullptr);
  if (!c) return;
  // A right click on a control bound to a parameter belongs to the host's
  // parameter menu, not to the control.
  if (mod.R && !mod.L && c->GetParamIdx() >= 0) return;
  mCapture = c;
  c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(float px, float py, const IMouseMod& mod) {
  const float x = px / mScale, y = py / mScale;
  if (IControl* c = mCapture) {
    mCapture = nullptr;
    c->OnMouseUp(x, y, mod);
  }
  updateMouseOver(x, y, mod);
}

void IGraphics::OnMouseMove(float px, float py, const IMouseMod& mod) {
  const float x = px / mScale, y = py / mScale;
  const float dX = x - mLastX, dY = y - mLastY;
  mLastX = x;
  mLastY = y;
  mLastMoveMs = mPlatform.nowMs();
  if (!mTooltipShown.empty()) {
    invalidate(mTooltipRect.GetPadded(2));
    mTooltipShown.clear();
  }
  if (!mMessageBoxes.empty()) return;
  if (mMenu) {
    invalidate(mMenu->area());
    mMenu->mouseMove(x, y);
    invalidate(mMenu->area());
    return;
  }
  if (mCapture && (mod.L || mod.R)) {
    mCapture->OnMouseDrag(x, y, dX, dY, mod);
    return;
  }
  updateMouseOver(x, y, mod);
}

void IGraphics::OnMouseWheel(float px, float py, const IMouseMod& mod, float delta) {
  if (mMenu || !mMessageBoxes.empty()) return;
  const float x = px / mScale, y = py / mScale;
  if (IControl* c = hitControl(x, y, nullptr)) c->OnMouseWheel(x, y, mod, delta);
}

void IGraphics::OnMouseDblClick(float px, float py, const IMouseMod& mod) {
  if (mMenu || !mMessageBoxes.empty()) {
    OnMouseDown(px, py, mod);
    return;
  }
  const float x = px / mScale, y = py / mScale;
  IControl* c = hitControl(x, y, nullptr);
  if (!c || (mod.R && !mod.L && c->GetParamIdx() >= 0)) return;
  mCapture = c;
  c->OnMouseDblClick(x, y, mod);
}

void IGraphics::OnMouseOut() {
  if (mMouseOverControl) mMouseOverControl->OnMouseOut();
  mMouseOverControl = nullptr;
  mMouseOverIdx = -1;
  if (!mTooltipShown.empty()) {
    invalidate(mTooltipRect.GetPadded(2));
    mTooltipShown.clear();
  }
}

void IGraphics::OnTick() {
  if (!mTooltipsEnabled || !mTooltipShown.empty() || !mMouseOverControl || mCapture || mMenu ||
      !mMessageBoxes.empty())
    return;
  const std::string& tip = mMouseOverControl->GetTooltip();
  if (tip.empty() || mPlatform.nowMs() - mLastMoveMs < kTooltipDelayMs) return;
  const IText style(24, COLOR_BLACK);
  const float w = MeasureText(style, tip.c_str()) + 24, h = 40;
  float x = std::min(mLastX + 16, static_cast<float>(mWidth) - w), y = mLastY + 28;
  if (y + h > mHeight) y = mLastY - 28 - h;
  mTooltipShown = tip;
  mTooltipRect = IRECT(std::max(0.0f, x), std::max(0.0f, y), std::max(0.0f, x) + w, std::max(0.0f, y) + h);
  invalidate(mTooltipRect.GetPadded(2));
}
