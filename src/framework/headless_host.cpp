// SPDX-License-Identifier: ISC
#include "framework/headless_host.h"

void HeadlessHost::prepare(double sampleRate, int maxBlockSize, int maxEventsPerBlock) {
  mMaxBlock = maxBlockSize > 0 ? maxBlockSize : 1;
  mLeft.assign(mMaxBlock, 0.0);
  mRight.assign(mMaxBlock, 0.0);
  mSorted.reserve(maxEventsPerBlock > 0 ? maxEventsPerBlock : 1);
  mPlugin.SetSampleRate(sampleRate);
  mPlugin.SetBlockSize(mMaxBlock);
  mPlugin.OnReset();
}

void HeadlessHost::deliverEvents(const IMidiMsg* events, int nEvents) {
  // A stable insertion sort: hosts almost always deliver events in order,
  // which makes this a single pass, and it needs no memory of its own.
  mSorted.clear();
  for (int i = 0; i < nEvents; ++i) {
    mSorted.push_back(events[i]);
    for (size_t j = mSorted.size() - 1; j > 0 && mSorted[j - 1].mOffset > mSorted[j].mOffset; --j)
      std::swap(mSorted[j - 1], mSorted[j]);
  }
  for (const IMidiMsg& msg : mSorted) mPlugin.ProcessMidiMsg(msg);
}

void HeadlessHost::process(const IMidiMsg* events, int nEvents, double* left, double* right, int nFrames) {
  if (nFrames < 0) nFrames = 0;
  if (nFrames > mMaxBlock) prepare(mPlugin.GetSampleRate(), nFrames, static_cast<int>(mSorted.capacity()));
  deliverEvents(events, nEvents);
  double* outputs[2] = {left, right};
  mPlugin.ProcessBlock(nullptr, outputs, nFrames);
}

void HeadlessHost::process(const IMidiMsg* events, int nEvents, float* left, float* right, int nFrames) {
  if (nFrames < 0) nFrames = 0;
  if (nFrames > mMaxBlock) prepare(mPlugin.GetSampleRate(), nFrames, static_cast<int>(mSorted.capacity()));
  process(events, nEvents, mLeft.data(), mRight.data(), nFrames);
  for (int i = 0; i < nFrames; ++i) {
    left[i] = static_cast<float>(mLeft[i]);
    right[i] = static_cast<float>(mRight[i]);
  }
}
