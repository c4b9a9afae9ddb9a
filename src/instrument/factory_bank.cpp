// SPDX-License-Identifier: ISC
#include "instrument/factory_bank.h"

#include <cctype>

namespace {

constexpr FactoryProgram kBank[] = {
#include "factory_bank_table.inc"
};

bool sameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

namespace FactoryBank {

int count() { return static_cast<int>(sizeof kBank / sizeof kBank[0]); }

const FactoryProgram& program(int index) { return kBank[index]; }

int find(std::string_view name) {
  for (int i = 0; i < count(); ++i)
    if (sameLetters(name, kBank[i].name)) return i;
  return -1;
}

}  // namespace FactoryBank
