// SPDX-License-Identifier: ISC
// Standard MIDI File reading for the offline renderer: formats 0 and 1, with
// every track merged into one time-ordered list of channel messages timed in
// seconds through the tempo map. The small writer makes the built-in demo song
// and the files the tests read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A channel message (status 0x80..0xEF). Program change and channel pressure
// carry one data byte; their data2 is 0.
struct MidiFileEvent {
  double seconds;
  uint8_t status, data1, data2;
};

struct MidiFile {
  int format = 0;  // 0 or 1
  int tracks = 0;
  // All tracks merged in time order; at equal times, earlier tracks come
  // first, and within a track the file order is kept.
  std::vector<MidiFileEvent> events;
  // Time of the last event of any kind, end of track included, so that a
  // song can end in silence after its last note.
  double lengthSeconds = 0;
};

// Parses a whole file held in memory. On anything malformed returns false and
// puts a one-line message saying what is wrong and at which byte offset into
// `error` and leaves `out` as it was. Files over 64 MiB, files with more than
// 16 million events and tracks running past tick 2^32 - 1 are refused.
bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error);

// Reads and parses the file at `path`. I/O errors read "cannot read PATH:
// reason"; parse errors are prefixed with "PATH: ".
bool readMidiFile(const std::string& path, MidiFile& out, std::string& error);

// One event of a track to write: a channel message, or a meta event starting
// with 0xFF (a tempo is FF 51 03 tt tt tt), written as given.
struct MidiTrackEvent {
  uint32_t tick;
  std::vector<uint8_t> bytes;
};

// Writes a file with the given ticks per quarter note. Each track's events are
// sorted by tick (stably), written with delta times and without running
// status, and closed with an end-of-track event. The gap between neighbouring
// events must stay below 2^28 ticks, the most a delta time can hold.
std::vector<uint8_t> writeMidiFile(int format, int ticksPerQuarter,
                                   const std::vector<std::vector<MidiTrackEvent>>& tracks);
