// SPDX-License-Identifier: ISC
// Standard MIDI File reader and writer. The reader takes files from anywhere,
// so every read is bounds-checked, every loop consumes input, and the sizes
// that decide memory and time are capped.
#include "adapters/offline/midi_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr size_t kMaxFileSize = size_t{64} << 20;
constexpr size_t kMaxEvents = 16'000'000;
constexpr uint64_t kMaxTick = UINT32_MAX;
constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note, 120 bpm

// Thrown by the parser and turned into the error message by parseMidiFile;
// it keeps the parsing code a straight line.
struct Malformed {
  std::string message;
};

[[noreturn]] void fail(const std::string& what, size_t offset) {
  throw Malformed{what + " at byte offset " + std::to_string(offset)};
}

std::string hex(uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// Reads forward through data[pos, end); running into `end` fails with
// `endMessage`, which says what the end cuts short.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t pos, size_t end, const char* endMessage)
      : mData(data), mPos(pos), mEnd(end), mEndMessage(endMessage) {}

  size_t pos() const { return mPos; }
  bool atEnd() const { return mPos == mEnd; }

  uint8_t byte() {
    if (mPos == mEnd) fail(mEndMessage, mPos);
    return mData[mPos++];
  }
  uint8_t dataByte() {
    const uint8_t b = byte();
    if (b & 0x80) fail("data byte " + hex(b) + " with its high bit set", mPos - 1);
    return b;
  }
  uint32_t bigEndian(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | byte();
    return value;
  }
  // A variable-length quantity: 7 bits a byte, high bit set on all but the last.
  uint32_t vlq() {
    const size_t start = mPos;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = byte();
      value = value << 7 | (b & 0x7F);
      if (!(b & 0x80)) return value;
    }
    fail("variable-length quantity longer than 4 bytes", start);
  }
  void skip(uint32_t bytes) {
    if (bytes > mEnd - mPos) fail(mEndMessage, mEnd);
    mPos += bytes;
  }

 private:
  const uint8_t* mData;
  size_t mPos, mEnd;
  const char* mEndMessage;
};

struct PendingEvent {
  uint32_t tick;
  uint8_t status, data1, data2;
};

struct TempoChange {
  uint32_t tick;
  uint32_t microsPerQuarter;
};

// What the tracks add up to before the ticks become seconds.
struct Collected {
  std::vector<PendingEvent> events;
  std::vector<TempoChange> tempos;
  size_t eventCount = 0;  // events of every kind, for the cap
  uint32_t lastTick = 0;
};

void parseTrack(const uint8_t* data, size_t begin, size_t end, Collected& into) {
  Cursor in(data, begin, end, "track ends inside an event");
  uint64_t tick = 0;
  uint8_t running = 0;  // the status that data bytes in the status position continue; 0 for none
  while (!in.atEnd()) {
    const size_t eventStart = in.pos();
    tick += in.vlq();
    if (tick > kMaxTick) fail("track runs past tick " + std::to_string(kMaxTick), eventStart);
    if (++into.eventCount > kMaxEvents) fail("more than " + std::to_string(kMaxEvents) + " events", eventStart);
    const auto t = static_cast<uint32_t>(tick);
    into.lastTick = std::max(into.lastTick, t);

    const size_t statusAt = in.pos();
    const uint8_t b = in.byte();
    if (b == 0xFF || b == 0xF0 || b == 0xF7) {
      // Meta events and sysex end any running status.
      running = 0;
      const uint8_t type = b == 0xFF ? in.byte() : 0;
      const size_t lengthAt = in.pos();
      const uint32_t length = in.vlq();
      if (b == 0xFF && type == 0x51) {
        if (length != 3) fail("tempo event with " + std::to_string(length) + " data bytes instead of 3", lengthAt);
        into.tempos.push_back({t, in.bigEndian(3)});
      } else {
        in.skip(length);
        if (b == 0xFF && type == 0x2F) return;  // end of track: whatever follows in the chunk is not read
      }
      continue;
    }
    if (b >= 0xF0) fail("unexpected status byte " + hex(b) + " in a track", statusAt);

    uint8_t data1;
    if (b & 0x80) {
      running = b;
      data1 = in.dataByte();
    } else {
      if (!running) fail("running status without a previous status", statusAt);
      data1 = b;
    }
    // Program change (0xC_) and channel pressure (0xD_) have one data byte.
    const uint8_t data2 = (running & 0xE0) == 0xC0 ? 0 : in.dataByte();
    into.events.push_back({t, running, data1, data2});
  }
}

// Ticks to seconds. The time at a tick is an exact integer count of units
// divided by units per second: for a ticks-per-quarter division a unit is a
// microsecond-tick (a tick lasts `rate` = tempo units), so tempo segments add
// up without rounding. Ticks stay below 2^32 and a tempo has 24 bits, so the
// count fits in 64 bits.
class Clock {
 public:
  Clock(uint16_t division, std::vector<TempoChange> tempos) {
    const auto framesPerSecond = static_cast<int8_t>(division >> 8);
    if (framesPerSecond >= 0) {
      mUnitsPerSecond = division * 1e6;
      mSegments.push_back({0, 0, kDefaultTempo});
      std::stable_sort(tempos.begin(), tempos.end(),
                       [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
      for (const TempoChange& change : tempos) {
        Segment& last = mSegments.back();
        if (change.tick == last.tick) {
          last.rate = change.microsPerQuarter;  // of changes at one tick, the last in file order holds
        } else {
          mSegments.push_back(
              {change.tick, last.units + uint64_t{change.tick - last.tick} * last.rate, change.microsPerQuarter});
        }
      }
    } else {
      // SMPTE time: frames per second times ticks per frame; the tempo plays no part.
      // 29 stands for 29.97 (30000/1001) frames per second.
      const int fps = -framesPerSecond;
      const uint64_t ticksPerFrame = division & 0xFF;
      if (fps == 29) {
        mUnitsPerSecond = static_cast<double>(30000 * ticksPerFrame);
        mSegments.push_back({0, 0, 1001});
      } else {
        mUnitsPerSecond = static_cast<double>(fps * ticksPerFrame);
        mSegments.push_back({0, 0, 1});
      }
    }
  }

  double seconds(uint32_t tick) const {
    const auto after = std::upper_bound(mSegments.begin(), mSegments.end(), tick,
                                        [](uint32_t t, const Segment& s) { return t < s.tick; });
    const Segment& s = *(after - 1);
    return static_cast<double>(s.units + uint64_t{tick - s.tick} * s.rate) / mUnitsPerSecond;
  }

 private:
  struct Segment {
    uint32_t tick;
    uint64_t units;  // units from the start of the song to `tick`
    uint64_t rate;   // units per tick from `tick` on
  };
  std::vector<Segment> mSegments;
  double mUnitsPerSecond = 1;
};

void parse(const uint8_t* data, size_t size, MidiFile& out) {
  if (size == 0) throw Malformed{"empty file"};
  if (size > kMaxFileSize) throw Malformed{"file larger than 64 MiB"};
  if (size < 4 || std::memcmp(data, "MThd", 4) != 0) fail("not a MIDI file: no MThd header", 0);
  Cursor header(data, 4, size, "truncated header");
  const uint32_t headerLength = header.bigEndian(4);
  if (headerLength < 6) fail("header length " + std::to_string(headerLength) + " is shorter than 6", 4);
  if (headerLength > size - 8) fail("truncated header: its length runs past the end of the file", 4);
  const uint32_t format = header.bigEndian(2);
  const uint32_t trackCount = header.bigEndian(2);
  const auto division = static_cast<uint16_t>(header.bigEndian(2));

  if (format == 2) fail("format 2 (independent sequences) is not supported", 8);
  if (format > 2) fail("unknown format " + std::to_string(format), 8);
  if (format == 0 && trackCount != 1)
    fail("format 0 file with " + std::to_string(trackCount) + " tracks instead of 1", 10);
  if (division == 0) fail("zero division", 12);
  if (division & 0x8000) {
    const int fps = -static_cast<int8_t>(division >> 8);
    if (fps != 24 && fps != 25 && fps != 29 && fps != 30)
      fail("SMPTE division with " + std::to_string(fps) + " frames per second", 12);
    if ((division & 0xFF) == 0) fail("SMPTE division with zero ticks per frame", 13);
  }

  // Chunks other than MTrk are skipped; anything after the last track is not read.
  Collected collected;
  size_t pos = 8 + size_t{headerLength};
  for (uint32_t found = 0; found < trackCount;) {
    if (size - pos < 8)
      fail("truncated: the file ends after " + std::to_string(found) + " of " + std::to_string(trackCount) + " tracks",
           pos);
    const uint32_t length = uint32_t{data[pos + 4]} << 24 | data[pos + 5] << 16 | data[pos + 6] << 8 | data[pos + 7];
    if (length > size - pos - 8)
      fail("truncated: a chunk of " + std::to_string(length) + " bytes runs past the end of the file", pos);
    if (std::memcmp(data + pos, "MTrk", 4) == 0) {
      parseTrack(data, pos + 8, pos + 8 + length, collected);
      ++found;
    }
    pos += 8 + size_t{length};
  }

  std::stable_sort(collected.events.begin(), collected.events.end(),
                   [](const PendingEvent& a, const PendingEvent& b) { return a.tick < b.tick; });
  const Clock clock(division, std::move(collected.tempos));
  out.format = static_cast<int>(format);
  out.tracks = static_cast<int>(trackCount);
  out.events.clear();
  out.events.reserve(collected.events.size());
  for (const PendingEvent& e : collected.events)
    out.events.push_back({clock.seconds(e.tick), e.status, e.data1, e.data2});
  out.lengthSeconds = clock.seconds(collected.lastTick);
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putVlq(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value);
  while (n > 1) out.push_back(0x80 | groups[--n]);
  out.push_back(groups[0]);
}

}  // namespace

bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error) {
  try {
    parse(data, size, out);
    return true;
  } catch (const Malformed& m) {
    error = m.message;
    return false;
  }
}

bool readMidiFile(const std::string& path, MidiFile& out, std::string& error) {
  // The size is checked before anything is read, so a huge file costs nothing.
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "cannot read " + path + ": " + ec.message();
    return false;
  }
  if (size > kMaxFileSize) {
    error = path + ": file larger than 64 MiB";
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
  const bool failed = std::ferror(file);
  std::fclose(file);
  if (got != bytes.size()) {
    error = "cannot read " + path + ": " + (failed ? std::strerror(errno) : "the file shrank while being read");
    return false;
  }
  if (parseMidiFile(bytes.data(), bytes.size(), out, error)) return true;
  error = path + ": " + error;
  return false;
}

std::vector<uint8_t> writeMidiFile(int format, int ticksPerQuarter,
                                   const std::vector<std::vector<MidiTrackEvent>>& tracks) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
  putBigEndian(out, 6, 4);
  putBigEndian(out, static_cast<uint32_t>(format), 2);
  putBigEndian(out, static_cast<uint32_t>(tracks.size()), 2);
  putBigEndian(out, static_cast<uint32_t>(ticksPerQuarter), 2);
  for (const auto& track : tracks) {
    std::vector<MidiTrackEvent> sorted = track;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const MidiTrackEvent& a, const MidiTrackEvent& b) { return a.tick < b.tick; });
    std::vector<uint8_t> body;
    uint32_t tick = 0;
    for (const MidiTrackEvent& e : sorted) {
      putVlq(body, e.tick - tick);
      tick = e.tick;
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}
