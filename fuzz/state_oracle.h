// SPDX-License-Identifier: ISC
// What a plug-in's state reader must do with any input, checked through its
// own load and save: a refused state leaves the instance's saved state as it
// was; an accepted one saves and loads again to the same state.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

template <class Load, class Save>
void checkStateLoad(const uint8_t* data, size_t size, Load load, Save save) {
  // The instance's saved state as the last accepted input left it.
  static std::vector<uint8_t> current;
  auto check = [](bool ok) {
    if (!ok) std::abort();
  };
  if (current.empty()) current = save();
  if (!load(data, size)) {
    check(save() == current);
    return;
  }
  current = save();
  check(load(current.data(), current.size()));
  check(save() == current);
}
