// SPDX-License-Identifier: ISC
// The state the CLAP and VST3 builds hand their hosts, read back whole and
// checked before any of it is applied. It is a run of NUL-terminated texts:
//   ["__dpf_program__" N]
//   ["__dpf_state_begin__" (key value)* "__dpf_state_end__"]
//   ["__dpf_parameters_begin__" (symbol number)* "__dpf_parameters_end__"]
// and then the byte 0xFE. A text cut off, a marker out of place or twice, a
// key outside a section or given twice, a number that is not all number, or
// anything after the parameters but the end byte, and the whole state is
// refused: a load then changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

struct SavedState {
  bool hasProgram = false;
  uint32_t program = 0;
  std::vector<std::pair<std::string, std::string>> entries;  // the state section
  std::vector<std::pair<std::string, double>> parameters;    // symbol, plain value
  const std::string* entry(const char* key) const;
};

// The most a state may hold; a host stream that runs on past it is refused.
constexpr size_t kLongestSavedState = size_t{1} << 22;

// True when `bytes` hold a well-formed state (up to its end byte; what follows
// that is not read), filled into `state`.
bool readSavedState(const uint8_t* bytes, size_t size, SavedState& state);

// Reads a host stream, `read(buffer, capacity)` returning the bytes read (0 at
// the end, negative on failure), up to and with the state's end byte. False
// when the stream fails, ends before the end byte or runs past the limit.
template <typename Read>
bool gatherSavedState(Read read, std::vector<uint8_t>& bytes) {
  bytes.clear();
  uint8_t buffer[512];
  for (;;) {
    const long got = read(buffer, sizeof buffer);
    if (got <= 0 || static_cast<size_t>(got) > sizeof buffer) return false;
    size_t at = bytes.size();
    bytes.insert(bytes.end(), buffer, buffer + got);
    // The end byte only counts where a text would begin.
    while (const void* hit = std::memchr(bytes.data() + at, 0xFE, bytes.size() - at)) {
      const size_t end = static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes.data());
      if (end == 0 || bytes[end - 1] == 0) {
        bytes.resize(end + 1);
        return true;
      }
      at = end + 1;
    }
    if (bytes.size() > kLongestSavedState) return false;
  }
}

// Standard base64 with padding and nothing else (no spaces, no line breaks,
// unused bits zero), as the state's "chunk" is written; false otherwise.
bool decodeBase64Strictly(const std::string& text, std::vector<uint8_t>& bytes);

// A number written in the C locale, all of the text and finite.
bool readStateNumber(const char* text, double& value);
