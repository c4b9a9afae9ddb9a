// SPDX-License-Identifier: ISC
// The reader of the CLAP and VST3 state: what it takes, and that anything
// malformed is refused whole.
#include "adapters/dpf/saved_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> stateOf(const std::vector<std::string>& texts, bool ended = true) {
  std::vector<uint8_t> bytes;
  for (const std::string& t : texts) {
    bytes.insert(bytes.end(), t.begin(), t.end());
    bytes.push_back(0);
  }
  if (ended) {
    bytes.push_back(0xFE);
    bytes.push_back(0);
  }
  return bytes;
}

bool reads(const std::vector<std::string>& texts, SavedState* out = nullptr, bool ended = true) {
  const std::vector<uint8_t> bytes = stateOf(texts, ended);
  SavedState state;
  const bool ok = readSavedState(bytes.data(), bytes.size(), state);
  if (out) *out = state;
  return ok;
}

const std::vector<std::string> kWhole = {
    "__dpf_state_begin__", "chunk", "AAEC", "__dpf_state_end__", "__dpf_parameters_begin__",
    "power", "1", "cutoff", "0.31410000", "__dpf_parameters_end__"};

std::vector<std::string> with(std::vector<std::string> texts, size_t at, const std::vector<std::string>& more) {
  texts.insert(texts.begin() + static_cast<long>(at), more.begin(), more.end());
  return texts;
}

}  // namespace

TEST(SavedState, ReadsWhatTheWrappersWrite) {
  SavedState state;
  ASSERT_TRUE(reads(kWhole, &state));
  ASSERT_NE(state.entry("chunk"), nullptr);
  EXPECT_EQ(*state.entry("chunk"), "AAEC");
  EXPECT_EQ(state.entry("other"), nullptr);
  ASSERT_EQ(state.parameters.size(), 2u);
  EXPECT_EQ(state.parameters[1].first, "cutoff");
  EXPECT_EQ(state.parameters[1].second, 0.3141);
  EXPECT_FALSE(state.hasProgram);
  // Each section may be left out, and a program may come first.
  EXPECT_TRUE(reads({"__dpf_state_begin__", "chunk", "", "__dpf_state_end__"}, &state));
  EXPECT_EQ(*state.entry("chunk"), "");
  EXPECT_TRUE(reads({"__dpf_parameters_begin__", "power", "0", "__dpf_parameters_end__"}));
  EXPECT_TRUE(reads(with(kWhole, 0, {"__dpf_program__", "3"}), &state));
  EXPECT_TRUE(state.hasProgram);
  EXPECT_EQ(state.program, 3u);
  // What follows the end byte is not the state's.
  std::vector<uint8_t> bytes = stateOf(kWhole);
  bytes.insert(bytes.end(), {'x', 'y'});
  EXPECT_TRUE(readSavedState(bytes.data(), bytes.size(), state));
}

TEST(SavedState, RefusesMarkersOutOfPlaceAndStrayKeys) {
  const std::vector<std::vector<std::string>> refused = {
      with(kWhole, kWhole.size(), {"__dpf_parameters_end__"}),   // a stray end
      with(kWhole, kWhole.size(), {"__dpf_state_begin__"}),      // a second state after the parameters
      with(kWhole, 4, {"__dpf_state_begin__", "chunk", "AAEC", "__dpf_state_end__"}),  // the state twice
      with(kWhole, 4, {"stray", "1"}),                          // a key between the sections
      with(kWhole, 3, {"__dpf_program__", "1"}),                // a program not first
      with(kWhole, 7, {"power", "0"}),                          // a parameter twice
      with(kWhole, 3, {"chunk", "AAAA"}),                       // an entry twice
      {"__dpf_state_begin__", "chunk", "AAEC"},                 // a section never closed
      {"__dpf_parameters_begin__", "power", "__dpf_parameters_end__"},  // a key without its value
      {"__dpf_parameters_begin__", "", "1", "__dpf_parameters_end__"},  // an empty key
      {},
  };
  for (size_t i = 0; i < refused.size(); ++i) EXPECT_FALSE(reads(refused[i])) << i;
  // Cut off anywhere before its end byte, the state is refused too.
  const std::vector<uint8_t> whole = stateOf(kWhole);
  SavedState state;
  for (size_t n = 0; n + 2 < whole.size(); ++n) EXPECT_FALSE(readSavedState(whole.data(), n, state)) << n;
  EXPECT_FALSE(reads(kWhole, nullptr, false));
}

TEST(SavedState, NumbersAreWholeAndFinite) {
  for (const char* bad : {"", "abc", "1x", " 1", "1 ", "nan", "inf", "-inf", "1e999", "0x"}) {
    EXPECT_FALSE(reads({"__dpf_parameters_begin__", "power", bad, "__dpf_parameters_end__"})) << bad;
    double v = 0;
    EXPECT_FALSE(readStateNumber(bad, v)) << bad;
  }
  for (const char* bad : {"-1", "1.5", "x", "4294967296"})
    EXPECT_FALSE(reads(with(kWhole, 0, {"__dpf_program__", bad}))) << bad;
  double v = 0;
  EXPECT_TRUE(readStateNumber("-2.5e-1", v));
  EXPECT_EQ(v, -0.25);
}

TEST(SavedState, Base64IsReadStrictly) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(decodeBase64Strictly("", bytes));
  EXPECT_TRUE(bytes.empty());
  ASSERT_TRUE(decodeBase64Strictly("AAEC/+8=", bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 1, 2, 0xFF, 0xEF}));
  ASSERT_TRUE(decodeBase64Strictly("AQ==", bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1}));
  for (const char* bad : {"AAE", "AA=C", "A===", "AAEC====", "AA\nEC", "AA EC", "AAE-", "AQ=A", "AR==", "AAF=", "=AAA"})
    EXPECT_FALSE(decodeBase64Strictly(bad, bytes)) << bad;
}

TEST(SavedState, StreamsAreGatheredToTheEndByteAndBounded) {
  const std::vector<uint8_t> whole = stateOf(kWhole);
  size_t at = 0;
  auto trickle = [&](uint8_t* buffer, size_t size) -> long {
    const size_t n = std::min<size_t>({size, 3, whole.size() - at});
    std::copy(whole.begin() + static_cast<long>(at), whole.begin() + static_cast<long>(at + n), buffer);
    at += n;
    return static_cast<long>(n);
  };
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(gatherSavedState(trickle, bytes));
  EXPECT_EQ(bytes.size(), whole.size() - 1);  // up to and with the end byte
  EXPECT_FALSE(gatherSavedState([](uint8_t*, size_t) { return 0L; }, bytes));
  EXPECT_FALSE(gatherSavedState([](uint8_t*, size_t) { return -1L; }, bytes));
  // A stream that never ends stops at the limit.
  size_t given = 0;
  auto endless = [&](uint8_t* buffer, size_t size) -> long {
    std::fill(buffer, buffer + size, 'a');
    given += size;
    return static_cast<long>(size);
  };
  EXPECT_FALSE(gatherSavedState(endless, bytes));
  EXPECT_LE(given, kLongestSavedState + 512);
}
