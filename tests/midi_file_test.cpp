// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "adapters/offline/midi_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An event as the tests compare it; the times used are exact in binary.
struct Ev {
  double seconds;
  int status, data1, data2;
  bool operator==(const Ev&) const = default;
};
[[maybe_unused]] std::ostream& operator<<(std::ostream& os, const Ev& e) {
  char text[64];
  std::snprintf(text, sizeof text, "{%.17g s, %02X %02X %02X}", e.seconds, e.status, e.data1, e.data2);
  return os << text;
}

std::vector<Ev> events(const MidiFile& file) {
  std::vector<Ev> out;
  for (const MidiFileEvent& e : file.events) out.push_back({e.seconds, e.status, e.data1, e.data2});
  return out;
}

// A file put together by hand: the header, then each body as an MTrk chunk.
// Track bodies start at byte offset 22 in a file with one track.
Bytes smf(int format, int division, const std::vector<Bytes>& bodies) {
  Bytes out = {'M', 'T', 'h', 'd'};
  const auto put = [&out](uint32_t value, int bytes) {
    while (bytes--) out.push_back(static_cast<uint8_t>(value >> (8 * bytes)));
  };
  put(6, 4);
  put(format, 2);
  put(static_cast<uint32_t>(bodies.size()), 2);
  put(division, 2);
  for (const Bytes& body : bodies) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    put(static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

MidiFile parsed(const Bytes& bytes) {
  MidiFile file;
  std::string error;
  EXPECT_TRUE(parseMidiFile(bytes.data(), bytes.size(), file, error)) << error;
  return file;
}

MidiTrackEvent tempo(uint32_t tick, uint32_t microsPerQuarter) {
  return {tick,
          {0xFF, 0x51, 0x03, static_cast<uint8_t>(microsPerQuarter >> 16), static_cast<uint8_t>(microsPerQuarter >> 8),
           static_cast<uint8_t>(microsPerQuarter)}};
}

MidiTrackEvent note(uint32_t tick, uint8_t status, uint8_t key, uint8_t velocity = 100) {
  return {tick, {status, key, velocity}};
}

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(MidiFileWriter, WritesDeltaTimesWithoutRunningStatusAndClosesEachTrack) {
  // Events given out of order; two at tick 200 keep their given order.
  const Bytes file = writeMidiFile(0, 96, {{note(200, 0x90, 60), {0, {0xC0, 0x00}}, note(200, 0x90, 64)}});
  const Bytes expected = smf(0, 96,
                             {{0x00, 0xC0, 0x00,           //
                               0x81, 0x48, 0x90, 60, 100,  // 200 = 1 * 128 + 72
                               0x00, 0x90, 64, 100,        // the status repeated
                               0x00, 0xFF, 0x2F, 0x00}});
  EXPECT_EQ(file, expected);
}

TEST(MidiFileWriter, RoundTripsFormat0) {
  const Bytes file = writeMidiFile(0, 480,
                                   {{note(960, 0x80, 60, 64),
                                     note(0, 0x90, 60),
                                     {480, {0xC3, 7}},
                                     {480, {0xD3, 90}},
                                     {720, {0xE3, 0x00, 0x40}},
                                     note(960, 0x90, 62, 0),
                                     {1200, {0xB0, 1, 127}}}});
  const MidiFile f = parsed(file);
  EXPECT_EQ(f.format, 0);
  EXPECT_EQ(f.tracks, 1);
  EXPECT_EQ(events(f), (std::vector<Ev>{{0.0, 0x90, 60, 100},
                                        {0.5, 0xC3, 7, 0},
                                        {0.5, 0xD3, 90, 0},
                                        {0.75, 0xE3, 0x00, 0x40},
                                        {1.0, 0x80, 60, 64},
                                        {1.0, 0x90, 62, 0},  // a note-on with velocity 0 stays a note-on
                                        {1.25, 0xB0, 1, 127}}));
  EXPECT_EQ(f.lengthSeconds, 1.25);
}

TEST(MidiFileWriter, RoundTripsDeltaTimesAtEveryLengthOfTheirEncoding) {
  // Gaps at the edges of one, two, three and four bytes.
  const uint32_t gaps[] = {0x7F, 0x80, 0x3FFF, 0x4000, 0x1FFFFF, 0x200000, 0x0FFFFFFF};
  std::vector<MidiTrackEvent> track;
  uint32_t tick = 0;
  for (uint32_t gap : gaps) track.push_back(note(tick += gap, 0x90, 60));
  const MidiFile f = parsed(writeMidiFile(0, 1000, {track}));
  ASSERT_EQ(f.events.size(), std::size(gaps));
  tick = 0;
  for (size_t i = 0; i < std::size(gaps); ++i) {
    tick += gaps[i];
    EXPECT_DOUBLE_EQ(f.events[i].seconds, tick * 0.0005) << "gap " << gaps[i];  // 1000 ticks a half-second quarter
  }
}

TEST(MidiFileReader, MergesFormat1TracksInTimeThenTrackThenFileOrder) {
  const Bytes file = writeMidiFile(1, 480,
                                   {{tempo(0, 500000)},
                                    {note(480, 0x90, 1), note(0, 0x90, 2), note(480, 0x90, 3)},
                                    {note(240, 0x91, 4), note(480, 0x91, 5), note(960, 0x91, 6)},
                                    {note(480, 0x92, 7)}});
  const MidiFile f = parsed(file);
  EXPECT_EQ(f.format, 1);
  EXPECT_EQ(f.tracks, 4);
  EXPECT_EQ(events(f), (std::vector<Ev>{{0.0, 0x90, 2, 100},
                                        {0.25, 0x91, 4, 100},
                                        {0.5, 0x90, 1, 100},
                                        {0.5, 0x90, 3, 100},
                                        {0.5, 0x91, 5, 100},
                                        {0.5, 0x92, 7, 100},
                                        {1.0, 0x91, 6, 100}}));

  // Long chords at one tick, enough that an unstable sort would shuffle them.
  std::vector<std::vector<MidiTrackEvent>> chords(2);
  for (uint8_t key = 0; key < 80; ++key) chords[key / 40].push_back(note(0, 0x90, key));
  const MidiFile c = parsed(writeMidiFile(1, 480, chords));
  ASSERT_EQ(c.events.size(), 80u);
  for (size_t i = 0; i < c.events.size(); ++i) EXPECT_EQ(c.events[i].data1, i);
}

TEST(MidiFileReader, RunningStatusContinuesTheLastChannelStatus) {
  const Bytes body = {0x00, 0x90, 60,   100,                // note on
                      0x60, 62,   100,                      // note on, running
                      0x00, 0xC1, 5,                        // program change: one data byte
                      0x00, 6,                              // program change, running
                      0x00, 0xD1, 30,   0x00, 31,           // channel pressure, then running
                      0x60, 0x80, 60,   64,   0x00, 62, 0,  // note off, then running
                      0x00, 0xFF, 0x2F, 0x00};
  const MidiFile f = parsed(smf(0, 96, {body}));
  EXPECT_EQ(events(f), (std::vector<Ev>{{0.0, 0x90, 60, 100},
                                        {0.5, 0x90, 62, 100},
                                        {0.5, 0xC1, 5, 0},
                                        {0.5, 0xC1, 6, 0},
                                        {0.5, 0xD1, 30, 0},
                                        {0.5, 0xD1, 31, 0},
                                        {1.0, 0x80, 60, 64},
                                        {1.0, 0x80, 62, 0}}));
}

TEST(MidiFileReader, SkipsSysexOtherMetaEventsAndUnknownChunksButCountsTheirDeltaTimes) {
  const Bytes body = {0x30, 0xF0, 0x05, 0x43, 0x12, 0x00, 0x07, 0xF7,  // sysex
                      0x30, 0xF7, 0x02, 0x90, 0x40,                    // escape: raw bytes, not a note
                      0x30, 0xFF, 0x03, 0x04, 'l',  'e',  'a',  'd',   // track name
                      0x30, 0xFF, 0x7F, 0x03, 0x00, 0x00, 0x41,        // a sequencer's own data
                      0x00, 0x90, 60,   100,                           // a note at tick 192
                      0x00, 0xFF, 0x2F, 0x00,                          // end of track
                      0x90, 61,   100};                                // after it: not read
  Bytes file = smf(1, 96, {body});
  // Two extra header bytes, and an unknown chunk before the track.
  file[7] = 8;
  file.insert(file.begin() + 14, {0xAB, 0xCD});
  file.insert(file.begin() + 16, {'X', 'y', 'z', 'w', 0, 0, 0, 3, 'M', 'T', 'r'});
  file.insert(file.end(), {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF});  // after the last track: not read
  const MidiFile f = parsed(file);
  EXPECT_EQ(events(f), (std::vector<Ev>{{1.0, 0x90, 60, 100}}));
}

TEST(MidiFileReader, AcceptsTracksWithoutEventsOrWithoutAnEndOfTrack) {
  const MidiFile none = parsed(smf(1, 96, {}));
  EXPECT_EQ(none.tracks, 0);
  EXPECT_TRUE(none.events.empty());
  EXPECT_EQ(none.lengthSeconds, 0.0);

  const MidiFile empty = parsed(smf(1, 96, {{}, kEndOfTrack}));
  EXPECT_EQ(empty.tracks, 2);
  EXPECT_TRUE(empty.events.empty());

  // The chunk ends the track when no end-of-track event does.
  const MidiFile open = parsed(smf(1, 96, {{0x60, 0x90, 60, 100}, Bytes{0x00, 0x91, 61, 100} + kEndOfTrack}));
  EXPECT_EQ(events(open), (std::vector<Ev>{{0.0, 0x91, 61, 100}, {0.5, 0x90, 60, 100}}));
}

TEST(MidiFileTiming, TempoChangeMidSongRetimesWhatFollows) {
  // 480 ticks a quarter: 120 bpm, then 60 bpm from tick 960 (1 s), so each
  // later quarter takes a whole second.
  const MidiFile f = parsed(writeMidiFile(0, 480,
                                          {{tempo(0, 500000), tempo(960, 1000000), note(480, 0x90, 1),
                                            note(960, 0x90, 2), note(1440, 0x90, 3), note(1920, 0x90, 4)}}));
  EXPECT_EQ(events(f),
            (std::vector<Ev>{{0.5, 0x90, 1, 100}, {1.0, 0x90, 2, 100}, {2.0, 0x90, 3, 100}, {3.0, 0x90, 4, 100}}));
}

TEST(MidiFileTiming, TempoChangesInAnyTrackTimeEveryTrack) {
  // Track 0 holds the tempo map: 60 bpm, 240 bpm from tick 480; track 2 adds
  // 120 bpm from tick 960. Two changes at one tick: the later one holds.
  const MidiFile f =
      parsed(writeMidiFile(1, 480,
                           {{tempo(0, 1000000), tempo(480, 500000), tempo(480, 250000)},
                            {note(240, 0x90, 1), note(480, 0x90, 2), note(960, 0x90, 3), note(1440, 0x90, 4)},
                            {tempo(960, 500000)}}));
  EXPECT_EQ(events(f),
            (std::vector<Ev>{{0.5, 0x90, 1, 100}, {1.0, 0x90, 2, 100}, {1.25, 0x90, 3, 100}, {1.75, 0x90, 4, 100}}));
}

TEST(MidiFileTiming, DefaultsTo120BeatsPerMinute) {
  const MidiFile f = parsed(writeMidiFile(0, 240, {{note(720, 0x90, 60)}}));
  EXPECT_EQ(events(f), (std::vector<Ev>{{1.5, 0x90, 60, 100}}));
}

TEST(MidiFileTiming, SmpteDivisionCountsFramesAndIgnoresTheTempo) {
  // Ten ticks a frame; the event is one second of nominal frames in.
  for (const int fps : {24, 25, 29, 30}) {
    const int nominal = fps == 29 ? 30 : fps;
    Bytes file = writeMidiFile(0, 480, {{tempo(0, 1000000), note(nominal * 10, 0x90, 60)}});
    file[12] = static_cast<uint8_t>(-fps);
    file[13] = 10;
    const MidiFile f = parsed(file);
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_DOUBLE_EQ(f.events[0].seconds, fps == 29 ? 1.001 : 1.0) << fps << " fps";  // 29 is 29.97
  }
}

TEST(MidiFileTiming, DoesNotDriftOverManyEventsAndTempoChanges) {
  // 3 ticks a quarter, the tempo alternating every two ticks between values
  // that are not exact in binary: every four ticks take exactly 2/3 s.
  std::vector<MidiTrackEvent> track;
  const uint32_t groups = 50000;
  for (uint32_t i = 0; i < groups; ++i) {
    track.push_back(tempo(4 * i, 333333));
    track.push_back(note(4 * i + 1, 0x90, 60));
    track.push_back(tempo(4 * i + 2, 666667));
    track.push_back(note(4 * i + 3, 0x80, 60));
  }
  track.push_back(note(4 * groups, 0x90, 61));
  const MidiFile f = parsed(writeMidiFile(0, 3, {track}));
  ASSERT_EQ(f.events.size(), 2 * groups + 1);
  EXPECT_DOUBLE_EQ(f.events[2 * groups / 2].seconds, (groups / 2) * 2.0 / 3 + 333333 / 3e6);
  EXPECT_DOUBLE_EQ(f.events.back().seconds, groups * 2.0 / 3);
}

TEST(MidiFileTiming, LengthRunsToTheLastEventOfAnyKindInAnyTrack) {
  // Track 1 ends with an end of track 960 ticks after its last note; track 2
  // has no channel messages but a text event later still.
  const Bytes track1 = {0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0, 0x87, 0x40, 0xFF, 0x2F, 0x00};
  const MidiFile f = parsed(smf(1, 480, {track1}));
  EXPECT_EQ(f.events.back().seconds, 0.5);
  EXPECT_EQ(f.lengthSeconds, 1.5);

  const Bytes track2 = Bytes{0x8F, 0x00, 0xFF, 0x01, 0x01, 'x'} + kEndOfTrack;  // tick 1920
  EXPECT_EQ(parsed(smf(1, 480, {track1, track2})).lengthSeconds, 2.0);
  EXPECT_EQ(parsed(smf(1, 480, {track2, track1})).lengthSeconds, 2.0);
}

TEST(MidiFileReader, RefusesMalformedFilesSayingWhatAndWhere) {
  struct Case {
    const char* name;
    Bytes file;
    const char* message;  // a part of the message, with the offset
  };
  const Bytes good = smf(0, 96, {Bytes{0x00, 0x90, 60, 100} + kEndOfTrack});
  Bytes wrongMagic = good;
  wrongMagic[1] = 'X';
  Bytes shortHeaderLength = good;
  shortHeaderLength[7] = 4;
  Bytes longChunk = good;
  longChunk[21] = 100;
  Bytes missingTrack = smf(1, 96, {kEndOfTrack});
  missingTrack[11] = 2;
  Bytes pastTickLimit;  // 16 gaps of 2^28 - 1 reach 2^32 - 16; the 17th passes 2^32 - 1
  for (int i = 0; i < 17; ++i) pastTickLimit.insert(pastTickLimit.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});

  const Case cases[] = {
      {"empty", {}, "empty file"},
      {"wrong magic", wrongMagic, "not a MIDI file: no MThd header at byte offset 0"},
      {"truncated header", Bytes(good.begin(), good.begin() + 10), "truncated header"},
      {"header length under 6", shortHeaderLength, "header length 4 is shorter than 6 at byte offset 4"},
      {"format 2", smf(2, 96, {kEndOfTrack}), "format 2 (independent sequences) is not supported at byte offset 8"},
      {"unknown format", smf(3, 96, {kEndOfTrack}), "unknown format 3 at byte offset 8"},
      {"format 0 with two tracks", smf(0, 96, {kEndOfTrack, kEndOfTrack}), "2 tracks instead of 1 at byte offset 10"},
      {"zero division", smf(0, 0, {kEndOfTrack}), "zero division at byte offset 12"},
      {"SMPTE 23 fps", smf(0, 0xE90A, {kEndOfTrack}), "23 frames per second at byte offset 12"},
      {"SMPTE no ticks per frame", smf(0, 0xE700, {kEndOfTrack}), "zero ticks per frame at byte offset 13"},
      {"chunk past the end", longChunk,
       "truncated: a chunk of 100 bytes runs past the end of the file at byte offset 14"},
      {"a track missing", missingTrack, "truncated: the file ends after 1 of 2 tracks at byte offset 26"},
      {"VLQ over 4 bytes", smf(0, 96, {{0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100}}),
       "variable-length quantity longer than 4 bytes at byte offset 22"},
      {"data byte with the high bit", smf(0, 96, {{0x00, 0x90, 60, 0xA0}}),
       "data byte 0xA0 with its high bit set at byte offset 25"},
      {"running status at the start", smf(0, 96, {Bytes{0x00, 60, 100} + kEndOfTrack}),
       "running status without a previous status at byte offset 23"},
      {"running status after a meta event", smf(0, 96, {{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 62, 100}}),
       "running status without a previous status at byte offset 31"},
      {"running status into the next track",
       smf(1, 96, {{0x00, 0x90, 60, 100}, {0x00, 62, 100}}),  // the second body starts at 34
       "running status without a previous status at byte offset 35"},
      {"data bytes missing at the end", smf(0, 96, {{0x00, 0x90, 60}}), "track ends inside an event at byte offset 25"},
      {"meta data past the chunk", smf(0, 96, {{0x00, 0xFF, 0x01, 0x05, 'a', 'b'}}),
       "track ends inside an event at byte offset 28"},
      {"delta time cut off", smf(0, 96, {{0x00, 0x90, 60, 100, 0x81}}), "track ends inside an event at byte offset 27"},
      {"system real-time byte", smf(0, 96, {Bytes{0x00, 0xF8} + kEndOfTrack}),
       "unexpected status byte 0xF8 in a track at byte offset 23"},
      {"tempo with two bytes", smf(0, 96, {Bytes{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1} + kEndOfTrack}),
       "tempo event with 2 data bytes instead of 3 at byte offset 25"},
      {"past the last tick", smf(0, 96, {pastTickLimit}), "track runs past tick 4294967295 at byte offset 134"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MidiFile f;
    std::string error;
    EXPECT_FALSE(parseMidiFile(c.file.data(), c.file.size(), f, error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST(MidiFileReader, RefusesFilesOver64MiBBeforeLookingAtThem) {
  Bytes file = writeMidiFile(0, 96, {{note(0, 0x90, 60)}});
  file.resize((size_t{64} << 20) + 1);
  MidiFile f;
  std::string error;
  EXPECT_FALSE(parseMidiFile(file.data(), file.size(), f, error));
  EXPECT_EQ(error, "file larger than 64 MiB");
  file.resize(size_t{64} << 20);  // the same file at the limit: its padding is never read
  EXPECT_TRUE(parseMidiFile(file.data(), file.size(), f, error)) << error;
}

TEST(MidiFileReader, ReadsFromDiskAndNamesTheFileInErrors) {
  const std::string base =
      (std::filesystem::temp_directory_path() / ("wobblytone_midi_file_test_" + std::to_string(getpid()))).string();
  const Bytes good = writeMidiFile(0, 480, {{note(480, 0x90, 60)}});
  const Bytes bad = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 2, 0, 1, 0, 96};
  for (const auto& [suffix, bytes] : {std::pair{".mid", good}, std::pair{"_bad.mid", bad}}) {
    std::ofstream(base + suffix, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  MidiFile f;
  std::string error;
  EXPECT_TRUE(readMidiFile(base + ".mid", f, error)) << error;
  EXPECT_EQ(events(f), (std::vector<Ev>{{0.5, 0x90, 60, 100}}));

  EXPECT_FALSE(readMidiFile(base + "_bad.mid", f, error));
  EXPECT_EQ(error.rfind(base + "_bad.mid: format 2", 0), 0u) << error;

  EXPECT_FALSE(readMidiFile(base + "_missing.mid", f, error));
  EXPECT_EQ(error, "cannot read " + base + "_missing.mid: No such file or directory");

  std::filesystem::remove(base + ".mid");
  std::filesystem::remove(base + "_bad.mid");
}
