// SPDX-License-Identifier: ISC
// A pop-up menu's contents: items with texts, check marks, separators and
// sub-menus. The graphics context shows it and reports the chosen item back
// to the control that opened it, with the menu the item belongs to.
#pragma once

#include <memory>
#include <string>
#include <vector>

class IPopupMenu {
 public:
  struct Item {
    std::string text;
    bool separator = false;
    bool checked = false;
    bool enabled = true;
    // What the menu's owner does when the item is chosen; -1: nothing.
    int tag = -1;
    std::unique_ptr<IPopupMenu> submenu;
  };

  explicit IPopupMenu(std::string title = "") : mTitle(std::move(title)) {}

  Item& AddItem(const std::string& text) {
    mItems.push_back(std::make_unique<Item>());
    mItems.back()->text = text;
    return *mItems.back();
  }
  // The sub-menu is owned by this menu from now on.
  Item& AddItem(const std::string& text, IPopupMenu* submenu) {
    Item& item = AddItem(text);
    item.submenu.reset(submenu);
    return item;
  }
  void AddSeparator() { AddItem("").separator = true; }
  void RemoveAllItems() { mItems.clear(); }

  int NItems() const { return static_cast<int>(mItems.size()); }
  Item* GetItem(int i) { return i >= 0 && i < NItems() ? mItems[static_cast<size_t>(i)].get() : nullptr; }
  const Item* GetItem(int i) const { return i >= 0 && i < NItems() ? mItems[static_cast<size_t>(i)].get() : nullptr; }
  void CheckItem(int i, bool checked) {
    if (Item* item = GetItem(i)) item->checked = checked;
  }
  // Puts the check mark on item `i` and removes it from all others.
  void CheckItemAlone(int i) {
    for (int k = 0; k < NItems(); ++k) mItems[static_cast<size_t>(k)]->checked = k == i;
  }
  bool IsItemChecked(int i) const { return GetItem(i) && GetItem(i)->checked; }

  const std::string& GetTitle() const { return mTitle; }
  int GetChosenItemIdx() const { return mChosen; }
  void SetChosenItemIdx(int i) { mChosen = i; }

 private:
  std::string mTitle;
  std::vector<std::unique_ptr<Item>> mItems;
  int mChosen = -1;
};
