// SPDX-License-Identifier: ISC
#include "toolkit/overlays.h"

#include <algorithm>
#include <sstream>

#include "toolkit/graphics.h"

namespace {

const IColor kMenuBack(245, 38, 36, 34);
const IColor kMenuFrame(255, 120, 110, 96);
const IColor kMenuHighlight(255, 176, 120, 40);
const IColor kMenuText(255, 236, 230, 220);
const IColor kMenuDisabled(255, 130, 126, 120);
const IColor kDim(120, 0, 0, 0);

IText menuText(const MenuStyle& style, EAlign align = EAlign::Near) {
  return IText(style.textSize, kMenuText, "", align, EVAlign::Middle);
}

}  // namespace

// --- pop-up menu

MenuOverlay::MenuOverlay(IGraphics& g, IControl& caller, IPopupMenu& menu, float x, float y)
    : mGraphics(g), mCaller(caller) {
  open(menu, x, y);
}

void MenuOverlay::open(IPopupMenu& menu, float x, float y) {
  float width = 160, height = 2 * 4;
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    height += item->separator ? mStyle.separatorHeight : mStyle.itemHeight;
    if (!item->separator)
      width = std::max(width, mGraphics.MeasureText(menuText(mStyle), item->text.c_str()) + mStyle.checkWidth +
                                  mStyle.arrowWidth + 2 * mStyle.padding);
  }
  // Kept inside the canvas: a menu near the right or bottom edge opens
  // towards the left or upwards.
  const float canvasW = static_cast<float>(mGraphics.Width()), canvasH = static_cast<float>(mGraphics.Height());
  if (x + width > canvasW) x = std::max(0.0f, canvasW - width);
  if (y + height > canvasH) y = std::max(0.0f, canvasH - height);
  mLevels.push_back({&menu, IRECT(x, y, x + width, y + height), -1});
}

float MenuOverlay::itemTop(const Level& level, int item) const {
  float top = level.rect.T + 4;
  for (int i = 0; i < item; ++i)
    top += level.menu->GetItem(i)->separator ? mStyle.separatorHeight : mStyle.itemHeight;
  return top;
}

IRECT MenuOverlay::itemRect(int levelIdx, int item) const {
  if (levelIdx < 0 || levelIdx >= levels()) return {};
  const Level& level = mLevels[static_cast<size_t>(levelIdx)];
  const IPopupMenu::Item* it = level.menu->GetItem(item);
  if (!it) return {};
  const float top = itemTop(level, item);
  return {level.rect.L, top, level.rect.R, top + (it->separator ? mStyle.separatorHeight : mStyle.itemHeight)};
}

int MenuOverlay::itemAt(const Level& level, float x, float y) const {
  if (!level.rect.Contains(x, y)) return -1;
  for (int i = 0; i < level.menu->NItems(); ++i) {
    const float top = itemTop(level, i);
    const IPopupMenu::Item* item = level.menu->GetItem(i);
    const float bottom = top + (item->separator ? mStyle.separatorHeight : mStyle.itemHeight);
    if (y >= top && y < bottom) return item->separator ? -1 : i;
  }
  return -1;
}

void MenuOverlay::mouseMove(float x, float y) {
  for (int l = levels() - 1; l >= 0; --l) {
    Level& level = mLevels[static_cast<size_t>(l)];
    if (!level.rect.Contains(x, y)) continue;
    const int item = itemAt(level, x, y);
    if (item == level.hover) return;
    level.hover = item;
    mLevels.resize(static_cast<size_t>(l) + 1);
    IPopupMenu::Item* it = level.menu->GetItem(item);
    if (it && it->submenu && it->enabled) {
      const IRECT r = itemRect(l, item);
      open(*it->submenu, r.R - 4, r.T - 4);
      // A sub-menu that does not fit on the right opens on the left.
      Level& sub = mLevels.back();
      if (sub.rect.L < r.R - 4) {
        const float w = sub.rect.W();
        sub.rect = IRECT(std::max(0.0f, r.L - w + 4), sub.rect.T, std::max(0.0f, r.L - w + 4) + w, sub.rect.B);
      }
    }
    return;
  }
}

bool MenuOverlay::mouseDown(float x, float y) {
  mouseMove(x, y);
  for (int l = levels() - 1; l >= 0; --l) {
    Level& level = mLevels[static_cast<size_t>(l)];
    if (!level.rect.Contains(x, y)) continue;
    const int item = itemAt(level, x, y);
    IPopupMenu::Item* it = level.menu->GetItem(item);
    if (!it || !it->enabled || it->submenu) return false;  // a sub-menu opens on hover
    level.menu->SetChosenItemIdx(item);
    mCaller.OnPopupMenuSelection(level.menu, item);
    return true;
  }
  mCaller.OnPopupMenuSelection(nullptr, -1);
  return true;
}

IRECT MenuOverlay::area() const {
  IRECT r;
  for (const Level& level : mLevels) r = r.Union(level.rect.GetPadded(8));
  return r;
}

void MenuOverlay::draw(IGraphics& g) const {
  for (int l = 0; l < levels(); ++l) {
    const Level& level = mLevels[static_cast<size_t>(l)];
    g.FillRoundRect(IColor(90, 0, 0, 0), level.rect.GetTranslated(4, 6), 6);
    g.FillRoundRect(kMenuBack, level.rect, 6);
    g.DrawRect(kMenuFrame, level.rect, 1.5f);
    for (int i = 0; i < level.menu->NItems(); ++i) {
      const IPopupMenu::Item* item = level.menu->GetItem(i);
      const IRECT r = itemRect(l, i);
      if (item->separator) {
        g.FillRect(kMenuFrame, IRECT(r.L + mStyle.padding, r.MH() - 1, r.R - mStyle.padding, r.MH() + 1));
        continue;
      }
      if (i == level.hover && item->enabled) g.FillRect(kMenuHighlight, r.GetPadded(-3, 0, -3, 0));
      IText style = menuText(mStyle);
      if (!item->enabled) style.mFGColor = kMenuDisabled;
      if (item->checked) {
        // A check mark drawn as two strokes.
        const float cx = r.L + mStyle.padding + 10, cy = r.MH();
        g.FillTriangle(style.mFGColor, cx - 8, cy, cx - 3, cy + 8, cx - 1, cy + 4);
        g.FillTriangle(style.mFGColor, cx - 3, cy + 8, cx + 10, cy - 9, cx - 1, cy + 4);
      }
      g.DrawText(style, item->text.c_str(),
                 IRECT(r.L + mStyle.padding + mStyle.checkWidth, r.T, r.R - mStyle.arrowWidth, r.B));
      if (item->submenu) {
        const float ax = r.R - mStyle.padding - 4, ay = r.MH();
        g.FillTriangle(style.mFGColor, ax - 8, ay - 8, ax - 8, ay + 8, ax, ay);
      }
    }
  }
}

// --- message box

MessageBoxOverlay::MessageBoxOverlay(IGraphics& g, std::string text, std::string title, EMsgBoxType type,
                                     std::function<void(EMsgBoxResult)> completion)
    : mText(std::move(text)), mTitle(std::move(title)), mType(type), mCompletion(std::move(completion)) {
  const IText body(28, kMenuText);
  float width = 700;
  for (const std::string& line : lines()) width = std::max(width, g.MeasureText(body, line.c_str()) + 80);
  width = std::min(width, static_cast<float>(g.Width()) - 40);
  const float height = 80 + 40 * static_cast<float>(lines().size()) + 100;
  mBox = g.GetBounds().GetCentredInside(width, height);
}

std::vector<std::string> MessageBoxOverlay::lines() const {
  std::vector<std::string> out;
  std::stringstream in(mText);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  if (out.empty()) out.emplace_back();
  return out;
}

std::vector<std::pair<IRECT, EMsgBoxResult>> MessageBoxOverlay::buttons() const {
  const float w = 160, h = 56, y = mBox.B - 24 - h;
  if (mType == EMsgBoxType::OK) return {{IRECT(mBox.MW() - w / 2, y, mBox.MW() + w / 2, y + h), EMsgBoxResult::OK}};
  return {{IRECT(mBox.MW() - w - 16, y, mBox.MW() - 16, y + h), EMsgBoxResult::Yes},
          {IRECT(mBox.MW() + 16, y, mBox.MW() + w + 16, y + h), EMsgBoxResult::No}};
}

bool MessageBoxOverlay::mouseDown(float x, float y, EMsgBoxResult& result) const {
  for (const auto& [rect, answer] : buttons())
    if (rect.Contains(x, y)) {
      result = answer;
      return true;
    }
  return false;
}

void MessageBoxOverlay::draw(IGraphics& g) const {
  g.FillRect(kDim, g.GetBounds());
  g.FillRoundRect(IColor(110, 0, 0, 0), mBox.GetTranslated(6, 10), 12);
  g.FillRoundRect(kMenuBack, mBox, 12);
  g.DrawRect(kMenuFrame, mBox, 2);
  g.DrawText(IText(30, kMenuHighlight, "", EAlign::Center), mTitle.c_str(),
             IRECT(mBox.L, mBox.T + 16, mBox.R, mBox.T + 64));
  const IText body(28, kMenuText, "", EAlign::Center);
  float y = mBox.T + 80;
  for (const std::string& line : lines()) {
    g.DrawText(body, line.c_str(), IRECT(mBox.L + 24, y, mBox.R - 24, y + 40));
    y += 40;
  }
  for (const auto& [rect, answer] : buttons()) {
    g.FillRoundRect(kMenuHighlight, rect, 8);
    const char* label = answer == EMsgBoxResult::OK ? "OK" : answer == EMsgBoxResult::Yes ? "Yes" : "No";
    g.DrawText(IText(28, COLOR_WHITE, "", EAlign::Center), label, rect);
  }
}
