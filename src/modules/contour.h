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
    Run run(*this);
    int j = 0;
    while (j < n) {
      out[j++] = run.step();
      if (untilOff && !run.isOn()) break;
    }
    run.storeInto();
    return j;
  }

  // The contour as a plain value, for a loop that steps it (the compiler
  // keeps it in registers, and the steps of two contours overlap);
  // `storeInto` writes it back.
  class Run {
   public:
    explicit Run(Contour& c) : owner(c), v(c.value), t(c.target), k(c.coefficient), s(c.state) {}
    double step() {
      if (s > kOff) {
        v = v + (t - v) * k;
        if (s == kDecay || s == kRelease) {
          if (v <= 0) {
            v = 0;
            s = kOff;
          }
        } else if (s == kAttack && v >= 1.0) {
          owner.enterDecay();
          v = owner.value;
          s = owner.state;
          t = owner.target;
          k = owner.coefficient;
        }
      }
      return v;
    }
    bool isOn() const { return s != kOff; }
    void storeInto() const {
      owner.value = v;
      owner.state = s;
    }

   private:
    Contour& owner;
    double v, t, k;
    int32_t s;
  };
  bool isOn() const { return state != kOff; }
  // True in the attack, and in a decay toward a sustain of at least 0.001:
  // every step then stays above 0 (the attack rises, and a decay moves
  // toward its level), so only a release can end the contour.
  bool cannotEndBeforeRelease() const { return (state == kAttack || state == kDecay) && sustain >= kLowestHeldSustain; }
  static constexpr double kLowestHeldSustain = 0.001;
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
