// SPDX-License-Identifier: ISC
// A window without a screen: the graphics context draws into an image, and
// what a real window would do (resize, cursor, browser, file dialogs) is
// recorded or answered from a script. Tests and the screenshot tool use it.
#pragma once

#include <cairo.h>

#include <deque>
#include <string>
#include <vector>

#include "toolkit/platform.h"

class IGraphics;

class OffscreenHost : public IPlatform {
 public:
  OffscreenHost() = default;
  ~OffscreenHost() override;

  // Draws what is dirty (or everything) into the image, which follows the
  // window size.
  void render(IGraphics& g, bool everything = false);
  // Writes the image as PNG; false on failure.
  bool savePNG(const std::string& path) const;
  cairo_surface_t* image() const { return surface; }
  // The pixel at (x, y) as 0xAARRGGBB, 0 outside the image.
  uint32_t pixel(int x, int y) const;

  // Answers for the next file dialogs, in order ("" = cancel).
  std::deque<std::string> fileAnswers;
  std::vector<FileDialogRequest> fileRequests;
  std::vector<std::string> openedURLs;
  ECursor cursor = ECursor::ARROW;
  int width = 0, height = 0;
  int redrawRequests = 0;
  bool open = true;
  double now = 0;  // advanced by the test

  void resizeWindow(int w, int h) override;
  void setCursor(ECursor c) override { cursor = c; }
  bool openURL(const std::string& url) override;
  void promptForFile(const FileDialogRequest& request, std::function<void(const std::string&)> done) override;
  bool windowIsOpen() const override { return open; }
  void requestRedraw() override { ++redrawRequests; }
  double nowMs() const override { return now; }

 private:
  cairo_surface_t* surface = nullptr;
};
