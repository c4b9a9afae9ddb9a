// SPDX-License-Identifier: ISC
// The panel's layout as the artwork draws it: the editor's table of controls
// (places, bitmaps, parameters and where their legends go), the five
// sections, and the fixed areas of the panel.
#pragma once

#include <string>
#include <vector>

#include "editor/panel_ids.h"
#include "editor/panel_layout.h"
#include "image.h"

struct PanelSection {
  const char* title;
  int left, right;
};

// The editor's controls that sit on the panel's face, in the editor's order.
const std::vector<PanelControl>& faceControls();
const std::vector<PanelSection>& panelSections();

Rect controlRect(const PanelControl& control);
constexpr Rect rectOf(const PanelArea& a) { return {double(a.x), double(a.y), double(a.w), double(a.h)}; }

namespace Panel {
constexpr int kWidth = kEditorWidth, kHeight = kEditorHeight;
constexpr int kCheek = 40;        // the wooden end cheeks beside the panel
constexpr int kCheekAtKeys = 24;  // narrower beside the keyboard, whose keys reach x = 1924
constexpr int kPanelFront = 590;  // the control panel's front edge
constexpr int kKeyBedTop = 596;   // where the recess behind the keys starts
constexpr int kKeyBedLeft = 256;
constexpr int kTitleBand = 500;  // the middle of the section titles
constexpr Rect kMessageStrip = rectOf(PanelAreas::kMessageStrip);
constexpr Rect kOptionsZone = rectOf(PanelAreas::kOptionsZone);
constexpr Rect kNameplate = rectOf(PanelAreas::kNameplate);
constexpr int kWheelTravel = PanelAreas::kWheelTravel;
}  // namespace Panel
