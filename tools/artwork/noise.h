// SPDX-License-Identifier: ISC
// Deterministic noise for the surface textures: an integer hash, smooth value
// noise and its fractal sum. Nothing here depends on the library's random
// distributions, so every machine draws the same grain.
#pragma once

#include <cstdint>

// A well-mixed 32-bit hash.
uint32_t hash32(uint32_t x);

// A value in [0, 1) for the lattice point (x, y) of texture `seed`.
double latticeValue(int x, int y, uint32_t seed);

// Smoothly interpolated lattice values: [0, 1), one lattice cell per unit.
double valueNoise(double x, double y, uint32_t seed);

// `octaves` layers of value noise, each twice as fine and half as strong,
// normalised to [0, 1).
double fractalNoise(double x, double y, int octaves, uint32_t seed);
