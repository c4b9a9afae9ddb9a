// SPDX-License-Identifier: ISC
// The standalone app as a user runs it: a JACK server of the test's own (the
// dummy driver), the app started as a separate process, and a JACK client of
// the test that sends it MIDI and listens to its outputs.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

pid_t spawn(const std::vector<std::string>& args, const std::string& log) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen(log.c_str(), "w", stdout);
    std::freopen(log.c_str(), "a", stderr);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(100ms);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// The test's own client: a MIDI output and two audio inputs.
class Probe {
 public:
  bool open() {
    for (int attempt = 0; attempt < 100 && !client; ++attempt) {
      client = jack_client_open("probe", JackNoStartServer, nullptr);
      if (!client) std::this_thread::sleep_for(100ms);
    }
    if (!client) return false;
    midiOut = jack_port_register(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    in[0] = jack_port_register(client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in[1] = jack_port_register(client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &Probe::process, this);
    return midiOut && in[0] && in[1] && jack_activate(client) == 0;
  }
  ~Probe() {
    if (client) jack_client_close(client);
  }

  bool waitForPort(const char* name) {
    for (int i = 0; i < 100; ++i) {
      if (jack_port_by_name(client, name)) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  // Queues a three-byte message for the next cycle and waits until it went out.
  void send(uint8_t status, uint8_t data1, uint8_t data2) {
    pending[0] = status;
    pending[1] = data1;
    pending[2] = data2;
    hasPending = true;
    while (hasPending) std::this_thread::sleep_for(5ms);
  }

  // Energy of the left input over the next `duration`.
  double listen(std::chrono::milliseconds duration) {
    energy = 0;
    std::this_thread::sleep_for(duration);
    return energy;
  }

  jack_client_t* client = nullptr;

 private:
  static int process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<Probe*>(arg);
    void* midi = jack_port_get_buffer(self->midiOut, frames);
    jack_midi_clear_buffer(midi);
    if (self->hasPending) {
      jack_midi_event_write(midi, 0, self->pending, 3);
      self->hasPending = false;
    }
    const auto* left = static_cast<const float*>(jack_port_get_buffer(self->in[0], frames));
    double sum = 0;
    for (jack_nframes_t i = 0; i < frames; ++i) sum += double(left[i]) * left[i];
    self->energy = self->energy + sum;
    return 0;
  }

  jack_port_t* midiOut = nullptr;
  jack_port_t* in[2] = {nullptr, nullptr};
  uint8_t pending[3] = {};
  std::atomic<bool> hasPending{false};
  std::atomic<double> energy{0};
};

}  // namespace

TEST(Standalone, SoundsUnderAJackServerWhenMidiArrives) {
  const std::string server = "wobblytone-test-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  setenv("JACK_NO_START_SERVER", "1", 1);

  // The user's configuration binds controllers 20 and 21 to Power and Voltage.
  const std::string folder = std::string(std::getenv("HOME")) + "/Music/MarlpitMusic";
  ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
  std::ofstream(folder + "/wobblytone.ini") << "[MIDI Control]\nCC20=0\nCC21=1\n";

  const std::string logs = std::string(std::getenv("HOME")) + "/";
  const pid_t jackd = spawn({"/usr/bin/jackd", "--no-realtime", "-n", server, "-d", "dummy", "-r", "48000", "-p", "256"},
                            logs + "jackd.log");
  Probe probe;
  ASSERT_TRUE(probe.open()) << "no JACK server";
  const pid_t app = spawn({WOBBLYTONE_STANDALONE}, logs + "standalone.log");
  ASSERT_TRUE(probe.waitForPort("Wobblytone:events-in")) << "the app did not register its ports";
  ASSERT_EQ(jack_connect(probe.client, "probe:midi_out", "Wobblytone:events-in"), 0);
  ASSERT_EQ(jack_connect(probe.client, "Wobblytone:audio_out_1", "probe:in_1"), 0);
  ASSERT_EQ(jack_connect(probe.client, "Wobblytone:audio_out_2", "probe:in_2"), 0);

  EXPECT_LT(probe.listen(300ms), 1e-9);  // switched off: silent
  probe.send(0xB0, 21, 127);            // 220V/50Hz
  probe.send(0xB0, 20, 127);            // power on
  const double idle = probe.listen(300ms);
  probe.send(0x90, 48, 100);
  const double playing = probe.listen(500ms);
  probe.send(0x80, 48, 0);
  EXPECT_GT(playing, 10.0);
  EXPECT_GT(playing, 20 * idle);

  stop(app);
  jack_client_close(probe.client);
  probe.client = nullptr;
  stop(jackd);
}
