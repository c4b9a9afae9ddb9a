// SPDX-License-Identifier: ISC
#include "adapters/offline/render_job.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/headless_host.h"
#include "framework/plugin_base.h"

double songSeconds(const std::vector<RenderEvent>& events) {
  double last = 0;
  for (const RenderEvent& e : events)
    if (std::isfinite(e.seconds) && e.seconds > last) last = e.seconds;
  return last;
}

bool renderSong(IPluginBase& plugin, const std::vector<RenderEvent>& unsorted, const RenderSettings& settings,
                const RenderSink& sink, const std::function<void(double)>& progress) {
  const double last = songSeconds(unsorted);
  if (last > kLongestSongSeconds) return false;
  struct Timed {
    long frame;
    const RenderEvent* event;
  };
  std::vector<Timed> events;
  events.reserve(unsorted.size());
  for (const RenderEvent& e : unsorted) {
    const double seconds = std::isfinite(e.seconds) && e.seconds > 0 ? e.seconds : 0;
    events.push_back({std::lround(seconds * settings.sampleRate), &e});
  }
  std::stable_sort(events.begin(), events.end(), [](const Timed& a, const Timed& b) { return a.frame < b.frame; });

  const long total = std::lround((last + std::max(0.0, settings.tailSeconds)) * settings.sampleRate);
  const int block = std::max(1, settings.blockSize);
  HeadlessHost host(plugin);
  host.prepare(settings.sampleRate, block);
  host.activate();

  std::vector<float> left(static_cast<size_t>(block));
  std::vector<float> right(static_cast<size_t>(block));
  std::vector<IMidiMsg> midi;
  midi.reserve(4096);
  size_t next = 0;
  long now = 0;
  long reported = 0;
  while (now < total) {
    // Parameter changes take effect on their own frame: a block ends there.
    while (next < events.size() && events[next].frame <= now && events[next].event->param >= 0) {
      const RenderEvent& e = *events[next++].event;
      if (const IParam* p = plugin.GetParam(e.param)) plugin.OnParamChangeFromHost(e.param, p->ToNormalized(e.value));
    }
    long end = std::min(total, now + block);
    for (size_t j = next; j < events.size() && events[j].frame < end; ++j)
      if (events[j].event->param >= 0) {
        end = std::max(now + 1, events[j].frame);
        break;
      }
    midi.clear();
    while (next < events.size() && events[next].frame < end && events[next].event->param < 0) {
      IMidiMsg m = events[next].event->msg;
      m.mOffset = static_cast<int32_t>(std::max(0L, events[next].frame - now));
      midi.push_back(m);
      ++next;
    }
    const int n = static_cast<int>(end - now);
    host.process(midi.data(), static_cast<int>(midi.size()), left.data(), right.data(), n);
    if (!sink(left.data(), n)) return false;
    now = end;
    if (progress && now - reported >= static_cast<long>(settings.sampleRate)) {
      reported = now;
      progress(static_cast<double>(now) / total);
    }
  }
  if (progress) progress(1.0);
  return true;
}

bool parseParameterSetting(const IPluginBase& plugin, const std::string& setting, int& paramIdx,
                           double& plainValue, std::string& error) {
  const size_t eq = setting.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "expected NAME=VALUE, got \"" + setting + "\"";
    return false;
  }
  const std::string name = setting.substr(0, eq);
  const std::string value = setting.substr(eq + 1);
  paramIdx = -1;
  for (int i = 0; i < plugin.NParams(); ++i)
    if (strcasecmp(plugin.GetParam(i)->GetName(), name.c_str()) == 0) paramIdx = i;
  if (paramIdx < 0) {
    char* end = nullptr;
    const long number = std::strtol(name.c_str(), &end, 10);
    if (*end == '\0' && number >= 1 && number <= plugin.NParams()) paramIdx = static_cast<int>(number - 1);
  }
  if (paramIdx < 0) {
    error = "unknown parameter \"" + name + "\" (--list-params shows them)";
    return false;
  }
  const IParam* p = plugin.GetParam(paramIdx);
  if (!p->ParseDisplay(value.c_str(), plainValue)) {
    error = "\"" + value + "\" is no value of \"" + p->GetName() + "\"";
    if (p->NDisplayTexts() > 0) {
      error += ": one of";
      for (int i = 0; i < p->NDisplayTexts(); ++i) error += std::string(i ? ", \"" : " \"") + p->GetDisplayText(i) + "\"";
    }
    return false;
  }
  if (plainValue < p->GetMin() || plainValue > p->GetMax()) {
    WDL_String lo, hi;
    p->GetDisplay(p->GetMin(), false, lo);
    p->GetDisplay(p->GetMax(), false, hi);
    error = "\"" + value + "\" is outside \"" + p->GetName() + "\" (" + lo.Get() + " to " + hi.Get() + ")";
    return false;
  }
  return true;
}
