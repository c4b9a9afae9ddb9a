// SPDX-License-Identifier: ISC
// A JACK client of the test's own, for programs that run on a JACK server
// the test started: it sends them MIDI and listens to (and records) their
// audio outputs.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace testutil {

using namespace std::chrono_literals;

// The test's own client: a MIDI output and two audio inputs, which it can
// record (up to a minute, into buffers it holds from the start).
class Probe {
 public:
  Probe() : recorded{std::vector<float>(kCapacity), std::vector<float>(kCapacity)} {}

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

  // Connects two ports, trying again for a while.
  bool connect(const char* from, const char* to) {
    for (int i = 0; i < 100; ++i) {
      const int result = jack_connect(client, from, to);
      if (result == 0 || result == EEXIST) return true;
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

  // Both inputs over the next `duration`, as the server delivered them.
  std::vector<float> record(int channel, std::chrono::milliseconds duration) {
    recordedFrames = 0;
    recording = true;
    std::this_thread::sleep_for(duration);
    recording = false;
    std::this_thread::sleep_for(50ms);  // the cycle under way ends
    lastRecording[0].assign(recorded[0].begin(), recorded[0].begin() + static_cast<long>(recordedFrames.load()));
    lastRecording[1].assign(recorded[1].begin(), recorded[1].begin() + static_cast<long>(recordedFrames.load()));
    return lastRecording[channel];
  }
  // The other channel of the last recording.
  const std::vector<float>& lastRecorded(int channel) const { return lastRecording[channel]; }
  double sampleRate() const { return client ? jack_get_sample_rate(client) : 0; }

  jack_client_t* client = nullptr;

 private:
  static constexpr size_t kCapacity = 60 * 48000;
  static int process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<Probe*>(arg);
    void* midi = jack_port_get_buffer(self->midiOut, frames);
    jack_midi_clear_buffer(midi);
    if (self->hasPending) {
      jack_midi_event_write(midi, 0, self->pending, 3);
      self->hasPending = false;
    }
    const auto* left = static_cast<const float*>(jack_port_get_buffer(self->in[0], frames));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(self->in[1], frames));
    double sum = 0;
    for (jack_nframes_t i = 0; i < frames; ++i) sum += double(left[i]) * left[i];
    self->energy = self->energy + sum;
    if (self->recording) {
      const size_t at = self->recordedFrames;
      const size_t n = std::min<size_t>(frames, kCapacity - at);
      std::copy(left, left + n, self->recorded[0].begin() + static_cast<long>(at));
      std::copy(right, right + n, self->recorded[1].begin() + static_cast<long>(at));
      self->recordedFrames = at + n;
    }
    return 0;
  }

  jack_port_t* midiOut = nullptr;
  jack_port_t* in[2] = {nullptr, nullptr};
  uint8_t pending[3] = {};
  std::atomic<bool> hasPending{false};
  std::atomic<double> energy{0};
  std::vector<float> recorded[2];
  std::vector<float> lastRecording[2];
  std::atomic<size_t> recordedFrames{0};
  std::atomic<bool> recording{false};
};

}  // namespace testutil
