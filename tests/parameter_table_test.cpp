// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <string>

#include "framework/plugin_base.h"
#include "instrument/wobblytone_config.h"
#include "instrument/wobblytone_param.h"

namespace {

// Just the parameter objects, declared from the table.
class ParameterHolder : public IPluginBase {
 public:
  ParameterHolder() : IPluginBase({}, Properties::wobblytoneConfig()) { declareParameters(*this); }
  void ProcessBlock(double**, double**, int) override {}
};

std::string display(const IParam* p) {
  WDL_String text;
  p->GetDisplay(text);
  return text.Get();
}

}  // namespace

TEST(ParameterTable, FortySixNamedParametersInIndexOrder) {
  ParameterHolder plugin;
  ASSERT_EQ(plugin.NParams(), 46);
  const char* names[] = {"Power", "Voltage", "Fuse", "Warm-Up", "Volume", "Main Out", "A-440", "Oversample",
                         "Tune", "Glide", "Glide Time", "Decay", "Mod. Mix", "Osc. Mod", "Osc-1 Range",
                         "Osc-1 Waveform", "Osc-2 Range", "Osc-2 Frequency", "Osc-2 Waveform", "Osc-3 Range",
                         "Osc-3 Frequency", "Osc-3 Waveform", "Osc-3 Control", "Osc-1", "Osc-2", "Osc-3",
                         "External Input", "Noise", "Osc-1 Volume", "Osc-2 Volume", "Osc-3 Volume",
                         "External Input Volume", "Noise Volume", "Noise Type", "Filter Mod.", "Filter Control 1",
                         "Filter Control 2", "Cutoff", "Emphasis", "Amount Of Contour", "Filter Attack",
                         "Filter Decay", "Filter Sustain", "Loudness Attack", "Loudness Decay", "Loudness Sustain"};
  for (int i = 0; i < 46; ++i) {
    EXPECT_STREQ(plugin.GetParam(i)->GetName(), names[i]) << i;
    EXPECT_EQ(parameterTable()[i].index, i);
  }
}

TEST(ParameterTable, DefaultsFormTheFactorySound) {
  ParameterHolder plugin;
  const struct {
    EParams index;
    const char* shown;
  } expected[] = {
      {kPower, "Off"},          {kVoltage, "110V/60Hz"},       {kFuse, "Intact"},
      {kWarmUp, "Warming Up"},  {kVolume, "0.50"},             {kMainOut, "On"},
      {kOverSample, "x 1"},     {kTune, "0.000"},              {kGlideTime, "0.00"},
      {kOsc1Range, "16'"},      {kOsc2Waveform, "Sawtooth"},   {kOsc3Waveform, "Sawtooth"},
      {kOsc3Control, "On"},     {kOsc1, "On"},                 {kOsc2, "Off"},
      {kOsc3, "Off"},           {kOsc2Frequency, "0.0000"},    {kNoiseType, "White"},
      {kCutoff, "1.00"},        {kLoudnessSustain, "1.00"},    {kNoiseVolume, "0.50"},
      {kExternalInputVolume, "0.50"}, {kFilterSustain, "0.00"},
  };
  for (const auto& e : expected) EXPECT_EQ(display(plugin.GetParam(e.index)), e.shown) << e.index;
  EXPECT_EQ(plugin.GetParam(kOsc3Control)->Value(), 0);
}

TEST(ParameterTable, ListTextsAndRanges) {
  ParameterHolder plugin;
  const IParam* osc3 = plugin.GetParam(kOsc3Waveform);
  EXPECT_STREQ(osc3->GetDisplayText(1), "Reverse Sawtooth");
  EXPECT_STREQ(plugin.GetParam(kOsc1Waveform)->GetDisplayText(1), "Sawtooth-Triangular");
  EXPECT_STREQ(plugin.GetParam(kOsc2Range)->GetDisplayText(0), "LO");
  EXPECT_STREQ(plugin.GetParam(kOsc2Range)->GetDisplayText(5), "2'");
  EXPECT_STREQ(plugin.GetParam(kWarmUp)->GetDisplayText(2), "Warm");
  EXPECT_STREQ(plugin.GetParam(kOverSample)->GetDisplayText(2), "x 0.25");
  EXPECT_EQ(plugin.GetParam(kOsc2Frequency)->GetMin(), -7.5);
  EXPECT_EQ(plugin.GetParam(kTune)->GetMax(), 2.5);
  // Every range holds 0, so a missing value in a short state reads as 0.
  for (int i = 0; i < kNumParams; ++i) {
    EXPECT_LE(plugin.GetParam(i)->GetMin(), 0) << i;
    EXPECT_GE(plugin.GetParam(i)->GetMax(), 0) << i;
  }
}

TEST(ParameterTable, DisplayedDecimalsFollowTheStep) {
  ParameterHolder plugin;
  plugin.GetParam(kTune)->Set(1.5);
  EXPECT_EQ(display(plugin.GetParam(kTune)), "1.500");
  plugin.GetParam(kOsc3Frequency)->Set(-7.25);
  EXPECT_EQ(display(plugin.GetParam(kOsc3Frequency)), "-7.2500");
  plugin.GetParam(kEmphasis)->Set(0.333);
  EXPECT_EQ(display(plugin.GetParam(kEmphasis)), "0.33");
}

TEST(ParameterTable, GlideTimeHasAPowerCurve) {
  ParameterHolder plugin;
  IParam* glide = plugin.GetParam(kGlideTime);
  glide->SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(glide->Value(), 0.0625);
  IParam* volume = plugin.GetParam(kVolume);
  volume->SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(volume->Value(), 0.5);
}

TEST(Declaration, IdentifiesThePlugin) {
  const Config c = Properties::wobblytoneConfig();
  EXPECT_EQ(c.nParams, 46);
  EXPECT_EQ(c.nPresets, 1);
  EXPECT_EQ(c.vendorVersion, 0x080F);
  EXPECT_STREQ(c.uniqueID, "Wbtn");
}
