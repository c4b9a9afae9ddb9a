// SPDX-License-Identifier: ISC
// The message strip: one line that tells what state the unit is in, or shows
// the quip of the control under the pointer after the maker's logo. A click
// on it repairs the unit.
#pragma once

#include "editor/editor_instrument.h"
#include "toolkit/control.h"

class IMPMessage : public ITextControl {
 public:
  IMPMessage(const IRECT& bounds, const IText& style, const IText& quipStyle, EditorInstrument& instrument);
  void OnInit() override;
  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;

  // The logo line ("says: " and the text after the logo) or plain text.
  void SetShowLogo(bool show);
  bool ShowsLogo() const { return showLogo; }
  const IRECT& LogoRect() const { return logoRect; }
  const IRECT& QuipRect() const { return quipRect; }

 private:
  bool showLogo = false;
  IBitmap logo;
  IText quipText;
  IRECT logoRect, quipRect;
  EditorInstrument& instrument;
};
