// SPDX-License-Identifier: ISC
// The factory bank: the programs the instrument ships with, written into the
// build from programs/factory.bank. A program holds plain values of the 46
// parameters and nothing of the unit (its broken knobs and keys stay).
#pragma once

#include <string_view>

#include "instrument/wobblytone_param.h"

struct FactoryProgram {
  // How a program is played: at an even level (plain), as a sound effect
  // whose level comes and goes, or overdriving the output stage on purpose.
  enum class Kind { plain, effect, overdrive };

  const char* name;
  const char* category;
  const char* about;  // one line: what it is for and how to play it
  Kind kind;
  int lowestNote, highestNote;  // the keys it is made for
  double wheel;                 // where it wants the modulation wheel, 0 … 1
  double values[kNumParams];    // plain values, in parameter order
};

namespace FactoryBank {

int count();
// Program `index`, 0 ≤ index < count().
const FactoryProgram& program(int index);
// The index of the program of this name (letter case ignored), or −1.
int find(std::string_view name);

}  // namespace FactoryBank
