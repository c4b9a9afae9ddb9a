// SPDX-License-Identifier: ISC
// Conversions from double to integer that are defined for every input.
// A plain cast of a not-a-number or out-of-range double is undefined behaviour
// in C++; pitches, offsets and cutoffs that reach the modules from parameters,
// MIDI or modulation go through these instead.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace numeric {

// Truncates toward zero and saturates at the int32 range; not-a-number gives `nanValue`.
inline int32_t truncToInt32(double v, int32_t nanValue = 0) {
  if (std::isnan(v)) return nanValue;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// Adds two int32 values, saturating instead of overflowing.
inline int32_t saturatingAdd(int32_t a, int32_t b) {
  const int64_t sum = static_cast<int64_t>(a) + static_cast<int64_t>(b);
  if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(sum);
}

}  // namespace numeric
