// SPDX-License-Identifier: ISC
// WDL_String: the framework's growable text, used for paths and configuration values.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

class WDL_String {
 public:
  WDL_String() = default;
  WDL_String(const char* text) { Set(text); }  // NOLINT: implicit like the text it holds

  // Takes at most `maxLength` characters of `text` (all when maxLength <= 0).
  void Set(const char* text, int maxLength = 0) {
    mText.assign(text ? text : "");
    if (maxLength > 0 && static_cast<int>(mText.size()) > maxLength) mText.resize(maxLength);
  }
  void Append(const char* text, int maxLength = 0) {
    WDL_String tail;
    tail.Set(text, maxLength);
    mText += tail.mText;
  }
  // printf-style, at most `maxLength` characters.
  void SetFormatted(int maxLength, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    va_list args;
    va_start(args, format);
    mText = vformat(maxLength, format, args);
    va_end(args);
  }
  void AppendFormatted(int maxLength, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    va_list args;
    va_start(args, format);
    mText += vformat(maxLength, format, args);
    va_end(args);
  }
  void SetLen(int length) { mText.resize(length > 0 ? static_cast<size_t>(length) : 0); }

  const char* Get() const { return mText.c_str(); }
  int GetLength() const { return static_cast<int>(mText.size()); }
  // Writable view of the characters (GetLength() of them, then a terminating zero).
  char* GetWritable() { return mText.data(); }
  const std::string& str() const { return mText; }

 private:
  static std::string vformat(int maxLength, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
    if (maxLength > 0 && static_cast<int>(out.size()) > maxLength) out.resize(maxLength);
    return out;
  }

  std::string mText;
};
