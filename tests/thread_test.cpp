// SPDX-License-Identifier: ISC
// Two threads on one instance, as in a host: one plays blocks with dense
// MIDI while the other runs the editor: every menu command with its dialogs
// answered, strip clicks, the wheels, the learn switch, window resizes, the
// idle update and drawing. Built with ThreadSanitizer (WOBBLYTONE_TSAN) it
// must find no race; in the other builds it checks that both threads keep
// going and the output stays clean.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "editor/commands.h"
#include "editor/panel_ids.h"
#include "editor/wobblytone_editor.h"
#include "framework/headless_host.h"
#include "toolkit/offscreen_host.h"
#include "toolkit/overlays.h"

namespace {

// The host's side of the editor link: changes wait in the host's own list
// (under the host's lock, as DPF's wrappers keep them) until the audio thread
// hands them to the engine before a block.
class HostLink : public EditorLink {
 public:
  void sendParameter(int idx, double normalized) override {
    std::lock_guard<std::mutex> lock(mutex);
    parameters.emplace_back(idx, normalized);
  }
  void sendNote(int note, bool on) override {
    std::lock_guard<std::mutex> lock(mutex);
    notes.push_back(on ? IMidiMsg::noteOn(0, note, 127) : IMidiMsg::noteOff(0, note));
  }
  // Audio thread: the waiting parameters go to the engine, the notes join the block.
  void deliver(Wobblytone& synth, std::vector<IMidiMsg>& block) {
    std::lock_guard<std::mutex> lock(mutex);
    for (auto [idx, normalized] : parameters) synth.OnParamChangeFromHost(idx, normalized);
    parameters.clear();
    block.insert(block.end(), notes.begin(), notes.end());
    notes.clear();
  }

 private:
  std::mutex mutex;
  std::vector<std::pair<int, double>> parameters;
  std::vector<IMidiMsg> notes;
};

InstanceInfo seeded() {
  InstanceInfo info;
  info.resourcePath = WOBBLYTONE_TEST_RESOURCES;
  info.randomSeed = 9;
  return info;
}

// Answers whatever message box is open: Yes where there is one, else OK.
void answerBox(IGraphics& g) {
  const MessageBoxOverlay* box = g.CurrentMessageBox();
  if (!box) return;
  IRECT yes, any;
  bool haveYes = false;
  for (const auto& [rect, result] : box->buttons()) {
    any = rect;
    if (result == EMsgBoxResult::Yes) {
      yes = rect;
      haveYes = true;
    }
  }
  const IRECT r = haveYes ? yes : any;
  IMouseMod left;
  left.L = true;
  g.OnMouseDown(r.MW() * g.GetDrawScale(), r.MH() * g.GetDrawScale(), left);
  g.OnMouseUp(r.MW() * g.GetDrawScale(), r.MH() * g.GetDrawScale(), left);
}

}  // namespace

TEST(TwoThreads, TheEditorAndTheAudioThreadShareAnInstance) {
  const std::string home = std::getenv("HOME");
  // The update check fails at once on a closed local port.
  setenv("WOBBLYTONE_UPDATE_URL", "http://127.0.0.1:9/version", 1);
  Wobblytone synth(seeded());
  HeadlessHost host(synth);
  host.prepare(48000, 256);
  host.activate();
  HostLink link;
  OffscreenHost window;
  WobblytoneEditor editor(synth, link, window, WOBBLYTONE_TEST_RESOURCES);
  IGraphics& g = editor.graphics();
  synth.OnParamChangeFromHost(kVoltage, 1.0);
  synth.OnParamChangeFromHost(kPower, 1.0);
  ASSERT_TRUE(synth.SavePresetAsFXP((home + "/threads.fxp").c_str()));

  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<bool> clean{true};
  std::thread audio([&] {
    std::vector<float> left(256), right(256);
    std::vector<IMidiMsg> block;
    block.reserve(1024);
    for (int n = 0; !stop.load(); ++n) {
      block.clear();
      for (int i = 0; i < 256; i += 8) {
        block.push_back(IMidiMsg::noteOn(i, 36 + (n + i) % 48, 100));
        block.push_back(IMidiMsg::controlChange(i + 1, (n + i) % 120, i % 128));
        block.push_back(IMidiMsg::pitchWheel(i + 2, (n * 64 + i) % 16384));
        block.push_back(IMidiMsg::noteOff(i + 5, 36 + (n + i) % 48));
      }
      link.deliver(synth, block);
      host.process(block.data(), static_cast<int>(block.size()), left.data(), right.data(), 256);
      for (float s : left)
        if (!std::isfinite(s)) clean = false;
      blocks.fetch_add(1);
    }
  });

  const File::Command commands[] = {
      File::kCmdInitialize,     File::kCmdLoadProgram, File::kCmdSaveProgram,  File::kCmdDefaultPath,
      File::kCmdReloadConfig,   File::kCmdSaveConfig,  File::kCmdSaveWindowSize, File::kCmdMidiThru,
      File::kCmdIgnoreProgramChange, File::kCmdCheckForUpdate, File::kCmdVisitWebSite};
  IControl* strip = g.GetControlWithTag(kCtrlMessage);
  IControl* learn = g.GetControlWithTag(kCtrlMidiLearn);
  ASSERT_NE(strip, nullptr);
  ASSERT_NE(learn, nullptr);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  long rounds = 0;
  for (; std::chrono::steady_clock::now() < until; ++rounds) {
    const File::Command command = commands[rounds % std::size(commands)];
    window.fileAnswers.push_back(home + "/threads.fxp");
    runCommand(editor.delegate(), g, command);
    for (int i = 0; i < 3; ++i) answerBox(g);
    window.fileAnswers.clear();
    editor.delegate().clickMessage();
    editor.delegate().setPitchBend(std::sin(rounds * 0.1));
    editor.delegate().setModWheel(0.5 + 0.5 * std::cos(rounds * 0.1));
    editor.delegate().doMidiLearn(rounds % 3 == 0);
    if (rounds % 5 == 0) editor.delegate().doMidiUnlearn(rounds % 2 == 0);
    learn->SetValue(rounds % 2);
    editor.followWindowSize(976 / 2 + static_cast<int>(rounds % 400), 508 / 2 + static_cast<int>(rounds % 200));
    if (rounds % 7 == 0) synth.resizeUI(static_cast<GUI::GUISize>(rounds % 6));
    editor.onIdle();
    window.now += 20;
    if (rounds % 4 == 0) window.render(g, rounds % 8 == 0);
  }
  stop = true;
  audio.join();
  EXPECT_GT(rounds, 20);
  EXPECT_GT(blocks.load(), 100);
  EXPECT_TRUE(clean.load());
}
