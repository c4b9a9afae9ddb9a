// SPDX-License-Identifier: ISC
// The framework's MIDI record and queue.
#pragma once

#include <cstdint>
#include <vector>

// One MIDI message with its sample offset from the start of the current block.
struct IMidiMsg {
  enum EStatusMsg {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
  };

  int32_t mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int32_t offset, uint8_t status, uint8_t data1, uint8_t data2)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2) {}

  // The message type: the upper four bits of a channel status byte (0x80..0xEF);
  // kNone for system messages and for data bytes in the status position.
  EStatusMsg StatusMsg() const {
    if (mStatus < 0x80 || mStatus >= 0xF0) return kNone;
    return static_cast<EStatusMsg>(mStatus >> 4);
  }
  int Channel() const { return mStatus & 0x0F; }
  int NoteNumber() const { return mData1; }
  int Velocity() const { return mData2; }
  int ControlChangeIdx() const { return mData1; }

  static IMidiMsg noteOn(int32_t offset, int note, int velocity, int channel = 0) {
    return {offset, static_cast<uint8_t>(0x90 | (channel & 0x0F)), static_cast<uint8_t>(note & 0x7F),
            static_cast<uint8_t>(velocity & 0x7F)};
  }
  static IMidiMsg noteOff(int32_t offset, int note, int channel = 0) {
    return {offset, static_cast<uint8_t>(0x80 | (channel & 0x0F)), static_cast<uint8_t>(note & 0x7F), 0};
  }
  static IMidiMsg controlChange(int32_t offset, int controller, int value, int channel = 0) {
    return {offset, static_cast<uint8_t>(0xB0 | (channel & 0x0F)), static_cast<uint8_t>(controller & 0x7F),
            static_cast<uint8_t>(value & 0x7F)};
  }
  // value: 0..16383, 8192 = centre.
  static IMidiMsg pitchWheel(int32_t offset, int value, int channel = 0) {
    return {offset, static_cast<uint8_t>(0xE0 | (channel & 0x0F)), static_cast<uint8_t>(value & 0x7F),
            static_cast<uint8_t>((value >> 7) & 0x7F)};
  }
};

// Messages ordered by offset. `Add` puts a message after every message with the
// same or a smaller offset; messages are read and removed at the front. The
// storage grows only when it is full, so a queue that `Resize` has made large
// enough never allocates while the audio thread uses it.
template <class T>
class IMidiQueueBase {
 public:
  static constexpr int kDefaultSize = 1024;

  explicit IMidiQueueBase(int size = kDefaultSize) { mBuf.resize(size > 0 ? size : 1); }

  void Add(const T& msg) {
    if (mEnd == static_cast<int>(mBuf.size())) makeRoom();
    int pos = mEnd;
    while (pos > mFront && mBuf[pos - 1].mOffset > msg.mOffset) {
      mBuf[pos] = mBuf[pos - 1];
      --pos;
    }
    mBuf[pos] = msg;
    ++mEnd;
  }

  // Removes the front message.
  void Remove() {
    if (mFront < mEnd) ++mFront;
    if (mFront == mEnd) mFront = mEnd = 0;
  }

  // Subtracts nFrames from the offset of every waiting message.
  void Flush(int nFrames) {
    for (int i = mFront; i < mEnd; ++i) mBuf[i].mOffset -= nFrames;
  }

  void Clear() { mFront = mEnd = 0; }
  bool Empty() const { return mFront == mEnd; }
  int ToDo() const { return mEnd - mFront; }
  const T& Peek() const { return mBuf[mFront]; }
  int GetSize() const { return static_cast<int>(mBuf.size()); }

  // Makes room for at least `size` messages, keeping the waiting ones.
  void Resize(int size) {
    compact();
    if (size > static_cast<int>(mBuf.size())) mBuf.resize(size);
  }

 private:
  void compact() {
    if (mFront == 0) return;
    int n = mEnd - mFront;
    for (int i = 0; i < n; ++i) mBuf[i] = mBuf[mFront + i];
    mFront = 0;
    mEnd = n;
  }
  void makeRoom() {
    if (mFront > 0) compact();
    else mBuf.resize(mBuf.size() * 2);
  }

  std::vector<T> mBuf;
  int mFront = 0;
  int mEnd = 0;
};
