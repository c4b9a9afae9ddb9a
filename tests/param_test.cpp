// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <cmath>

#include "framework/param.h"

TEST(ListParam, StepsClampsAndShowsItsTexts) {
  IParam p;
  p.InitEnum("Osc-1 Range", 2, {"LO", "32'", "16'", "8'", "4'", "2'"});
  EXPECT_EQ(p.Type(), IParam::kTypeEnum);
  EXPECT_TRUE(p.GetStepped());
  EXPECT_EQ(p.Value(), 2);
  p.Set(2.4);
  EXPECT_EQ(p.Value(), 2);
  p.Set(2.6);
  EXPECT_EQ(p.Value(), 3);
  p.Set(99);
  EXPECT_EQ(p.Value(), 5);
  p.Set(-3);
  EXPECT_EQ(p.Value(), 0);
  p.Set(std::nan(""));
  EXPECT_EQ(p.Value(), 0);
  WDL_String text;
  p.Set(3);
  p.GetDisplay(text);
  EXPECT_STREQ(text.Get(), "8'");
  EXPECT_DOUBLE_EQ(p.GetNormalized(), 0.6);
  p.SetNormalized(0.95);
  EXPECT_EQ(p.Value(), 5);
  EXPECT_EQ(p.GetDisplayText(6), nullptr);
}

TEST(ContinuousParam, NotSteppedButShownWithTheStepsDecimals) {
  IParam p;
  p.InitDouble("Tune", 0, -2.5, 2.5, 0.001);
  EXPECT_FALSE(p.GetStepped());
  p.Set(1.23456);
  EXPECT_EQ(p.Value(), 1.23456);
  WDL_String text;
  p.GetDisplay(text);
  EXPECT_STREQ(text.Get(), "1.235");
  p.Set(7.0);
  EXPECT_EQ(p.Value(), 2.5);
  p.Set(-0.0001);
  p.GetDisplay(text);
  EXPECT_STREQ(text.Get(), "0.000");
  EXPECT_DOUBLE_EQ(p.ToNormalized(0), 0.5);
}

TEST(ContinuousParam, PowerShape) {
  IParam p;
  p.InitDouble("Glide Time", 0, 0, 1, 0.01, 0, IParam::ShapePowCurve(4));
  EXPECT_DOUBLE_EQ(p.FromNormalized(0.5), 0.0625);
  p.SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.Value(), 0.0625);
  EXPECT_DOUBLE_EQ(p.GetNormalized(), 0.5);
  p.Set(1);
  EXPECT_EQ(p.GetNormalized(), 1.0);
}

TEST(ContinuousParam, ParsesNumbersAndListTexts) {
  IParam list;
  list.InitEnum("Osc-1 Waveform", 2, {"Triangular", "Square"});
  double v = -1;
  EXPECT_TRUE(list.ParseDisplay("square", v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(list.ParseDisplay("0", v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(list.ParseDisplay("Sine", v));
  IParam knob;
  knob.InitDouble("Cutoff", 1, 0, 1, 0.01);
  EXPECT_TRUE(knob.ParseDisplay("0.4", v));
  EXPECT_EQ(v, 0.4);
  EXPECT_FALSE(knob.ParseDisplay("0.4x", v));
  EXPECT_FALSE(knob.ParseDisplay("", v));
  EXPECT_FALSE(knob.ParseDisplay("nan", v));
}
