// SPDX-License-Identifier: ISC
#include "framework/param.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

void IParam::InitEnum(const char* name, int defaultValue, const std::vector<std::string>& texts, int flags) {
  mType = kTypeEnum;
  mName = name;
  mTexts = texts;
  mMin = 0;
  mMax = texts.empty() ? 0 : static_cast<double>(texts.size() - 1);
  mStep = 1;
  mFlags = flags | kFlagStepped;
  mShape = ShapeLinear();
  mDisplayPrecision = 0;
  mDefault = Constrain(defaultValue);
  SetToDefault();
}

void IParam::InitDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                        int flags, Shape shape) {
  mType = kTypeDouble;
  mName = name;
  mTexts.clear();
  mMin = minValue;
  mMax = maxValue;
  mStep = step;
  mFlags = flags;
  mShape = shape;
  mDisplayPrecision = decimalsOf(step);
  mDefault = Constrain(defaultValue);
  SetToDefault();
}

int IParam::decimalsOf(double step) {
  int decimals = 0;
  double scaled = std::fabs(step);
  while (decimals < 10 && scaled > 0 && std::fabs(scaled - std::round(scaled)) > 1e-6 * scaled) {
    scaled *= 10;
    ++decimals;
  }
  return decimals;
}

double IParam::Constrain(double v) const {
  if (std::isnan(v)) return mMin;
  if (GetStepped() && mStep > 0) v = std::round(v / mStep) * mStep;
  if (v < mMin) v = mMin;
  if (v > mMax) v = mMax;
  return v;
}

double IParam::ToNormalized(double v) const {
  const double span = mMax - mMin;
  if (!(span > 0)) return 0;
  const double linear = (v - mMin) / span;
  if (mShape.kind == kShapePower) return std::pow(linear < 0 ? 0 : linear, 1.0 / mShape.exponent);
  return linear;
}

double IParam::FromNormalized(double n) const {
  if (mShape.kind == kShapePower) return mMin + (mMax - mMin) * std::pow(n < 0 ? 0 : n, mShape.exponent);
  return mMin + (mMax - mMin) * n;
}

double IParam::GetNormalized() const {
  const double n = ToNormalized(Constrain(Value()));
  if (!(n > 0)) return 0;  // also maps a not-a-number to 0
  return n > 1 ? 1 : n;
}

double IParam::GetDefault(bool normalized) const { return normalized ? ToNormalized(mDefault) : mDefault; }

const char* IParam::GetDisplayText(int value) const {
  if (value < 0 || value >= NDisplayTexts()) return nullptr;
  return mTexts[static_cast<size_t>(value)].c_str();
}

void IParam::GetDisplay(double value, bool normalized, WDL_String& display) const {
  if (normalized) value = FromNormalized(value);
  if (mType == kTypeEnum) {
    if (const char* text = GetDisplayText(static_cast<int>(std::lround(Constrain(value))))) {
      display.Set(text);
      return;
    }
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", mDisplayPrecision, value);
  // "-0.00" reads as a fault to a musician; show zero plainly.
  const bool negativeZero = text[0] == '-' && std::strtod(text, nullptr) == 0;
  display.Set(negativeZero ? text + 1 : text);
}

bool IParam::ParseDisplay(const char* text, double& plainValue) const {
  if (!text) return false;
  for (int i = 0; i < NDisplayTexts(); ++i) {
    if (strcasecmp(text, mTexts[static_cast<size_t>(i)].c_str()) == 0) {
      plainValue = i;
      return true;
    }
  }
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (end == text || errno == ERANGE || std::isnan(v)) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  plainValue = v;
  return true;
}
