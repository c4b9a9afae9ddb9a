// SPDX-License-Identifier: ISC
#include "noise.h"

#include <cmath>

uint32_t hash32(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

double latticeValue(int x, int y, uint32_t seed) {
  const uint32_t h =
      hash32(static_cast<uint32_t>(x) * 0x9E3779B1U ^ hash32(static_cast<uint32_t>(y) + seed * 0x85EBCA77U));
  return (h >> 8) * (1.0 / 16777216.0);
}

double valueNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  double tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const double a = latticeValue(ix, iy, seed), b = latticeValue(ix + 1, iy, seed);
  const double c = latticeValue(ix, iy + 1, seed), d = latticeValue(ix + 1, iy + 1, seed);
  const double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

double fractalNoise(double x, double y, int octaves, uint32_t seed) {
  double sum = 0, weight = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += valueNoise(x, y, seed + static_cast<uint32_t>(o) * 131U) * weight;
    total += weight;
    x *= 2;
    y *= 2;
    weight *= 0.5;
  }
  return sum / total;
}
