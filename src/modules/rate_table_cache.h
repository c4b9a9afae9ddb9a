// SPDX-License-Identifier: ISC
// Process-wide cache of immutable tables that depend only on the sample rate.
//
// Every instance that runs at a rate shares one table for it; an instance that
// changes its rate takes (or builds) another table and never writes to the one
// that other instances are reading. A table is built completely before it is
// published, under the cache's mutex, and freed when its last user lets go.
// Called from set-up code (sample-rate changes), never from the audio thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

template <class Table>
class RateTableCache {
 public:
  // Table must be constructible as Table(double sampleRate).
  static std::shared_ptr<const Table> get(double sampleRate) {
    uint64_t key;
    std::memcpy(&key, &sampleRate, sizeof key);
    static std::mutex mutex;
    static std::map<uint64_t, std::weak_ptr<const Table>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = tables.begin(); it != tables.end();) {
      if (it->second.expired()) it = tables.erase(it);
      else ++it;
    }
    if (auto found = tables.find(key); found != tables.end()) {
      if (auto table = found->second.lock()) return table;
    }
    auto table = std::make_shared<const Table>(sampleRate);
    tables[key] = table;
    return table;
  }
};
