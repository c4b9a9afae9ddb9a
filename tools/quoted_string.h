// SPDX-License-Identifier: ISC
// Text as a double-quoted string with its backslashes and quotes escaped:
// the form that both a C++ literal and a GNU assembler string take, for the
// generators that write them.
#pragma once

#include <string>

inline std::string quotedString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}
