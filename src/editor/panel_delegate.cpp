// SPDX-License-Identifier: ISC
#include "editor/panel_delegate.h"

void PanelDelegate::clickMessage() {
  if (!synth.isEditorOpen()) return;
  auto send = [&](int param, double plain) { link.sendParameter(param, synth.GetParam(param)->ToNormalized(plain)); };
  if (synth.fuseBlown)
    send(kFuse, 0);
  else if (synth.warmUpState == 0)
    send(kWarmUp, 1);
  else if (synth.warmUpState == 1)
    send(kWarmUp, 2);
}
