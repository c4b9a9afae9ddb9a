// SPDX-License-Identifier: ISC
// wobblytone-make-artwork FONT RESOURCE_FOLDER SHEET_FOLDER [FILE...]: draws
// every bitmap of the editor into RESOURCE_FOLDER and the contact sheet and
// panel preview into SHEET_FOLDER, creating both. The FILE names, when
// given, are the files the build expects; the tool refuses to run if they
// differ from the ones it draws, so the build's list cannot fall behind.
// It also fails on a layout whose legends collide, after drawing it. On any failure it says
// why on stderr and exits with 2.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "engine_params.h"
#include "layout.h"
#include "legends.h"
#include "panel.h"
#include "sheets.h"
#include "text.h"

namespace {

constexpr const char* kBackground = "back.jpg";
constexpr int kJpegQuality = 92;

bool makeFolder(const std::string& path, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (!ec) return true;
  error = "cannot create folder " + path + ": " + ec.message();
  return false;
}

bool checkExpectedFiles(const std::vector<StripRecipe>& strips, const std::vector<std::string>& expected,
                        std::string& error) {
  std::set<std::string> drawn = {kBackground};
  for (const StripRecipe& s : strips) drawn.insert(s.file);
  const std::set<std::string> wanted(expected.begin(), expected.end());
  std::string diff;
  for (const std::string& f : wanted)
    if (!drawn.count(f)) diff += " " + f + " (expected, not drawn)";
  for (const std::string& f : drawn)
    if (!wanted.count(f)) diff += " " + f + " (drawn, not expected)";
  if (diff.empty()) return true;
  error = "the build's file list differs from the drawn files:" + diff;
  return false;
}

bool run(const std::string& fontPath, const std::string& resources, const std::string& sheets,
         const std::vector<std::string>& expected, std::string& error) {
  const std::unique_ptr<Font> font = Font::load(fontPath, error);
  if (!font) return false;
  const std::vector<StripRecipe> recipes = controlStrips(*font);
  if (!expected.empty() && !checkExpectedFiles(recipes, expected, error)) return false;
  if (!makeFolder(resources, error) || !makeFolder(sheets, error)) return false;

  Image back(Panel::kWidth, Panel::kHeight);
  LegendLog log;
  if (!drawPanel(back, *font, readEngineParameters(), log, error)) return false;
  if (!writeJpeg(back, resources + "/" + kBackground, kJpegQuality, error)) return false;

  std::vector<Image> images;
  images.reserve(recipes.size());
  std::vector<RenderedStrip> strips;
  for (const StripRecipe& recipe : recipes) {
    images.push_back(renderStrip(recipe));
    if (!writePng(images.back(), resources + "/" + recipe.file, error)) return false;
  }
  for (size_t i = 0; i < recipes.size(); ++i) strips.push_back({&recipes[i], &images[i]});
  if (!writePng(makeContactSheet(strips, back, *font), sheets + "/contact_sheet.png", error) ||
      !writePng(makePanelPreview(strips, back), sheets + "/panel_preview.png", error))
    return false;
  // Checked last, so the sheets show what collides.
  const std::vector<std::string> collisions = log.collisions(panelObstacles());
  for (const std::string& c : collisions) std::fprintf(stderr, "wobblytone-make-artwork: %s\n", c.c_str());
  if (collisions.empty()) return true;
  error = "the panel's legends collide (" + std::to_string(collisions.size()) + ")";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: wobblytone-make-artwork FONT RESOURCE_FOLDER SHEET_FOLDER [FILE...]\n");
    return 2;
  }
  std::string error;
  if (!run(argv[1], argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc), error)) {
    std::fprintf(stderr, "wobblytone-make-artwork: %s\n", error.c_str());
    return 2;
  }
  return 0;
}
