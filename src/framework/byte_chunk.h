// SPDX-License-Identifier: ISC
// IByteChunk: the framework's growable byte buffer, used for state chunks.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

class IByteChunk {
 public:
  IByteChunk() = default;

  // Appends `size` bytes; returns the new size.
  int PutBytes(const void* data, int size) {
    if (size <= 0) return Size();
    const auto* bytes = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), bytes, bytes + size);
    return Size();
  }

  template <class T>
  int Put(const T* value) {
    return PutBytes(value, static_cast<int>(sizeof(T)));
  }

  // Copies `size` bytes from `startPos`; returns the position after them, or -1
  // (copying nothing) when they are not all inside the chunk.
  int GetBytes(void* out, int size, int startPos) const {
    if (startPos < 0 || size < 0 || startPos > Size() || size > Size() - startPos) return -1;
    if (size > 0) std::memcpy(out, mBytes.data() + startPos, static_cast<size_t>(size));
    return startPos + size;
  }

  template <class T>
  int Get(T* value, int startPos) const {
    return GetBytes(value, static_cast<int>(sizeof(T)), startPos);
  }

  int Size() const { return static_cast<int>(mBytes.size()); }
  void Clear() { mBytes.clear(); }
  void Resize(int size) { mBytes.resize(size > 0 ? static_cast<size_t>(size) : 0); }
  uint8_t* GetData() { return mBytes.data(); }
  const uint8_t* GetData() const { return mBytes.data(); }
  bool operator==(const IByteChunk& other) const { return mBytes == other.mBytes; }

 private:
  std::vector<uint8_t> mBytes;
};
