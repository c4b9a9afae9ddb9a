// SPDX-License-Identifier: ISC
// HeadlessHost: drives a plug-in exactly as a host adapter does, without any
// plug-in format: the offline renderer, the tests and the benchmarks all use it.
#pragma once

#include <vector>

#include "framework/midi.h"
#include "framework/plugin_base.h"

class HeadlessHost {
 public:
  explicit HeadlessHost(IPluginBase& plugin) : mPlugin(plugin) {}

  // Sets the rate and the largest block, then OnReset. Not real-time safe.
  void prepare(double sampleRate, int maxBlockSize, int maxEventsPerBlock = 4096);
  void activate(bool active = true) { mPlugin.OnActivate(active); }

  // One host block: the events (offsets from the block start, in any order)
  // go to ProcessMidiMsg in time order, then ProcessBlock renders nFrames.
  // A block larger than any prepared so far enlarges the buffers and calls
  // OnReset first, as a host framework does. Real-time safe otherwise.
  void process(const IMidiMsg* events, int nEvents, double* left, double* right, int nFrames);
  // The same with float buffers, converted at the edge.
  void process(const IMidiMsg* events, int nEvents, float* left, float* right, int nFrames);

  IPluginBase& plugin() { return mPlugin; }
  int maxBlockSize() const { return mMaxBlock; }

 private:
  void deliverEvents(const IMidiMsg* events, int nEvents);

  IPluginBase& mPlugin;
  int mMaxBlock = 0;
  std::vector<IMidiMsg> mSorted;
  std::vector<double> mLeft, mRight;
};
