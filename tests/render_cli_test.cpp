// SPDX-License-Identifier: ISC
// wobblytone-render tried as a new user would: the real program, started as
// a process, with real files in a fresh folder.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <fcntl.h>
#include <spawn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "adapters/offline/midi_file.h"

extern char** environ;

namespace {

struct Result {
  int status = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RenderCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wobblytone-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Starts the renderer and returns at once (its output goes to files in
  // the test's folder); -1 when it could not start.
  pid_t start(std::vector<std::string> args) {
    args.insert(args.begin(), WOBBLYTONE_RENDER_BIN);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  // A song holding one note for `seconds`.
  std::string songOf(double seconds) {
    std::vector<std::vector<MidiTrackEvent>> tracks(1);
    tracks[0].push_back({0, {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}});  // 60 bpm: a tick is 1/480 s
    tracks[0].push_back({0, {0x90, 57, 100}});
    tracks[0].push_back({static_cast<uint32_t>(seconds * 480), {0x80, 57, 0}});
    const std::string path = dir + "/long.mid";
    write(path, writeMidiFile(0, 480, tracks));
    return path;
  }

  // Files in the test's folder whose names start with `prefix`.
  int filesStartingWith(const std::string& prefix) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.path().filename().string().rfind(prefix, 0) == 0) ++n;
    return n;
  }

  Result run(std::vector<std::string> args) {
    const std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
    Result r;
    if (const pid_t pid = start(std::move(args)); pid > 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    r.out = slurp(outPath);
    r.err = slurp(errPath);
    return r;
  }

  // The left channel of a WAV, and its rate.
  std::vector<float> readWav(const std::string& path, int& rate) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> frames(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    rate = info.samplerate;
    std::vector<float> left;
    for (sf_count_t i = 0; i < info.frames; ++i) {
      left.push_back(frames[static_cast<size_t>(i * info.channels)]);
      EXPECT_EQ(frames[static_cast<size_t>(i * info.channels)], frames[static_cast<size_t>(i * info.channels + 1)]);
    }
    return left;
  }

  void write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  static double rms(const std::vector<float>& x, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += x[i] * x[i];
    return std::sqrt(sum / (to - from));
  }

  std::string dir;
};

}  // namespace

TEST_F(RenderCli, RendersTheDemoWithoutAnyArguments) {
  const std::string wav = dir + "/demo.wav";
  Result r = run({"-o", wav, "--seed", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("demo"), std::string::npos);
  int rate = 0;
  auto audio = readWav(wav, rate);
  EXPECT_EQ(rate, 48000);
  EXPECT_GT(audio.size(), 50u * 48000);
  EXPECT_LT(audio.size(), 70u * 48000);
  for (size_t second = 1; second + 1 < audio.size() / 48000 - 3; ++second)
    EXPECT_GT(rms(audio, second * 48000, (second + 1) * 48000), 0.01) << "silent at " << second << " s";
  // The same seed renders the same file (controllers such as the demo's
  // modulation wheel act at slice starts counted from the host's blocks,
  // so the block size stays the same too).
  ASSERT_EQ(run({"-o", dir + "/again.wav", "--seed", "5"}).status, 0);
  EXPECT_TRUE(slurp(wav) == slurp(dir + "/again.wav"));
}

TEST_F(RenderCli, PlaysAFormatOneFileWithATempoChange) {
  // 480 ticks per quarter, 120 bpm, then 60 bpm from tick 960 (1 s): tick
  // 1440 is at 2 s and tick 1920 at 3 s. The note sounds from 2 s, not before.
  std::vector<std::vector<MidiTrackEvent>> tracks(2);
  tracks[0].push_back({0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}});
  tracks[0].push_back({960, {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}});
  tracks[1].push_back({1440, {0x90, 57, 100}});
  tracks[1].push_back({1920, {0x80, 57, 0}});
  const std::string mid = dir + "/tempo.mid", wav = dir + "/tempo.wav";
  write(mid, writeMidiFile(1, 480, tracks));
  Result r = run({mid, "-o", wav, "--tail", "0.5", "-r", "44100"});
  ASSERT_EQ(r.status, 0) << r.err;
  int rate = 0;
  auto audio = readWav(wav, rate);
  EXPECT_EQ(rate, 44100);
  EXPECT_NEAR(audio.size() / 44100.0, 3.5, 0.01);  // the note ends at 3 s, then the tail
  EXPECT_LT(rms(audio, 44100, 88000), 0.001);
  EXPECT_GT(rms(audio, 88400, 120000), 0.05);
}

TEST_F(RenderCli, ListsTheParameters) {
  Result r = run({"--list-params"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Osc-1 Waveform"), std::string::npos);
  EXPECT_NE(r.out.find("Sawtooth-Triangular"), std::string::npos);
  EXPECT_NE(r.out.find("46   Loudness Sustain"), std::string::npos);
}

TEST_F(RenderCli, ListsAndPlaysTheFactoryPrograms) {
  Result r = run({"--list-programs"});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Fat Bass"), std::string::npos);
  EXPECT_NE(r.out.find("Filter Whistle"), std::string::npos);

  std::vector<std::vector<MidiTrackEvent>> tracks(1);
  tracks[0].push_back({0, {0x90, 40, 100}});
  tracks[0].push_back({480, {0x80, 40, 0}});
  const std::string mid = dir + "/one.mid";
  write(mid, writeMidiFile(0, 480, tracks));
  // By name, in any letter case; the saved program carries its values and name.
  const std::string saved = dir + "/fat.fxp";
  r = run({mid, "-o", dir + "/fat.wav", "--seed", "2", "-p", "fat bass", "--save-program", saved});
  ASSERT_EQ(r.status, 0) << r.err;
  int rate = 0;
  std::vector<float> fat = readWav(dir + "/fat.wav", rate);
  const std::string file = slurp(saved);
  EXPECT_EQ(file.substr(28, 8), "Fat Bass");
  r = run({mid, "-o", dir + "/pluck.wav", "--seed", "2", "--program", "Pluck Bass"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(readWav(dir + "/pluck.wav", rate), fat);

  r = run({mid, "-o", dir + "/none.wav", "-p", "No Such Sound"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no factory program is named \"No Such Sound\""), std::string::npos);
}

TEST_F(RenderCli, SetsParametersByNameNumberAndListText) {
  std::vector<std::vector<MidiTrackEvent>> tracks(1);
  tracks[0].push_back({0, {0x90, 48, 100}});
  tracks[0].push_back({480, {0x80, 48, 0}});
  const std::string mid = dir + "/one.mid";
  write(mid, writeMidiFile(0, 480, tracks));
  Result r = run({mid, "-o", dir + "/square.wav", "--set", "Osc-1 Waveform=Square", "-s", "38=0.4", "-s",
                  "voltage=220V/50Hz"});
  EXPECT_EQ(r.status, 0) << r.err;
  int rate = 0;
  EXPECT_FALSE(readWav(dir + "/square.wav", rate).empty());
}

TEST_F(RenderCli, ProgramFilesGoInAndComeOut) {
  const std::string saved = dir + "/saved.fxp", again = dir + "/again.fxp";
  Result r = run({"-o", dir + "/a.wav", "--seed", "3", "-s", "Cutoff=0.3", "--save-program", saved});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::filesystem::file_size(saved), 506u);
  // Loaded into another render and saved again: the same program, broken
  // controls included, although that render draws its own.
  r = run({"-o", dir + "/b.wav", "--seed", "4", "-p", saved, "--save-program", again});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(slurp(saved) == slurp(again));
  write(dir + "/junk.fxp", {'C', 'c', 'n', 'K', 1, 2, 3});
  r = run({"-p", dir + "/junk.fxp", "-o", dir + "/c.wav"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("junk.fxp"), std::string::npos);
}

TEST_F(RenderCli, BadInputGetsAClearMessageAndStatusTwo) {
  write(dir + "/garbled.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 9});
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"-s", "Cutof=0.3"}, "unknown parameter"},
      {{"-s", "Osc-1 Waveform=Sine"}, "Sine"},
      {{"-s", "Cutoff=7"}, "outside"},
      {{"-s", "Cutoff"}, "NAME=VALUE"},
      {{dir + "/missing.mid"}, "cannot read"},
      {{dir + "/garbled.mid"}, "garbled.mid"},
      {{"-o", dir + "/no/such/folder/out.wav"}, "cannot write"},
      {{"--rate", "fast"}, "--rate"},
      {{"--bogus"}, "unknown option"},
  };
  for (const auto& c : cases) {
    Result r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

// A valid file whose one note ends 0x0FFFFFFF ticks of a quarter note of
// 0xFFFFFF microseconds after it starts (about 4.5e9 s): the renderer says
// it is too long, with status 2, and the WAV already there stays whole.
TEST_F(RenderCli, ASongOfMoreThanAnHourIsRefusedAndTheOldFileKept) {
  const std::vector<uint8_t> song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 1,
                                     'M', 'T', 'r', 'k', 0, 0, 0, 22,
                                     0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF,  // slowest tempo
                                     0x00, 0x90, 69, 100,
                                     0xFF, 0xFF, 0xFF, 0x7F, 0x80, 69, 0,  // 0x0FFFFFFF ticks later
                                     0x00, 0xFF, 0x2F, 0x00};
  const std::string mid = dir + "/song.mid", wav = dir + "/keep.wav";
  write(mid, song);
  write(wav, {'o', 'l', 'd'});
  const Result r = run({mid, "-o", wav});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("one hour"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(wav), "old");
  EXPECT_EQ(filesStartingWith(".keep.wav"), 0);
}

// Interrupted half way (Ctrl-C), the renderer stops, says so, removes what
// it wrote and leaves the old WAV as it was.
TEST_F(RenderCli, AnInterruptedRenderLeavesTheOldFile) {
  const std::string mid = songOf(1800), wav = dir + "/keep.wav";
  write(wav, {'o', 'l', 'd'});
  const pid_t pid = start({mid, "-o", wav});
  ASSERT_GT(pid, 0);
  // Once it is rendering: its temporary file exists.
  for (int i = 0; i < 200 && filesStartingWith(".keep.wav") == 0; ++i) usleep(10000);
  usleep(300000);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_NE(slurp(dir + "/stderr").find("interrupted"), std::string::npos);
  EXPECT_EQ(slurp(wav), "old");
  EXPECT_EQ(filesStartingWith(".keep.wav"), 0);
}

// A finished render takes the old file's place whole, and what it holds in
// memory does not grow with the song: five minutes of 48 kHz audio alone
// would be 58 MB as floats (173 MB with the stereo copy), against ten
// seconds.
TEST_F(RenderCli, ALongRenderReplacesTheFileWithBoundedMemory) {
  const auto peakOf = [&](double seconds, const std::string& wav) -> long {
    const pid_t pid = start({songOf(seconds), "-o", wav, "--tail", "0"});
    if (pid <= 0) return -1;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;  // kB
  };
  const std::string wav = dir + "/keep.wav";
  write(wav, {'o', 'l', 'd'});
  const long shortPeak = peakOf(10, dir + "/short.wav");
  const long longPeak = peakOf(300, wav);
  ASSERT_GT(shortPeak, 0) << slurp(dir + "/stderr");
  ASSERT_GT(longPeak, 0) << slurp(dir + "/stderr");
  EXPECT_LT(longPeak - shortPeak, 16 * 1024) << shortPeak << " kB, then " << longPeak << " kB";
  int rate = 0;
  EXPECT_NEAR(readWav(wav, rate).size() / 48000.0, 300, 0.01);
  EXPECT_EQ(filesStartingWith(".keep.wav"), 0);
}

TEST_F(RenderCli, TheRateIsAWholeNumberOfHertz) {
  const Result r = run({"-r", "44100.5", "-o", dir + "/x.wav"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("whole number"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir + "/x.wav"));
}
