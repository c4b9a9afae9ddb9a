// SPDX-License-Identifier: ISC
// LV2 port symbols from display names: lower case, each run of characters
// other than a-z and 0-9 becomes one '_', none at either end
// ("Osc-1 Range" -> osc_1_range). Frozen: saved sessions use them.
#pragma once

#include <string>

inline std::string lv2Symbol(const std::string& name) {
  std::string out;
  bool pending = false;
  for (char c : name) {
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) {
      if (pending && !out.empty()) out += '_';
      pending = false;
      out += lower;
    } else {
      pending = true;
    }
  }
  return out;
}
