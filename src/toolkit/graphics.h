// SPDX-License-Identifier: ISC
// IGraphics: one editor's canvas. It owns the controls (the background first,
// then in attachment order: later ones are drawn on top and hit first), the
// loaded bitmaps and fonts, the design size and drawing scale, the mouse
// state, and the overlays drawn inside the window: pop-up menus, message
// boxes and tooltips. It draws to any cairo_t, redrawing only what is dirty.
#pragma once

#include <cairo.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/editor_delegate.h"
#include "toolkit/fonts.h"
#include "toolkit/platform.h"
#include "toolkit/scaled_bitmaps.h"

enum class EMsgBoxType { OK, YesNo };
enum class EMsgBoxResult { OK, Yes, No };
enum class EUIResizerMode { Scale, Size };

class MenuOverlay;
class MessageBoxOverlay;

class IGraphics {
 public:
  IGraphics(IGEditorDelegate& delegate, IPlatform& platform, int width, int height, float scale = 1.0f);
  ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // --- resources
  // The folder bitmaps and fonts are read from (ends with '/').
  void SetResourcePath(const std::string& path) { mResourcePath = path; }
  // Loads (once) a bitmap by file name with its frame count; an invalid
  // bitmap when the file cannot be read.
  IBitmap LoadBitmap(const char* name, int nFrames = 1);
  // A strip with each frame of `frames` drawn over `under` (a knob over its
  // shadow), both centred in a cell the size of the larger, so that one
  // paint draws the two. Made once per pair and kept like a loaded bitmap.
  IBitmap LayeredBitmap(const IBitmap& frames, const IBitmap& under);
  // The first font loaded also draws the overlays and any text whose style
  // names no loaded font.
  bool LoadFont(const char* id, const char* fileName);
  cairo_font_face_t* FontFace(const std::string& id) const { return mFonts.face(id); }

  // --- the control list
  // The background image goes to the start of the list.
  void AttachBackground(const char* name);
  // Takes ownership; returns the control.
  IControl* AttachControl(IControl* control, int tag = kNoTag);
  // The corner resizer is drawn above all controls.
  void AttachCornerResizer(ICornerResizerControl* control, EUIResizerMode mode, bool layoutOnResize);
  IControl* GetControlWithTag(int tag) const;
  IControl* GetControl(int idx) const;
  int NControls() const { return static_cast<int>(mControls.size()); }
  // The index in the control list of the control under the mouse, −1 when none.
  int GetMouseOver() const { return mMouseOverIdx; }
  int GetControlIdx(const IControl* control) const;
  ICornerResizerControl* GetCornerResizer() const { return mCornerResizer.get(); }
  void RemoveAllControls();

  // --- size and scale
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  float GetDrawScale() const { return mScale; }
  int WindowWidth() const;
  int WindowHeight() const;
  void SetScaleConstraints(float lo, float hi);
  float MinScale() const { return mMinScale; }
  float MaxScale() const { return mMaxScale; }
  // Design size at a scale (kept within the limits); resizes the window.
  void Resize(int width, int height, float scale);
  IRECT GetBounds() const { return {0, 0, static_cast<float>(mWidth), static_cast<float>(mHeight)}; }

  // --- behaviour
  void EnableMouseOver(bool enable) { mMouseOverEnabled = enable; }
  void EnableTooltips(bool enable) { mTooltipsEnabled = enable; }
  bool TooltipsEnabled() const { return mTooltipsEnabled; }
  void SetAllControlsDirty();
  // A parameter changed elsewhere: controls bound to it show the new value.
  void SetControlValueFromDelegate(int paramIdx, double normalized);
  void SetMouseCursor(ECursor cursor);
  bool OpenURL(const char* url) { return mPlatform.openURL(url); }
  bool WindowIsOpen() const { return mPlatform.windowIsOpen(); }
  IGEditorDelegate& GetDelegate() const { return mDelegate; }

  // --- overlays; "modal" means input goes to the overlay until answered
  void CreatePopupMenu(IControl& caller, IPopupMenu& menu, float x, float y);
  bool IsMenuOpen() const;
  void ShowMessageBox(const char* text, const char* title, EMsgBoxType type,
                      std::function<void(EMsgBoxResult)> completion = nullptr);
  bool IsMessageBoxOpen() const;
  void PromptForFile(const FileDialogRequest& request, std::function<void(const std::string&)> done) {
    mPlatform.promptForFile(request, std::move(done));
  }
  // The overlays shown, or nullptr (for tests and the host).
  const MenuOverlay* OpenMenu() const { return mMenu.get(); }
  const MessageBoxOverlay* CurrentMessageBox() const {
    return mMessageBoxes.empty() ? nullptr : mMessageBoxes.front().get();
  }
  // The text of the tooltip being shown, or "" (for tests and the host).
  const std::string& ShownTooltip() const { return mTooltipShown; }

  // --- drawing primitives, in design units, for the controls' Draw
  // Draws frame `frame` (1 … N) of the bitmap into `dest`.
  void DrawBitmap(const IBitmap& bitmap, const IRECT& dest, int frame = 1, const IBlend* blend = nullptr);
  void FillRect(const IColor& color, const IRECT& r, const IBlend* blend = nullptr);
  void FillRoundRect(const IColor& color, const IRECT& r, float radius);
  void DrawRect(const IColor& color, const IRECT& r, float thickness = 1);
  void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                    const IBlend* blend = nullptr);
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr);
  // The width of `str` in this style.
  float MeasureText(const IText& text, const char* str);
  cairo_t* Context() const { return mCr; }

  // --- what the window calls
  // True if anything must be drawn; `area` is the union of what changed.
  bool IsDirty(IRECT& area) const;
  // Draws into `cr` (whose origin is the window's top-left, in pixels):
  // only the dirty area, or everything. Clears the dirty flags.
  void Draw(cairo_t* cr, bool everything = false);
  // Mouse positions are in window pixels.
  void OnMouseDown(float x, float y, const IMouseMod& mod);
  void OnMouseUp(float x, float y, const IMouseMod& mod);
  // The pointer moved, with a button held (a drag) or not.
  void OnMouseMove(float x, float y, const IMouseMod& mod);
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta);
  void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  void OnMouseOut();
  // Called regularly (every 20 ms or so): shows a tooltip after a short hover.
  void OnTick();

  static constexpr double kTooltipDelayMs = 600;

 private:
  friend class IControl;
  void controlBecameDirty(const IControl& control);
  IControl* hitControl(float x, float y, int* idx) const;
  void updateMouseOver(float x, float y, const IMouseMod& mod);
  void drawControls(const IRECT& area);
  void drawTooltip();
  void invalidate(const IRECT& r);
  void selectFont(cairo_t* cr, const IText& text) const;

  IGEditorDelegate& mDelegate;
  IPlatform& mPlatform;
  int mWidth, mHeight;
  float mScale;
  float mMinScale = 0.1f, mMaxScale = 10.0f;
  std::string mResourcePath;
  std::map<std::string, IBitmap> mBitmaps;
  ScaledBitmaps mScaledBitmaps;  // the bitmaps at mScale, made as they are drawn
  FontRegistry mFonts;
  std::string mDefaultFont;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::unique_ptr<ICornerResizerControl> mCornerResizer;
  cairo_t* mCr = nullptr;

  bool mMouseOverEnabled = false, mTooltipsEnabled = false;
  int mMouseOverIdx = -1;
  IControl* mMouseOverControl = nullptr;
  IControl* mCapture = nullptr;
  float mLastX = 0, mLastY = 0;  // design units
  double mLastMoveMs = 0;
  std::string mTooltipShown;
  IRECT mTooltipRect;
  IRECT mExtraDirty;  // overlays and hidden controls

  std::unique_ptr<MenuOverlay> mMenu;
  std::deque<std::unique_ptr<MessageBoxOverlay>> mMessageBoxes;
};
