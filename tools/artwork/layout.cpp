// SPDX-License-Identifier: ISC
#include "layout.h"

namespace {

const std::vector<PanelSection> kSections = {
    {"CONTROLLERS", 40, 350},  {"OSCILLATOR BANK", 350, 750}, {"MIXER", 750, 1190},
    {"MODIFIERS", 1190, 1690}, {"OUTPUT", 1690, 1912},
};

}  // namespace

const std::vector<PanelControl>& faceControls() {
  static const std::vector<PanelControl> controls = [] {
    std::vector<PanelControl> onFace;
    for (const PanelControl& c : panelControls())
      if (isOnPanelFace(c.part)) onFace.push_back(c);
    return onFace;
  }();
  return controls;
}
const std::vector<PanelSection>& panelSections() { return kSections; }

Rect controlRect(const PanelControl& c) { return rectOf(controlArea(c)); }
