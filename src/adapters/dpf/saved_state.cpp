// SPDX-License-Identifier: ISC
#include "adapters/dpf/saved_state.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kProgram = "__dpf_program__";
constexpr const char* kStateBegin = "__dpf_state_begin__";
constexpr const char* kStateEnd = "__dpf_state_end__";
constexpr const char* kParametersBegin = "__dpf_parameters_begin__";
constexpr const char* kParametersEnd = "__dpf_parameters_end__";

bool isMarker(const std::string& text) {
  return text == kProgram || text == kStateBegin || text == kStateEnd || text == kParametersBegin ||
         text == kParametersEnd;
}

// Splits the bytes into their texts up to the end byte; false when a text is
// cut off or the end byte never comes.
bool splitTexts(const uint8_t* bytes, size_t size, std::vector<std::string>& texts) {
  size_t at = 0;
  while (at < size) {
    if (bytes[at] == 0xFE) return true;
    const void* end = std::memchr(bytes + at, 0, size - at);
    if (!end) return false;
    const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - (bytes + at));
    texts.emplace_back(reinterpret_cast<const char*>(bytes + at), length);
    at += length + 1;
  }
  return false;
}

template <typename Pairs>
bool hasKey(const Pairs& pairs, const std::string& key) {
  for (const auto& pair : pairs)
    if (pair.first == key) return true;
  return false;
}

int base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

const std::string* SavedState::entry(const char* key) const {
  for (const auto& pair : entries)
    if (pair.first == key) return &pair.second;
  return nullptr;
}

bool readStateNumber(const char* text, double& value) {
  if (!text || !*text || std::strchr(" \t\n\v\f\r", *text)) return false;
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  if (!c) return false;
  char* end = nullptr;
  const double parsed = strtod_l(text, &end, c);
  if (end == text || *end != '\0' || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool decodeBase64Strictly(const std::string& text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t at = 0; at < text.size(); at += 4) {
    const bool last = at + 4 == text.size();
    int padding = 0;
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      const char c = text[at + k];
      if (c == '=' && last && k >= 2 && (k == 3 || text[at + 3] == '=')) {
        ++padding;
        group <<= 6;
        continue;
      }
      const int digit = base64Digit(c);
      if (digit < 0 || padding > 0) return false;
      group = group << 6 | static_cast<uint32_t>(digit);
    }
    // Bits the padding leaves unused are zero in what the encoder writes.
    if ((padding == 1 && (group & 0xFF)) || (padding == 2 && (group & 0xFFFF))) return false;
    bytes.push_back(static_cast<uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<uint8_t>(group));
  }
  return true;
}

bool readSavedState(const uint8_t* bytes, size_t size, SavedState& state) {
  state = SavedState();
  std::vector<std::string> texts;
  if (!bytes || !splitTexts(bytes, size, texts)) return false;
  enum class Place { start, between, entries, parameters, done } place = Place::start;
  bool hadEntries = false;
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string& text = texts[i];
    if (text == kProgram) {
      double number = 0;
      if (place != Place::start || i + 1 >= texts.size() || !readStateNumber(texts[i + 1].c_str(), number) ||
          number < 0 || number > 0xFFFFFFFF || number != std::floor(number))
        return false;
      state.hasProgram = true;
      state.program = static_cast<uint32_t>(number);
      place = Place::between;
      ++i;
    } else if (text == kStateBegin) {
      if ((place != Place::start && place != Place::between) || hadEntries) return false;
      place = Place::entries;
      hadEntries = true;
    } else if (text == kStateEnd) {
      if (place != Place::entries) return false;
      place = Place::between;
    } else if (text == kParametersBegin) {
      if (place != Place::start && place != Place::between) return false;
      place = Place::parameters;
    } else if (text == kParametersEnd) {
      if (place != Place::parameters) return false;
      place = Place::done;
    } else if (place == Place::entries || place == Place::parameters) {
      // A key and its value; neither may be a marker, the key not empty.
      if (text.empty() || i + 1 >= texts.size() || isMarker(texts[i + 1])) return false;
      const std::string& value = texts[++i];
      if (place == Place::entries) {
        if (hasKey(state.entries, text)) return false;
        state.entries.emplace_back(text, value);
      } else {
        double number = 0;
        if (hasKey(state.parameters, text) || !readStateNumber(value.c_str(), number)) return false;
        state.parameters.emplace_back(text, number);
      }
    } else {
      return false;  // a key outside any section, or anything after the parameters
    }
  }
  return place != Place::entries && place != Place::parameters && !texts.empty();
}
