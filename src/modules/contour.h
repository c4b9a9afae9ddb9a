// SPDX-License-Identifier: ISC
// Contour: attack, decay to sustain, and release, each an exponential approach
// to a target. Knob values 0..1 map to 90 % times of 5 ms to about 158 s.
// `update` is called at a fixed rate (per sample, or per control slice); the
// rate is given by `setSampleRate`.
#pragma once

#include <cstdint>

class Contour {
 public:
  enum State : int32_t { kOff = 0, kAttack = 1, kDecay = 2, kRelease = 3 };

  Contour() = default;

  void setSampleRate(double rate);
  void setAttack(double v);
  void setDecay(double v);
  void setSustain(double v);
  void setRelease(bool on);
  // Enters the attack from the present level, unless attack or decay is running.
  void start();
  // Enters the release from any state.
  void stop();
  // One step of the contour.
  void update() {
    double v;
    render(&v, 1, false);
  }
  // n steps, with the value after each in out[j]. With `untilOff` it stops
  // after the step that ends the contour; returns the number of steps taken.
  int render(double* out, int n, bool untilOff) {
    // Locals, not members: out may point anywhere, and the loop then keeps
    // value, target and coefficient in registers.
    double v = value, t = target, c = coefficient;
    int32_t s = state;
    int j = 0;
    while (j < n) {
      if (s > kOff) {
        v = v + (t - v) * c;
        if (s == kDecay || s == kRelease) {
          if (v <= 0) {
            v = 0;
            s = kOff;
          }
        } else if (s == kAttack && v >= 1.0) {
          enterDecay();
          v = value;
          s = state;
          t = target;
          c = coefficient;
        }
      }
      out[j++] = v;
      if (untilOff && s == kOff) break;
    }
    value = v;
    state = s;
    return j;
  }
  bool isOn() const { return state != kOff; }
  void reset();

  // Fraction of the remaining distance covered per update for knob value v.
  double coefficientFor(double v) const;

  double value = 0;
  double attack = 0;
  double decay = 0;
  double sustain = 0;
  double release = 0.01;
  int32_t state = kOff;
  bool releaseOn = false;
  double timeBase = 0.002302585092994046;  // ln 10 / 1000: an update rate of 1000 Hz
  double coefficient = 0;
  double target = 0;

 private:
  void enterDecay();

 public:
  static constexpr double kFastRelease = 0.01;
  static constexpr double kAttackTarget = 1.1111111111111112;    // 10/9
  static constexpr double kReleaseTarget = -0.1111111111111111;  // -1/9
};
