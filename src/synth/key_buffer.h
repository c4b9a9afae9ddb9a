// SPDX-License-Identifier: ISC
// KeyBuffer: the held MIDI notes, ascending; the same note may occur more than
// once (a re-sounded key is entered again, and removal takes every copy).
// Fixed storage: it never allocates. When it is full, repeated entries are
// folded into one, which changes no answer it gives (lowest key, membership).
// A second, atomic view (one bit per note) lets the editor ask whether a note
// is held while the audio thread changes the list.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

class KeyBuffer {
 public:
  static constexpr int kCapacity = 256;

  void add(int note) {
    if (count == kCapacity) count = static_cast<int>(std::unique(keys, keys + count) - keys);
    int pos = count++;
    while (pos > 0 && keys[pos - 1] > note) {
      keys[pos] = keys[pos - 1];
      --pos;
    }
    keys[pos] = note;
    publish();
  }
  void remove(int note) {
    count = static_cast<int>(std::remove(keys, keys + count, note) - keys);
    publish();
  }
  void clear() {
    count = 0;
    publish();
  }

  bool empty() const { return count == 0; }
  int size() const { return count; }
  int first() const { return keys[0]; }
  int operator[](int i) const { return keys[i]; }

  // Safe from any thread; a stale answer is possible while notes change.
  bool isPressed(int note) const {
    if (note < 0 || note > 127) return false;
    return (pressed[note >> 6].load(std::memory_order_relaxed) >> (note & 63)) & 1;
  }

 private:
  void publish() {
    uint64_t mask[2] = {0, 0};
    for (int i = 0; i < count; ++i)
      if (keys[i] >= 0 && keys[i] <= 127) mask[keys[i] >> 6] |= uint64_t{1} << (keys[i] & 63);
    pressed[0].store(mask[0], std::memory_order_relaxed);
    pressed[1].store(mask[1], std::memory_order_relaxed);
  }

  int keys[kCapacity] = {};
  int count = 0;
  std::atomic<uint64_t> pressed[2] = {0, 0};
};
