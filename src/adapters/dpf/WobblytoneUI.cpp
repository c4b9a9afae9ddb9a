// SPDX-License-Identifier: ISC
// The DGL Cairo UI: hosts the editor's graphics context in a DPF window.
// It turns DGL's mouse events into the toolkit's, draws the panel with the
// window's Cairo context, calls the editor's idle update every 20 ms and
// asks the window to redraw only what changed. Parameters go to the host,
// notes through DPF's MIDI path; engine flags are read through direct access.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "DistrhoPluginUtils.hpp"
#include "DistrhoUI.hpp"
#include "adapters/dpf/plugin_access.h"
#include "editor/wobblytone_editor.h"
#include "platform/desktop.h"

START_NAMESPACE_DISTRHO

class WobblytoneUI : public UI, private IPlatform, private EditorLink, private IdleCallback {
 public:
  WobblytoneUI() : UI(kWindowDefaultWidth, kWindowDefaultHeight) {
    // Without an X display there is no window to size or draw (the
    // standalone app started from a console, DPF's self-test): the editor
    // then runs without one.
    const char* display = std::getenv("DISPLAY");
    hasWindow = display && *display;
    void* instance = getPluginInstancePointer();
    engine = wobblytoneEngineOf(instance);
    if (!engine) return;
    EditorLink& link = *this;
    IPlatform& platform = *this;
    editor = std::make_unique<WobblytoneEditor>(*engine, link, platform, wobblytoneResourcesOf(instance));
    const IGraphics& g = editor->graphics();
    if (hasWindow) {
      // Hosts and window managers may resize the window from 25 % of the
      // full panel up, keeping its shape; the panel follows (onResize).
      setGeometryConstraints(kMinimumWidth, kMinimumHeight, true);
      setSize(static_cast<uint>(g.WindowWidth()), static_cast<uint>(g.WindowHeight()));
    }
    getWindow().addIdleCallback(this, WobblytoneEditor::kIdleMs);
  }

  ~WobblytoneUI() override {
    getWindow().removeIdleCallback(this);
    pendingFile = nullptr;
    editor.reset();
  }

 protected:
  // --- DPF

  // The editor reads every value from the engine at its idle tick, whoever
  // changed it (the host, the engine, a learned controller), so the host's
  // own notice adds nothing.
  void parameterChanged(uint32_t, float) override {}
  // A program shows in the editor when the engine has applied it (onIdle).
  void programLoaded(uint32_t) override {}

  void stateChanged(const char*, const char*) override {}

  // The window took a new size (from the host, the window manager, or our
  // own request): the panel fills it.
  void onResize(const ResizeEvent& ev) override {
    UI::onResize(ev);
    if (editor && hasWindow)
      editor->followWindowSize(static_cast<int>(ev.size.getWidth()), static_cast<int>(ev.size.getHeight()));
  }

  void onCairoDisplay(const CairoGraphicsContext& context) override {
    if (!editor) return;
    cairo_t* cr = context.handle;
    // A host may give the window another shape than the panel's: the rest
    // of it is black, not what was there before.
    const IGraphics& g = editor->graphics();
    if (static_cast<int>(getWidth()) > g.WindowWidth() || static_cast<int>(getHeight()) > g.WindowHeight()) {
      cairo_save(cr);
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_rectangle(cr, g.WindowWidth(), 0, getWidth(), getHeight());
      cairo_rectangle(cr, 0, g.WindowHeight(), g.WindowWidth(), getHeight());
      cairo_fill(cr);
      cairo_restore(cr);
    }
    // The window may have lost any part of its contents: draw everything
    // inside the area being exposed (Cairo clips the rest).
    editor->graphics().Draw(cr, true);
  }

  bool onMouse(const MouseEvent& ev) override {
    if (!editor) return false;
    // DGL numbers the buttons left 1, right 2, middle 3 (not X11's order).
    IMouseMod mod = modifiers(ev.mod);
    if (ev.button == kMouseButtonLeft) mod.L = true;
    if (ev.button == kMouseButtonRight) mod.R = true;
    if (!mod.L && !mod.R) return false;
    const float x = static_cast<float>(ev.pos.getX()), y = static_cast<float>(ev.pos.getY());
    IGraphics& g = editor->graphics();
    if (ev.press) {
      buttons = mod;
      const double now = nowMs();
      const bool twice = now - lastPress < 350 && std::abs(x - lastX) < 4 && std::abs(y - lastY) < 4;
      lastPress = twice ? 0 : now;
      lastX = x;
      lastY = y;
      if (twice)
        g.OnMouseDblClick(x, y, mod);
      else
        g.OnMouseDown(x, y, mod);
    } else {
      buttons = IMouseMod{};
      g.OnMouseUp(x, y, mod);
    }
    repaintDirty();
    return true;
  }

  bool onMotion(const MotionEvent& ev) override {
    if (!editor) return false;
    IMouseMod mod = modifiers(ev.mod);
    mod.L = buttons.L;
    mod.R = buttons.R;
    editor->graphics().OnMouseMove(static_cast<float>(ev.pos.getX()), static_cast<float>(ev.pos.getY()), mod);
    repaintDirty();
    return true;
  }

  bool onScroll(const ScrollEvent& ev) override {
    if (!editor) return false;
    editor->graphics().OnMouseWheel(static_cast<float>(ev.pos.getX()), static_cast<float>(ev.pos.getY()),
                                    modifiers(ev.mod), static_cast<float>(ev.delta.getY()));
    repaintDirty();
    return true;
  }

  void uiFileBrowserSelected(const char* filename) override {
    if (!pendingFile) return;
    auto done = std::move(pendingFile);
    pendingFile = nullptr;
    std::string path = filename ? filename : "";
    if (!path.empty() && pendingSave && !pendingExtension.empty() && pendingExtension != " ") {
      const std::string suffix = "." + pendingExtension;
      if (path.size() < suffix.size() || path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        path += suffix;
    }
    done(path);
    repaintDirty();
  }

 private:
  // --- the editor's window

  // The panel changed its scale (the corner, the size menu): the window is
  // asked for that size; the host may grant it later.
  void resizeWindow(int width, int height) override {
    if (!hasWindow || width <= 1 || height <= 1 ||
        (static_cast<int>(getWidth()) == width && static_cast<int>(getHeight()) == height))
      return;
    // LV2 hosts built on suil (jalv, Ardour) size the embedding widget from
    // the editor window's minimum-size hint and not from ui:resize, and give
    // the editor back the host window's size: to grow, the editor's minimum
    // is, for a moment, the size it asks for (see idleCallback).
    if (isLv2 && (static_cast<uint>(width) > getWidth() || static_cast<uint>(height) > getHeight())) {
      setGeometryConstraints(static_cast<uint>(width), static_cast<uint>(height), true);
      growTicks = kGrowTicks;
    }
    setSize(static_cast<uint>(width), static_cast<uint>(height));
  }
  void setCursor(ECursor cursor) override {
    if (hasWindow) getWindow().setCursor(cursor == ECursor::HAND ? kMouseCursorHand : kMouseCursorArrow);
  }
  bool openURL(const std::string& url) override { return openWithDesktop(url); }
  void promptForFile(const FileDialogRequest& request, std::function<void(const std::string&)> done) override {
    FileBrowserOptions options;
    options.saving = request.action == EFileAction::Save;
    options.defaultName = request.proposedName.empty() ? nullptr : request.proposedName.c_str();
    options.startDir = request.folder.empty() ? nullptr : request.folder.c_str();
    options.title = options.saving ? "Save" : "Open";
    pendingSave = options.saving;
    pendingExtension = request.extension;
    pendingFile = std::move(done);
    if (!openFileBrowser(options)) {
      auto failed = std::move(pendingFile);
      pendingFile = nullptr;
      failed("");
    }
  }
  bool windowIsOpen() const override { return editor != nullptr; }
  void requestRedraw() override {}
  double nowMs() const override {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }

  // --- to the host

  void sendParameter(int paramIdx, double normalized) override {
    if (const IParam* p = engine->GetParam(paramIdx))
      setParameterValue(static_cast<uint32_t>(paramIdx), static_cast<float>(p->FromNormalized(normalized)));
  }
  void beginGesture(int paramIdx) override { editParameter(static_cast<uint32_t>(paramIdx), true); }
  void endGesture(int paramIdx) override { editParameter(static_cast<uint32_t>(paramIdx), false); }
  void sendNote(int note, bool on) override { UI::sendNote(0, static_cast<uint8_t>(note), on ? 127 : 0); }

  // --- every 20 ms

  void idleCallback() override {
    if (!editor) return;
    // Once the host had time to grow its window, the window manager and the
    // host may make it smaller again, down to 25 %.
    if (growTicks > 0 && --growTicks == 0) setGeometryConstraints(kMinimumWidth, kMinimumHeight, true);
    editor->onIdle();
    repaintDirty();
  }

  // Only the changed area is redrawn: an idle panel costs nothing.
  void repaintDirty() {
    IRECT area;
    if (!editor || !hasWindow || !editor->graphics().IsDirty(area)) return;
    const IRECT px = area.GetPixelAligned(editor->graphics().GetDrawScale());
    repaint(Rectangle<uint>(static_cast<uint>(px.L), static_cast<uint>(px.T), static_cast<uint>(px.W()),
                            static_cast<uint>(px.H())));
  }

  static IMouseMod modifiers(uint mod) {
    IMouseMod m;
    m.S = (mod & kModifierShift) != 0;
    m.C = (mod & kModifierControl) != 0;
    m.A = (mod & kModifierAlt) != 0;
    return m;
  }

  // 25 % of the full panel, the smallest scale the corner allows.
  static constexpr uint kMinimumWidth = 488, kMinimumHeight = 254;
  // Idle ticks (20 ms each) for which a growing LV2 editor holds its raised minimum size.
  static constexpr int kGrowTicks = 10;
  const bool isLv2 = std::strcmp(getPluginFormatName(), "LV2") == 0;
  int growTicks = 0;

  bool hasWindow = false;
  Wobblytone* engine = nullptr;
  std::unique_ptr<WobblytoneEditor> editor;
  IMouseMod buttons;
  double lastPress = 0;
  float lastX = 0, lastY = 0;
  std::function<void(const std::string&)> pendingFile;
  bool pendingSave = false;
  std::string pendingExtension;

  DISTRHO_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(WobblytoneUI)
};

UI* createUI() { return new WobblytoneUI(); }

END_NAMESPACE_DISTRHO
