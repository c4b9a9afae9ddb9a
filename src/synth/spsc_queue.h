// SPDX-License-Identifier: ISC
// A bounded queue for one producer thread and one consumer thread that never
// locks or allocates after construction: the editor hands the engine its
// changes through it, and the audio thread takes them between blocks.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

template <typename T, size_t Capacity>
class SpscQueue {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "a power of two");

 public:
  SpscQueue() : slots(std::make_unique<T[]>(Capacity)) {}
  SpscQueue(const SpscQueue&) = delete;
  SpscQueue& operator=(const SpscQueue&) = delete;

  // Producer side. False, and nothing queued, when the queue is full.
  bool push(const T& item) {
    const size_t tail = writeAt.load(std::memory_order_relaxed);
    if (tail - readAt.load(std::memory_order_acquire) == Capacity) return false;
    slots[tail & (Capacity - 1)] = item;
    writeAt.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer side. False when there is nothing to take.
  bool pop(T& item) {
    const size_t head = readAt.load(std::memory_order_relaxed);
    if (head == writeAt.load(std::memory_order_acquire)) return false;
    item = slots[head & (Capacity - 1)];
    readAt.store(head + 1, std::memory_order_release);
    return true;
  }

 private:
  std::unique_ptr<T[]> slots;
  // Apart, so that the two threads do not share a cache line for them.
  alignas(64) std::atomic<size_t> writeAt{0};
  alignas(64) std::atomic<size_t> readAt{0};
};
