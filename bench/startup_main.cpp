// SPDX-License-Identifier: ISC
// Time to construct the first instance of a process (waveform tables,
// phase-increment and ladder tables, clips) and a further one.
#include <chrono>
#include <cstdio>
#include <memory>

#include "instrument/wobblytone.h"

#ifndef WOBBLYTONE_BENCH_RESOURCES
#define WOBBLYTONE_BENCH_RESOURCES ""
#endif

int main() {
  InstanceInfo info;
  info.resourcePath = WOBBLYTONE_BENCH_RESOURCES;
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  auto first = std::make_unique<Wobblytone>(info);
  const auto t1 = Clock::now();
  auto second = std::make_unique<Wobblytone>(info);
  const auto t2 = Clock::now();
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("first instance: %.2f ms, further instance: %.3f ms\n", ms(t1 - t0), ms(t2 - t1));
  return 0;
}
