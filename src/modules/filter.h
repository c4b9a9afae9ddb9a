// SPDX-License-Identifier: ISC
// The auxiliary filters: biquad low-, high- and band-pass with a fixed Q, a
// one-pole low-pass, and the rational soft clipper shared with the ladder
// filter and the output stage.
#pragma once

class Filter {
 public:
  Filter() = default;
  virtual ~Filter() = default;

  // One output sample. The biquad routine; LowPass6dB has its own.
  virtual double process(double x);
  virtual void calculateCoefficients() = 0;

  // Resets the history; the owner sets the frequency afterwards.
  void setSampleRate(double rate);
  // Recomputes the coefficients only when the frequency really changes.
  void setFrequency(double f);

  // The biquad routine without the not-a-number guards: the same result as
  // process() whenever no history value is a not-a-number. For hot loops
  // that have checked the history (see hasNaNState).
  double processUnguarded(double x);
  bool hasNaNState() const { return x1 != x1 || x2 != x2 || y1 != y1 || y2 != y2; }

  // -1 below -3, +1 above 3, otherwise v(v^2 + 27) / (9v^2 + 27).
  static double softClip(double v) {
    if (v < -3) return -1;
    if (v > 3) return 1;
    return v * (v * v + 27) / (9 * v * v + 27);
  }

  double frequency = 0;
  double q = 0.7071067811865476;
  double feedback1 = 0;
  double feedback2 = 0;
  double gain0 = 0;
  double gain1 = 0;
  double x1 = 0, x2 = 0;
  double y1 = 0, y2 = 0;
  double sampleRate = 44100;
  double antiDenormal = 1e-13;

 protected:
  // The biquad values shared by all three types: w, sin w, cos w, alpha and a0.
  struct Biquad {
    double s, c, alpha, a0;
  };
  Biquad biquadTerms() const;
};

// A biquad's coefficients and history as a plain value, for a loop that
// runs one filter over many samples: the compiler keeps it in registers.
// `storeInto` writes the history back. Its step is the biquad routine
// without the not-a-number guards.
struct BiquadRun {
  explicit BiquadRun(const Filter& f)
      : gain0(f.gain0), gain1(f.gain1), feedback1(f.feedback1), feedback2(f.feedback2), x1(f.x1), x2(f.x2),
        y1(f.y1), y2(f.y2), antiDenormal(f.antiDenormal) {}
  double process(double x) {
    const double d = antiDenormal;
    antiDenormal = -d;
    const double px1 = x1 - d, px2 = x2 - d, py1 = y1 - d, py2 = y2 - d;
    const double y = gain0 * (x + px2) + gain1 * px1 + feedback1 * py1 + feedback2 * py2;
    x2 = px1;
    x1 = x;
    y2 = py1;
    y1 = y;
    return y;
  }
  void storeInto(Filter& f) const {
    f.x1 = x1;
    f.x2 = x2;
    f.y1 = y1;
    f.y2 = y2;
    f.antiDenormal = antiDenormal;
  }
  double gain0, gain1, feedback1, feedback2, x1, x2, y1, y2, antiDenormal;
};

inline double Filter::processUnguarded(double x) {
  BiquadRun run(*this);
  const double y = run.process(x);
  run.storeInto(*this);
  return y;
}

// Second-order low-pass (Butterworth at the fixed Q).
class LowPass : public Filter {
 public:
  void calculateCoefficients() override;
};

// Second-order high-pass (Butterworth at the fixed Q).
class HighPass : public Filter {
 public:
  void calculateCoefficients() override;
};

// Shares the biquad routine, so its x[n-2] coefficient is +alpha/a0: zeros at a
// quarter of the sample rate, and gain rather than attenuation below the centre.
// That colouring is part of the instrument's hum and noise sound.
class BandPass : public Filter {
 public:
  void calculateCoefficients() override;
};

// First-order trapezoidal low-pass: gain0 is its gain G, feedback1 its state
// factor A and y1 its integrator state.
class LowPass6dB : public Filter {
 public:
  double process(double x) override;
  // process() without the guard, for a history that is known to be a number.
  double processUnguarded(double x);
  void calculateCoefficients() override;
};

// The one-pole low-pass as a plain value, like BiquadRun.
struct OnePoleRun {
  explicit OnePoleRun(const Filter& f) : gain(f.gain0), factor(f.feedback1), state(f.y1), antiDenormal(f.antiDenormal) {}
  double process(double x) {
    const double d = antiDenormal;
    antiDenormal = -d;
    const double v = gain * x;
    const double y = v + (state - d);
    state = v - factor * y;
    return y;
  }
  void storeInto(Filter& f) const {
    f.y1 = state;
    f.antiDenormal = antiDenormal;
  }
  double gain, factor, state, antiDenormal;
};

inline double LowPass6dB::processUnguarded(double x) {
  OnePoleRun run(*this);
  const double y = run.process(x);
  run.storeInto(*this);
  return y;
}
