// SPDX-License-Identifier: ISC
#include "editor/panel_delegate.h"

#include "instrument/engine_view.h"

void PanelDelegate::clickMessage() {
  if (!synth.isEditorOpen()) return;
  auto send = [&](int param, double plain) { link.sendParameter(param, synth.GetParam(param)->ToNormalized(plain)); };
  const EngineView unit(synth);
  if (unit.fuseBlown())
    send(kFuse, 0);
  else if (unit.warmUpState() == 0)
    send(kWarmUp, 1);
  else if (unit.warmUpState() == 1)
    send(kWarmUp, 2);
}
