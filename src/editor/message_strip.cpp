// SPDX-License-Identifier: ISC
#include "editor/message_strip.h"

#include "toolkit/graphics.h"

IMPMessage::IMPMessage(const IRECT& bounds, const IText& style, const IText& quipStyle, EditorInstrument& instrument)
    : ITextControl(bounds, "", style, COLOR_TRANSPARENT), quipText(quipStyle), instrument(instrument) {}

void IMPMessage::OnInit() {
  logo = GetUI()->LoadBitmap("mpmlogo50.png", 1);
  logoRect = IRECT(mRECT.L + 320, mRECT.T, mRECT.L + 320 + logo.W(), mRECT.T + logo.FH());
  quipRect = IRECT(logoRect.R + 8, mRECT.T, mRECT.R, mRECT.B);
}

void IMPMessage::SetShowLogo(bool show) {
  if (show == showLogo) return;
  showLogo = show;
  SetDirty(false);
}

void IMPMessage::Draw(IGraphics& g) {
  if (!showLogo) {
    ITextControl::Draw(g);
    return;
  }
  g.FillRect(mBackground, mRECT);
  if (!mStr.empty()) g.DrawText(quipText, ("says: " + mStr).c_str(), quipRect, &mBlend);
  g.DrawBitmap(logo, logoRect, 1);
}

void IMPMessage::OnMouseDown(float, float, const IMouseMod&) {
  instrument.clickMessage();
}
