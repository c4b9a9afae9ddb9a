// SPDX-License-Identifier: ISC
// The INI profile store: cache of parsed files, parsing, write-back.
#include "platform/swell_ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

const char* g_swell_defini = nullptr;

namespace {

constexpr size_t kMaxProfilePath = 511;
// Text before the first section header beyond this means the file is no
// profile, and reading the rest would be wasted.
constexpr size_t kPreambleLimit = 256 * 1024;
constexpr size_t kMaxLine = 32 * 1024 * 1024;
constexpr size_t kMaxSectionEntry = 8191;
constexpr size_t kMaxTemporaryBase = 1015;
constexpr int kCacheEntries = 32;

struct Key {
  std::string name, value;
};

struct Section {
  std::string name;
  std::vector<Key> keys;  // sorted by name, case-insensitively, no repeats
};

// A header or an entry as found in the text: its names and value as places
// in it, so that reading a file copies each text once, into its final place.
struct Span {
  size_t offset = 0, size = 0;
};
struct FoundKey {
  Span name, value;
};
struct FoundSection {
  Span name;
  size_t firstKey = 0, keys = 0;  // in the list of all keys found
};

// What parsing needs besides the sections it fills, kept between files so
// that reading one allocates little more than its names and values.
struct ParseScratch {
  std::vector<FoundSection> found;
  std::vector<FoundKey> keys;
  std::vector<size_t> order, keyOrder;

  // Lets go of what a large file needed.
  void trim() {
    constexpr size_t kKept = 1024;
    if (found.capacity() > kKept) found = {};
    if (keys.capacity() > kKept) keys = {};
    if (order.capacity() > kKept) order = {};
    if (keyOrder.capacity() > kKept) keyOrder = {};
  }
};

struct Context {
  bool used = false;
  uint64_t stamp = 0;
  // What was read: the file's identity and modification time to the
  // nanosecond, so that a rewrite of the same length within one second is
  // still seen. All zero: there was no regular file to read.
  struct timespec mtime {};
  off_t size = 0;
  ino_t inode = 0;
  dev_t device = 0;
  uint64_t generation = 0;  // of a file kept in memory; 0: none
  std::string path;
  std::vector<Section> sections;  // sorted by name, case-insensitively
};

// Files kept in memory instead of on disk, for the fuzz target: the same
// parsing, cache and write-back without a system call. Each version of a
// file has a generation of its own, as a file on disk has its time and size.
struct MemoryFiles {
  bool on = false;
  uint64_t generation = 0;
  std::map<std::string, std::pair<std::string, uint64_t>> files;
};

struct Store {
  std::recursive_mutex mutex;
  uint64_t counter = 0;
  std::array<Context, kCacheEntries> entries;
  MemoryFiles memory;
  ParseScratch scratch;
};

// Destroyed when the library is unloaded: a plug-in that a host loads and
// unloads again must not leave its cache behind.
Store& store() {
  static Store s;
  return s;
}

// ASCII only, so that the host's locale cannot change which names match.
// A table, since every lookup compares names character by character.
constexpr std::array<unsigned char, 256> kLower = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  return table;
}();

int lower(char c) { return kLower[static_cast<unsigned char>(c)]; }

int compareNoCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const char* p = a.data();
  const char* q = b.data();
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == q[i]) continue;  // most names are given as they are stored
    const int d = lower(p[i]) - lower(q[i]);
    if (d) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool equalNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && compareNoCase(a, b) == 0; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Binary search in a vector sorted by case-insensitive `name`: the position
// of `name`, or where it would go.
template <class T>
typename std::vector<T>::iterator lowerBound(std::vector<T>& items, std::string_view name) {
  return std::lower_bound(items.begin(), items.end(), name,
                          [](const T& item, std::string_view n) { return compareNoCase(item.name, n) < 0; });
}

template <class T>
T* findNamed(std::vector<T>& items, std::string_view name) {
  auto it = lowerBound(items, name);
  return it != items.end() && equalNoCase(it->name, name) ? &*it : nullptr;
}

template <class T>
T& findOrInsert(std::vector<T>& items, std::string_view name) {
  auto it = lowerBound(items, name);
  if (it != items.end() && equalNoCase(it->name, name)) return *it;
  T item;
  item.name = name;
  return *items.insert(it, std::move(item));
}

// --- File names -----------------------------------------------------------

std::string defaultProfile() {
  if (g_swell_defini && *g_swell_defini) return std::string(g_swell_defini, strnlen(g_swell_defini, kMaxProfilePath));
  const char* home = std::getenv("HOME");
  std::string profile = std::string(home && *home ? home : "/tmp") + "/.libSwell.ini";
  if (profile.size() > kMaxProfilePath) profile.resize(kMaxProfilePath);
  return profile;
}

std::string resolvePath(const char* name) {
  if (name && std::strchr(name, '/')) return name;
  std::string profile = defaultProfile();
  if (!name || !*name) return profile;
  const size_t separator = profile.find_last_of("/\\");
  const size_t dot = profile.rfind('.');
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator)) profile.resize(dot);
  const std::string_view n(name);
  profile += '_';
  profile += n;
  if (n.size() < 4 || !equalNoCase(n.substr(n.size() - 4), ".ini")) profile += ".ini";
  return profile;
}

// "/dir/name.ini" -> "/dir/.name.ini.new": next to the file, so that the
// rename stays within one file system, and hidden.
std::string temporaryPath(const std::string& path) {
  const std::string base = path.substr(0, kMaxTemporaryBase);
  const size_t slash = base.rfind('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return base.substr(0, start) + "." + base.substr(start) + ".new";
}

// --- Parsing --------------------------------------------------------------

// A line ends after a line feed or a carriage return; one that reaches the
// cap is taken as it stands and its rest read as the next line. A source of
// lines hands each out by its place in `text()`, which holds at least every
// line not yet given back with `drop`.

// The lines of a text held in memory.
class MemoryLines {
 public:
  explicit MemoryLines(std::string_view text) : all(text) {}
  std::string_view text() const { return all; }
  bool next(size_t& offset, size_t& size) {
    offset = pos;
    size = 0;
    if (pos >= all.size()) return false;
    const size_t limit = std::min(all.size(), pos + kMaxLine);
    const size_t lineBreak = std::min(nextOf('\n', nextLineFeed), nextOf('\r', nextCarriageReturn));
    pos = lineBreak < limit ? lineBreak + 1 : limit;
    size = pos - offset;
    return true;
  }
  void drop(size_t) {}

 private:
  static constexpr size_t kNotSearched = SIZE_MAX;

  // Where the next `c` at or after `pos` is (the text's size: none), found
  // with memchr and remembered until passed, so that each byte is looked at
  // about once for either character.
  size_t nextOf(char c, size_t& found) const {
    if (found != kNotSearched && found >= pos) return found;
    const void* hit = std::memchr(all.data() + pos, c, all.size() - pos);
    found = hit ? static_cast<size_t>(static_cast<const char*>(hit) - all.data()) : all.size();
    return found;
  }

  std::string_view all;
  size_t pos = 0;
  size_t nextLineFeed = kNotSearched, nextCarriageReturn = kNotSearched;
};

// The lines of an open file, kept until dropped: what the file holds beyond
// its entries and headers is never all in memory at once.
class FileLines {
 public:
  explicit FileLines(FILE* in) : in(in) {}
  std::string_view text() const { return kept; }
  bool next(size_t& offset, size_t& size) {
    offset = kept.size();
    int c;
    while (kept.size() - offset < kMaxLine && (c = getc_unlocked(in)) != EOF) {
      kept.push_back(static_cast<char>(c));
      if (c == '\n' || c == '\r') break;
    }
    size = kept.size() - offset;
    return size > 0 && !ferror(in);
  }
  void drop(size_t offset) { kept.resize(offset); }

 private:
  FILE* in;
  std::string kept;
};

std::string_view at(std::string_view text, Span span) { return {text.data() + span.offset, span.size}; }


Span spanOf(std::string_view text, std::string_view part) {
  return {static_cast<size_t>(part.data() - text.data()), part.size()};
}

// The order of `count` items by name, case-insensitively, the file's order
// among equal names; indices are sorted so that no text moves.
template <class NameOf>
void orderByName(std::vector<size_t>& order, size_t count, const NameOf& nameOf) {
  order.resize(count);
  for (size_t i = 0; i < count; ++i) order[i] = i;
  const auto before = [&](size_t a, size_t b) {
    const int d = compareNoCase(nameOf(a), nameOf(b));
    return d != 0 ? d < 0 : a < b;
  };
  // What this store wrote is in order already.
  if (!std::is_sorted(order.begin(), order.end(), before)) std::sort(order.begin(), order.end(), before);
}

// Builds the sections from what was found. Of a section given more than
// once, the first occurrence's name stands with the last one's keys; of a
// key given more than once in a section, the last line wins, name and value.
void build(std::string_view text, ParseScratch& scratch, std::vector<Section>& sections) {
  const std::vector<FoundSection>& found = scratch.found;
  std::vector<size_t>& order = scratch.order;
  std::vector<size_t>& keyOrder = scratch.keyOrder;
  orderByName(order, found.size(), [&](size_t i) { return at(text, found[i].name); });
  sections.reserve(found.size());
  for (size_t i = 0; i < order.size();) {
    size_t last = i;
    while (last + 1 < order.size() && equalNoCase(at(text, found[order[i]].name), at(text, found[order[last + 1]].name)))
      ++last;
    const FoundSection& occurrence = found[order[last]];
    Section& section = sections.emplace_back();
    section.name = at(text, found[order[i]].name);
    const FoundKey* first = scratch.keys.data() + occurrence.firstKey;
    orderByName(keyOrder, occurrence.keys, [&](size_t k) { return at(text, first[k].name); });
    size_t unique = 0;
    for (size_t k = 0; k < keyOrder.size(); ++k)
      if (k + 1 == keyOrder.size() || !equalNoCase(at(text, first[keyOrder[k]].name), at(text, first[keyOrder[k + 1]].name)))
        ++unique;
    section.keys.reserve(unique);
    for (size_t k = 0; k < keyOrder.size(); ++k) {
      const FoundKey& key = first[keyOrder[k]];
      if (k + 1 < keyOrder.size() && equalNoCase(at(text, key.name), at(text, first[keyOrder[k + 1]].name))) continue;
      section.keys.push_back({std::string(at(text, key.name)), std::string(at(text, key.value))});
    }
    i = last + 1;
  }
}

template <class Lines>
void parse(Lines& lines, ParseScratch& scratch, std::vector<Section>& sections) {
  std::vector<FoundSection>& found = scratch.found;
  std::vector<FoundKey>& keys = scratch.keys;
  found.clear();
  keys.clear();
  size_t preamble = 0;
  bool sawSection = false;
  FoundSection* current = nullptr;
  size_t offset, size;
  while (lines.next(offset, size)) {
    const std::string_view all = lines.text();
    const std::string_view line = all.substr(offset, size);
    if (line[0] == '\0') break;
    if (!sawSection) {
      preamble += line.size();
      if (preamble > kPreambleLimit) break;
    }
    // Names and values are C texts; a zero byte ends the line's text.
    std::string_view text(line.data(), strnlen(line.data(), line.size()));
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);

    bool keep = false;
    if (!text.empty() && text.front() == '[') {
      const size_t close = text.find(']', 1);
      if (close != std::string_view::npos) {
        const std::string_view name = text.substr(1, close - 1);
        if (name.empty()) {
          current = nullptr;
        } else {
          sawSection = keep = true;
          current = &found.emplace_back();
          current->name = spanOf(all, name);
          current->firstKey = keys.size();
        }
      }
    } else if (current) {
      const size_t eq = text.find('=');
      std::string_view name = text.substr(0, eq);
      while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
      if (eq != std::string_view::npos && !name.empty()) {
        // Leading blanks stay in the stored value; reading trims them.
        keys.push_back({spanOf(all, name), spanOf(all, text.substr(eq + 1))});
        ++current->keys;
        keep = true;
      }
    }
    if (!keep) lines.drop(offset);
  }
  build(lines.text(), scratch, sections);
  scratch.trim();
}

void remember(Context& ctx, const struct stat& st) {
  ctx.mtime = st.st_mtim;
  ctx.size = st.st_size;
  ctx.inode = st.st_ino;
  ctx.device = st.st_dev;
}

// (Re)loads `ctx` from the file at `path`, under a shared lock so that a
// writer updating the file in place is not read halfway.
void load(Context& ctx, const std::string& path) {
  ctx.used = true;
  ctx.path = path;
  ctx.sections.clear();
  ctx.mtime = {};
  ctx.size = 0;
  ctx.inode = 0;
  ctx.device = 0;
  ctx.generation = 0;
  if (path.empty()) return;
  if (MemoryFiles& memory = store().memory; memory.on) {
    const auto it = memory.files.find(path);
    if (it == memory.files.end()) return;
    ctx.generation = it->second.second;
    MemoryLines lines(it->second.first);
    parse(lines, store().scratch, ctx.sections);
    return;
  }
  // Only a regular file is read: a FIFO or a device at that path would block
  // the opening or the reading (and a host with it). O_NONBLOCK keeps the
  // opening from waiting; anything but a regular file reads as missing.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct stat opened;
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
    close(fd);
    return;
  }
  FILE* in = fdopen(fd, "r");
  if (!in) {
    close(fd);
    return;
  }
  while (flock(fd, LOCK_SH) != 0 && errno == EINTR) {
  }
  FileLines lines(in);
  parse(lines, store().scratch, ctx.sections);
  // The status of what was read, not of whatever the path names by now.
  struct stat st;
  if (fstat(fd, &st) == 0) remember(ctx, st);
  flock(fd, LOCK_UN);
  fclose(in);
}

// True when the path still names the regular file that `ctx` holds, as it was read.
bool isCurrent(const Context& ctx) {
  if (const MemoryFiles& memory = store().memory; memory.on) {
    const auto it = memory.files.find(ctx.path);
    return ctx.generation == (it == memory.files.end() ? 0 : it->second.second);
  }
  struct stat st;
  const bool regular = !ctx.path.empty() && stat(ctx.path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (!regular) return ctx.inode == 0 && ctx.device == 0;
  return ctx.inode == st.st_ino && ctx.device == st.st_dev && ctx.size == st.st_size &&
         ctx.mtime.tv_sec == st.st_mtim.tv_sec && ctx.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

// The cache entry for `file` (resolved as resolvePath does), parsed again
// when the file has changed. A path is looked up as it is given, without a
// copy: most calls find the file unchanged.
Context& acquire(const char* file) {
  std::string resolved;
  std::string_view path;
  if (file && std::strchr(file, '/')) {
    path = file;
  } else {
    resolved = resolvePath(file);
    path = resolved;
  }
  Store& s = store();
  Context* pick = nullptr;
  for (Context& c : s.entries) {
    if (!c.used || c.path == path || equalNoCase(c.path, path)) {
      pick = &c;
      break;
    }
  }
  if (!pick) {
    pick = &s.entries[0];
    for (Context& c : s.entries)
      if (c.stamp < pick->stamp) pick = &c;
  }
  pick->stamp = ++s.counter;
  // The slot is chosen ignoring case, but its content is reused only for the
  // very same path: on this file system "A.ini" and "a.ini" are two files.
  if (pick->used && pick->path == path && isCurrent(*pick)) return *pick;
  load(*pick, std::string(path));
  return *pick;
}

// --- Writing back ---------------------------------------------------------

std::string serialize(const Context& ctx) {
  std::string out;
  for (const Section& s : ctx.sections) {
    out += '[';
    out += s.name;
    out += "]\n";
    for (const Key& k : s.keys) {
      if (k.name.empty()) continue;
      out += k.name;
      out += '=';
      out += k.value;
      out += '\n';
    }
    out += '\n';
  }
  return out;
}

// Writers of one file in different processes take turns through an
// exclusive lock on its folder, held from the last look at the file to the
// rename. The folder, unlike the file or the temporary file, stays the same
// object while writers replace what is in it, so a waiting writer never ends
// up holding a lock on a file that another has renamed. Where the folder
// cannot be locked, writing goes ahead without taking turns.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) : fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd < 0) return;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FolderLock() {
    if (fd >= 0) close(fd);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd;
};

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Writes the whole of `text` to the temporary file, created with 0666 so
// that the user's own umask decides its permissions, and returns its status
// in `written`. On any failure the temporary file is removed and false
// returned, so that a short file is never renamed over the real one.
bool writeTemporary(const std::string& temp, const std::string& text, struct stat& written) {
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return false;
  FILE* out = fdopen(fd, "w");
  if (!out) {
    close(fd);
    unlink(temp.c_str());
    return false;
  }
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  ok = std::fflush(out) == 0 && ok;
  flock(fd, LOCK_UN);
  ok = std::fclose(out) == 0 && ok;
  // Only we write it (the folder is locked); its status after closing is
  // that of the file once it is renamed.
  ok = ok && stat(temp.c_str(), &written) == 0 && written.st_size == static_cast<off_t>(text.size());
  if (!ok) unlink(temp.c_str());
  return ok;
}

// Writes `ctx` back after `change` was applied to it. With the folder
// locked the file is looked at once more: if another process wrote it since
// it was read here, it is read again and `change` applied to what it holds
// now, so that neither process loses the other's change. Any failure leaves
// the old file whole and the change in memory only.
template <class Change>
void writeBack(Context& ctx, const Change& change) {
  if (ctx.path.empty()) return;
  if (MemoryFiles& memory = store().memory; memory.on) {
    if (!isCurrent(ctx)) {
      const std::string path = ctx.path;
      load(ctx, path);
      if (!change(ctx)) return;
    }
    ctx.generation = ++memory.generation;
    memory.files[ctx.path] = {serialize(ctx), ctx.generation};
    return;
  }
  // Something other than a regular file at the path (a FIFO, a folder) is
  // never replaced or written through.
  struct stat there;
  if (stat(ctx.path.c_str(), &there) == 0 && !S_ISREG(there.st_mode)) return;
  const std::string temp = temporaryPath(ctx.path);
  const FolderLock turn(folderOf(temp));
  if (!isCurrent(ctx)) {
    const std::string path = ctx.path;
    load(ctx, path);
    if (!change(ctx)) return;
  }
  struct stat written;
  if (!writeTemporary(temp, serialize(ctx), written)) return;
  if (rename(temp.c_str(), ctx.path.c_str()) != 0) {
    unlink(temp.c_str());
    return;
  }
  // Renaming keeps the file's identity and time: the next read need not parse.
  remember(ctx, written);
}

// Applies `change` (which says whether it changed anything) to the file's
// cached content and writes the file back when it did.
template <class Change>
void modify(const char* file, const Change& change) {
  Context& ctx = acquire(file);
  if (change(ctx)) writeBack(ctx, change);
}

// --- Output ---------------------------------------------------------------

int copyText(char* out, int size, std::string_view text) {
  const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  if (n > 0) std::memmove(out, text.data(), n);  // the default may point into `out`
  out[n] = '\0';
  return static_cast<int>(n);
}

// A list of zero-terminated entries ended by one more zero byte. An entry
// that does not fit is cut short and ends the list.
class ListWriter {
 public:
  ListWriter(char* out, int size) : out(out), size(size) {}

  void add(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    if (full) return;
    int room = size - 2 - pos;  // characters, leaving this entry's zero and the final one
    if (room <= 0) {
      full = true;
      return;
    }
    for (std::string_view part : {a, b, c}) {
      const int n = static_cast<int>(std::min(part.size(), static_cast<size_t>(room)));
      if (n > 0) std::memcpy(out + pos, part.data(), n);
      pos += n;
      room -= n;
      if (n < static_cast<int>(part.size())) full = true;
    }
    out[pos++] = '\0';
  }
  int finish() {
    out[pos] = '\0';
    return pos;
  }

 private:
  char* out;
  int size;
  int pos = 0;
  bool full = false;
};

// The value as readers see it: blanks and tabs trimmed, then one pair of
// enclosing quotes removed.
std::string_view readableValue(std::string_view value) {
  value = trimBlanks(value);
  if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
    value = value.substr(1, value.size() - 2);
  return value;
}

const Key* findKey(Context& ctx, const char* section, const char* key) {
  Section* s = findNamed(ctx.sections, section);
  return s ? findNamed(s->keys, key) : nullptr;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out, int size,
                            const char* file) {
  if (!out || size <= 0) return 0;
  std::lock_guard<std::recursive_mutex> lock(store().mutex);
  Context& ctx = acquire(file);
  if (!section) {
    ListWriter list(out, size);
    for (const Section& s : ctx.sections) list.add(s.name);
    return list.finish();
  }
  if (!key) {
    ListWriter list(out, size);
    if (const Section* s = findNamed(ctx.sections, section))
      for (const Key& k : s->keys) list.add(k.name);
    return list.finish();
  }
  const Key* k = findKey(ctx, section, key);
  return copyText(out, size, k ? readableValue(k->value) : std::string_view(defaultValue ? defaultValue : ""));
}

namespace {

// Text that, written as it is, would change the file's structure (a line
// break starts another entry or a section): control characters anywhere, a
// ']' in a section name, an '=' in a key or a '[' at its start.
bool keepsStructure(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
  }
  return true;
}
bool isSafeSection(const char* name) { return keepsStructure(name) && !std::strchr(name, ']'); }
bool isSafeKey(std::string_view key) {
  return keepsStructure(key) && key.find('=') == std::string_view::npos && (key.empty() || key[0] != '[');
}

}  // namespace

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  if (!section || (key && !*key)) return false;
  if (!isSafeSection(section) || (key && !isSafeKey(key)) || (value && !keepsStructure(value))) return false;
  std::lock_guard<std::recursive_mutex> lock(store().mutex);
  modify(file, [&](Context& ctx) {
    auto& sections = ctx.sections;
    if (!key) {
      auto it = lowerBound(sections, section);
      if (it == sections.end() || !equalNoCase(it->name, section)) return false;
      sections.erase(it);
      return true;
    }
    if (!value) {
      Section* s = findNamed(sections, section);
      if (!s) return false;
      auto it = lowerBound(s->keys, key);
      if (it == s->keys.end() || !equalNoCase(it->name, key)) return false;
      s->keys.erase(it);
      return true;
    }
    auto& keys = findOrInsert(sections, section).keys;
    auto it = lowerBound(keys, key);
    if (it == keys.end() || !equalNoCase(it->name, key)) {
      keys.insert(it, Key{key, value});
      return true;
    }
    if (it->value == value) return false;
    it->value = value;
    return true;
  });
  return true;
}

bool WritePrivateProfileSection(const char* section, const char* entries, const char* file) {
  if (!section || !isSafeSection(section)) return false;
  std::vector<Key> keys;
  const bool emptyList = !entries || !*entries;
  for (const char* p = entries; p && *p; p += std::strlen(p) + 1) {
    const std::string_view entry(p, strnlen(p, kMaxSectionEntry));
    // From the second character on, so that a key is never empty.
    const size_t eq = entry.find('=', 1);
    if (eq == std::string_view::npos) continue;
    if (!isSafeKey(entry.substr(0, eq)) || !keepsStructure(entry.substr(eq + 1))) return false;
    keys.push_back({std::string(entry.substr(0, eq)), std::string(entry.substr(eq + 1))});
  }
  std::lock_guard<std::recursive_mutex> lock(store().mutex);
  modify(file, [&](Context& ctx) {
    if (emptyList && !findNamed(ctx.sections, section)) return false;
    Section& s = findOrInsert(ctx.sections, section);
    s.keys.clear();
    for (const Key& k : keys) findOrInsert(s.keys, k.name).value = k.value;
    return true;  // also for an empty list: the section stays, empty
  });
  return true;
}

int GetPrivateProfileSection(const char* section, char* out, int size, const char* file) {
  if (!out || size <= 0) return 0;
  std::lock_guard<std::recursive_mutex> lock(store().mutex);
  Context& ctx = acquire(file);
  ListWriter list(out, size);
  if (const Section* s = section ? findNamed(ctx.sections, section) : nullptr)
    for (const Key& k : s->keys) list.add(k.name, "=", k.value);
  return list.finish();
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
  char text[512];
  if (GetPrivateProfileString(section, key, "", text, sizeof text, file) == 0) return defaultValue;
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) v = std::min(v * 10 + (*p - '0'), static_cast<long long>(INT_MAX) + 1);
  if (negative) v = -v;
  v = std::clamp(v, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX));
  return v == 0 && text[0] != '0' ? defaultValue : static_cast<int>(v);
}

bool WritePrivateProfileStruct(const char* section, const char* key, const void* data, int length, const char* file) {
  if (!key || !data) return WritePrivateProfileString(section, key, nullptr, file);
  if (length < 0) return false;
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  text.reserve(2 * (static_cast<size_t>(length) + 1));
  unsigned sum = 0;
  for (int i = 0; i <= length; ++i) {
    const unsigned b = i < length ? bytes[i] : sum & 0xFF;
    sum += b;
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return WritePrivateProfileString(section, key, text.c_str(), file);
}

bool GetPrivateProfileStruct(const char* section, const char* key, void* data, int length, const char* file) {
  if (!section || !key || !data || length < 0) return false;
  std::lock_guard<std::recursive_mutex> lock(store().mutex);
  const Key* k = findKey(acquire(file), section, key);
  if (!k) return false;
  const std::string_view text = readableValue(k->value);
  if (text.size() != 2 * (static_cast<size_t>(length) + 1)) return false;
  auto* bytes = static_cast<unsigned char*>(data);
  unsigned sum = 0;
  for (int i = 0; i <= length; ++i) {
    const int hi = hexDigit(text[2 * i]), lo = hexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    const unsigned b = static_cast<unsigned>(hi * 16 + lo);
    if (i == length) return b == (sum & 0xFF);
    bytes[i] = static_cast<unsigned char>(b);
    sum += b;
  }
  return false;  // not reached: the loop ends on the checksum
}

void swellIniKeepFilesInMemoryForTests(bool on) {
  Store& s = store();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.memory = MemoryFiles();
  s.memory.on = on;
  for (Context& c : s.entries)
    if (c.used) c = Context{};
}

void swellIniSetMemoryFileForTests(const char* path, const char* text, size_t size) {
  Store& s = store();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.memory.files[path] = {std::string(text, size), ++s.memory.generation};
}

std::string swellIniMemoryFileForTests(const char* path) {
  Store& s = store();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  const auto it = s.memory.files.find(path);
  return it == s.memory.files.end() ? std::string() : it->second.first;
}

void swellIniResetCacheForTests() {
  Store& s = store();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  for (Context& c : s.entries)
    if (c.used) c = Context{};
  s.counter = 0;
}
