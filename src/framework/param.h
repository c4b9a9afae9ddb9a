// SPDX-License-Identifier: ISC
// IParam: one host-visible parameter. A list parameter holds an index with a
// text per value; a continuous one holds a real value with a shape that maps
// it to the host's normalized 0..1. The value is stored atomically, so the
// audio thread may read it while another thread sets it.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "framework/wdl_string.h"

class IParam {
 public:
  enum EParamType { kTypeNone, kTypeEnum, kTypeDouble };
  enum EFlags { kFlagsNone = 0, kFlagStepped = 1 };
  enum EShape { kShapeLinear, kShapePower };

  // Shape of a continuous parameter: linear, or a power curve value = n^exponent.
  struct Shape {
    EShape kind = kShapeLinear;
    double exponent = 1;
  };
  static Shape ShapeLinear() { return {}; }
  static Shape ShapePowCurve(double exponent) { return {kShapePower, exponent}; }

  IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // A list of texts; values 0..n-1, step 1, stepped.
  void InitEnum(const char* name, int defaultValue, const std::vector<std::string>& texts, int flags = 0);
  // A real value; displayed with as many decimals as the step has.
  void InitDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                  int flags = 0, Shape shape = ShapeLinear());

  double Value() const { return mValue.load(std::memory_order_relaxed); }

  // Rounds to the step if stepped, clamps to the range, stores.
  void Set(double plainValue) { mValue.store(Constrain(plainValue), std::memory_order_relaxed); }
  void SetNormalized(double normalized) { Set(FromNormalized(normalized)); }
  void SetToDefault() { Set(mDefault); }

  // Step (when stepped) and range applied; not-a-number gives the minimum.
  double Constrain(double plainValue) const;
  // Plain to 0..1 through the shape, and back; neither clamps.
  double ToNormalized(double plainValue) const;
  double FromNormalized(double normalized) const;
  // The current value constrained, through the shape, clamped to 0..1.
  double GetNormalized() const;

  EParamType Type() const { return mType; }
  const char* GetName() const { return mName.c_str(); }
  double GetDefault(bool normalized = false) const;
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  bool GetStepped() const { return (mFlags & kFlagStepped) != 0; }
  int GetDisplayPrecision() const { return mDisplayPrecision; }

  int NDisplayTexts() const { return static_cast<int>(mTexts.size()); }
  // The text of a list value, or nullptr when there is none.
  const char* GetDisplayText(int value) const;

  // The value as the host shows it: a list text, or a number with the step's decimals.
  void GetDisplay(WDL_String& display) const { GetDisplay(Value(), false, display); }
  void GetDisplay(double value, bool normalized, WDL_String& display) const;

  // Parses a list text (case-insensitive) or a number into a plain value;
  // false when the text is neither.
  bool ParseDisplay(const char* text, double& plainValue) const;

 private:
  static int decimalsOf(double step);

  EParamType mType = kTypeNone;
  std::string mName;
  std::vector<std::string> mTexts;
  double mMin = 0, mMax = 1, mStep = 1, mDefault = 0;
  int mFlags = 0;
  int mDisplayPrecision = 0;
  Shape mShape;
  std::atomic<double> mValue{0};
};
