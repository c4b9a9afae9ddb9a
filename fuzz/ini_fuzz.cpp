// SPDX-License-Identifier: ISC
// libFuzzer target for the INI profile store: any file must read as sorted,
// unrepeated names and values that fit the caller's buffers, and must read
// the same after the store has written it out again. The store keeps its
// files in memory here: the same parsing, cache and write-back as on disk,
// without the system calls that made each run many times slower.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/swell_ini.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

constexpr const char* kPath = "/memory/fuzz.ini";

int lower(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? u + 32 : u;
}

bool lessNoCase(std::string_view a, std::string_view b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]);
  return a.size() < b.size();
}

// The texts of a list the store wrote into `buffer`, as views into it,
// checked to end inside the `used` + 1 bytes the call said it wrote.
const std::vector<std::string_view>& listIn(const std::vector<char>& buffer, int used,
                                            std::vector<std::string_view>& items) {
  check(used >= 0 && static_cast<size_t>(used) < buffer.size() && buffer[used] == '\0');
  check(used == 0 || buffer[used - 1] == '\0');
  items.clear();
  for (int i = 0; i < used;) {
    items.emplace_back(buffer.data() + i);
    check(!items.back().empty());
    i += static_cast<int>(items.back().size()) + 1;
  }
  return items;
}

void checkSortedNames(const std::vector<std::string_view>& names) {
  for (size_t i = 1; i < names.size(); ++i) check(lessNoCase(names[i - 1], names[i]));
}

// What a reader is given for a stored value.
std::string_view readable(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'')) v = v.substr(1, v.size() - 2);
  return v;
}

struct Section {
  std::string name;
  std::vector<std::string> entries;  // "key=value", values as stored
  bool operator==(const Section&) const = default;
};

// Buffers kept from run to run: the checks themselves should cost little
// beside the store.
struct Buffers {
  std::vector<char> names, keys, entries, value;
  std::vector<std::string_view> nameList, keyList, entryList;
  std::vector<unsigned char> bytes;
};

// Everything the store reads from `file`, checked on the way. With
// `everyKey`, each key is also read alone, as a number and as a struct; a
// file the store wrote itself needs only its lists compared with the input's.
std::vector<Section> readAll(const char* file, size_t capacity, bool everyKey) {
  static Buffers b;
  for (std::vector<char>* buffer : {&b.names, &b.keys, &b.entries, &b.value}) buffer->resize(capacity);
  const int size = static_cast<int>(capacity);
  const int used = GetPrivateProfileString(nullptr, nullptr, nullptr, b.names.data(), size, file);
  check(used < size - 2);  // the buffer is large enough for the whole list
  checkSortedNames(listIn(b.names, used, b.nameList));
  std::vector<Section> sections(b.nameList.size());
  for (size_t i = 0; i < sections.size(); ++i) {
    Section& s = sections[i];
    s.name = b.nameList[i];
    const char* section = s.name.c_str();
    const int keysUsed = GetPrivateProfileString(section, nullptr, nullptr, b.keys.data(), size, file);
    checkSortedNames(listIn(b.keys, keysUsed, b.keyList));
    const int entriesUsed = GetPrivateProfileSection(section, b.entries.data(), size, file);
    check(entriesUsed < size - 2);
    listIn(b.entries, entriesUsed, b.entryList);
    check(b.entryList.size() == b.keyList.size());
    s.entries.assign(b.entryList.begin(), b.entryList.end());
    for (size_t k = 0; k < b.keyList.size(); ++k) {
      const std::string_view key = b.keyList[k], entry = b.entryList[k];
      check(key.find('=') == std::string_view::npos);
      check(entry.size() > key.size() && entry.substr(0, key.size()) == key && entry[key.size()] == '=');
      if (!everyKey) continue;
      const std::string_view expected = readable(entry.substr(key.size() + 1));

      const char* keyText = key.data();  // zero-terminated in the list
      char* value = b.value.data();
      const int n = GetPrivateProfileString(section, keyText, "?", value, size, file);
      check(n == static_cast<int>(std::strlen(value)) && value == expected);
      char small[3];
      const int m = GetPrivateProfileString(section, keyText, "?", small, sizeof small, file);
      check(m == static_cast<int>(std::min<size_t>(expected.size(), 2)) && expected.substr(0, m) == small);

      GetPrivateProfileInt(section, keyText, -1, file);
      if (expected.size() >= 2) {
        b.bytes.resize(expected.size() / 2);
        GetPrivateProfileStruct(section, keyText, b.bytes.data(), static_cast<int>(b.bytes.size()) - 1, file);
      }
    }
  }
  return sections;
}

bool hasControlCharacter(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7f) return true;
  return false;
}

// Whether the store will write this section back as it is.
bool writable(const Section& s) {
  if (hasControlCharacter(s.name) || s.name.find(']') != std::string::npos) return false;
  for (const std::string& e : s.entries)
    if (hasControlCharacter(e) || e[0] == '[') return false;
  return true;
}

}  // namespace

// Empties the store's cache and its files in memory, so that each run frees
// what it allocated (libFuzzer otherwise checks every run for a leak).
void forget() { swellIniKeepFilesInMemoryForTests(true); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  swellIniKeepFilesInMemoryForTests(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A new version of the file: the store parses it again, as it would a file
  // changed on disk.
  swellIniSetMemoryFileForTests(kPath, reinterpret_cast<const char*>(data), size);
  const size_t capacity = size + 16;
  const std::vector<Section> before = readAll(kPath, capacity, true);
  if (before.empty()) {
    forget();
    return 0;
  }

  // Rewrite the file by giving the first section its own entries again; the
  // file written must read exactly as the input did.
  std::string list;
  for (const std::string& e : before[0].entries) {
    if (e.size() > 8191) {  // longer entries are cut on writing
      forget();
      return 0;
    }
    list += e;
    list += '\0';
  }
  list += '\0';
  // The store refuses to write what would change the file's structure (a
  // control character, a ']' in the section's name, a key starting with
  // '['); such an input may still have been read. Written or refused, the
  // file must read as before.
  const bool written = WritePrivateProfileSection(before[0].name.c_str(), list.c_str(), kPath);
  if (!written) check(!writable(before[0]));
  swellIniResetCacheForTests();  // so that what was written is parsed anew
  check(readAll(kPath, capacity, false) == before);
  forget();
  return 0;
}
