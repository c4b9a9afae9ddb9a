// SPDX-License-Identifier: ISC
#include "modules/contour.h"

#include <cmath>

double Contour::coefficientFor(double v) const { return std::pow(10.0, 2.3 - 4.5 * v) * timeBase; }

void Contour::setSampleRate(double rate) {
  timeBase = 2.302585092994046 / rate;
  state = kOff;
  value = 0;
}

void Contour::setAttack(double v) {
  attack = v;
  if (state == kAttack) coefficient = coefficientFor(v);
}

void Contour::setDecay(double v) {
  decay = v;
  release = releaseOn ? v : kFastRelease;
  if (state == kRelease) coefficient = coefficientFor(release);
  if (state == kDecay) coefficient = coefficientFor(decay);
}

void Contour::setSustain(double v) {
  sustain = v;
  if (state == kDecay) target = v;
}

void Contour::setRelease(bool on) {
  releaseOn = on;
  release = on ? decay : kFastRelease;
  if (state == kRelease) coefficient = coefficientFor(release);
}

void Contour::start() {
  if (state == kAttack || state == kDecay) return;
  state = kAttack;
  target = kAttackTarget;
  coefficient = coefficientFor(attack);
}

void Contour::stop() {
  state = kRelease;
  target = kReleaseTarget;
  coefficient = coefficientFor(release);
}

void Contour::enterDecay() {
  value = 1.0;
  state = kDecay;
  coefficient = coefficientFor(decay);
  target = sustain;
}

void Contour::reset() {
  state = kOff;
  value = 0;
}
