// SPDX-License-Identifier: ISC
// Controls: a rectangle on the canvas with a value, an optional parameter,
// a tag, visibility, a dirty flag, a tooltip and a text style. The stock
// controls below draw bitmap frames (knob, slider, switch, image), plain
// colour or text, and the corner resizer.
#pragma once

#include <string>

#include "toolkit/bitmap.h"
#include "toolkit/geometry.h"
#include "toolkit/popup_menu.h"

class IGraphics;
class IGEditorDelegate;
class IParam;

constexpr int kNoParameter = -1;
constexpr int kNoTag = -1;

enum class EDirection { Vertical, Horizontal };

class IControl {
 public:
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter);
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // Called once the control is in a graphics context's list: GetUI() and
  // GetDelegate() are set from here on.
  virtual void OnInit() {}
  virtual void Draw(IGraphics& g) = 0;

  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float, float, const IMouseMod&) {}
  virtual void OnMouseDrag(float, float, float, float, const IMouseMod&) {}
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod) { OnMouseDown(x, y, mod); }
  virtual void OnMouseWheel(float, float, const IMouseMod&, float) {}
  // A control that points with the hand shows it while the mouse is over it.
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  // The chosen item, with the menu it belongs to; nullptr when dismissed.
  virtual void OnPopupMenuSelection(IPopupMenu*, int) {}
  virtual bool IsHit(float x, float y) const { return mRECT.Contains(x, y); }

  // The value is normalised, 0 to 1.
  double GetValue() const { return mValue; }
  virtual void SetValue(double value);
  // Sets the value from the parameter's current normalised value (after the
  // instrument or the host changed it).
  void SetValueFromDelegate(double normalized);

  // Marks the control for redrawing; with triggerAction, a control bound to a
  // parameter also sends its value to the instrument and the host.
  void SetDirty(bool triggerAction = true);
  bool IsDirty() const { return mDirty; }
  void SetClean() { mDirty = false; }

  void Hide(bool hide);
  bool IsHidden() const { return mHide; }
  void SetIgnoreMouse(bool ignore) { mIgnoreMouse = ignore; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  bool GetMouseIsOver() const { return mMouseIsOver; }

  int GetParamIdx() const { return mParamIdx; }
  // The bound parameter, or nullptr for a control bound to none.
  const IParam* GetParam() const;
  int GetTag() const { return mTag; }
  void SetTag(int tag) { mTag = tag; }

  const std::string& GetTooltip() const { return mTooltip; }
  void SetTooltip(const char* text) { mTooltip = text ? text : ""; }
  const IText& GetText() const { return mText; }

  const IRECT& GetRECT() const { return mRECT; }

  IGraphics* GetUI() const { return mGraphics; }
  IGEditorDelegate* GetDelegate() const { return mDelegate; }
  // Set by the graphics context when attaching.
  void SetContext(IGraphics* graphics, IGEditorDelegate* delegate) {
    mGraphics = graphics;
    mDelegate = delegate;
  }

 protected:
  IRECT mRECT;
  double mValue = 0;
  int mParamIdx;
  int mTag = kNoTag;
  bool mDirty = true;
  bool mHide = false;
  bool mIgnoreMouse = false;
  bool mMouseIsOver = false;
  bool mHideCursorOnDrag = true;
  bool mPointingHand = false;
  std::string mTooltip;
  IText mText;
  IBlend mBlend;
  IGraphics* mGraphics = nullptr;
  IGEditorDelegate* mDelegate = nullptr;
};

// Holds a bitmap and draws the frame that a value selects.
class IBitmapBase {
 public:
  explicit IBitmapBase(const IBitmap& bitmap) : mBitmap(bitmap) {}
  virtual ~IBitmapBase() = default;
  // Frame 1 … N for a normalised value: 1 + round(value × (N − 1)).
  int FrameFor(double value) const;
  void DrawBitmapFrame(IGraphics& g, const IRECT& r, int frame, const IBlend* blend) const;

 protected:
  IBitmap mBitmap;
};

// A bitmap whose frame shows the value (a lamp, a picture, the background).
class IBitmapControl : public IControl, public IBitmapBase {
 public:
  IBitmapControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoParameter);
  void Draw(IGraphics& g) override;
};

// A knob drawn from a filmstrip; dragging changes the value, the gearing
// being how many heights of the control a full turn takes.
class IBKnobControl : public IControl, public IBitmapBase {
 public:
  IBKnobControl(float x, float y, const IBitmap& bitmap, int paramIdx, EDirection direction = EDirection::Vertical,
                double gearing = 4.0);
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;

 protected:
  // Replaces the filmstrip (and the control's size, kept centred).
  void SetBitmap(const IBitmap& bitmap);
  EDirection mDirection;
  double mGearing;
  double mDragValue = 0;
};

// A handle bitmap that slides along a track of `trackLength` design units.
class IBSliderControl : public IControl, public IBitmapBase {
 public:
  IBSliderControl(float x, float y, float trackLength, const IBitmap& handle, int paramIdx,
                  EDirection direction = EDirection::Vertical, double gearing = 4.0);
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;
  // Where the handle is drawn for the current value.
  IRECT HandleRect() const;

 protected:
  float mTrackLength;
  EDirection mDirection;
  double mGearing;
  double mDragValue = 0;
};

// A switch that steps through its frames on each click.
class IBSwitchControl : public IBitmapControl {
 public:
  IBSwitchControl(float x, float y, const IBitmap& bitmap, int paramIdx = kNoParameter);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
};

// A plain rectangle of colour.
class IPanelControl : public IControl {
 public:
  IPanelControl(const IRECT& bounds, const IColor& color);
  void Draw(IGraphics& g) override;

 protected:
  IColor mColor;
};

// One line of text in a style over a background colour.
class ITextControl : public IControl {
 public:
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = DEFAULT_TEXT,
               const IColor& background = COLOR_TRANSPARENT);
  void Draw(IGraphics& g) override;
  void SetStr(const std::string& str);
  const std::string& GetStr() const { return mStr; }
  void SetBackgroundColor(const IColor& c) { mBackground = c; }

 protected:
  std::string mStr;
  IColor mBackground;
};

// A push button: pressed sets the value to 1.
class IButtonControlBase : public IControl {
 public:
  explicit IButtonControlBase(const IRECT& bounds, int paramIdx = kNoParameter) : IControl(bounds, paramIdx) {}
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
};

// Dragging the corner rescales the whole editor within the scale limits.
class ICornerResizerControl : public IControl {
 public:
  ICornerResizerControl(const IRECT& graphicsBounds, float size);
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  bool IsResizing() const { return mResizing; }

 protected:
  float mSize;
  bool mResizing = false;
  float mStartScale = 1, mStartX = 0, mStartY = 0;
};
