// SPDX-License-Identifier: ISC
// Fonts loaded from files through FreeType and registered under an
// identifier; text styles name fonts by that identifier.
#pragma once

#include <cairo.h>

#include <map>
#include <string>

class FontRegistry {
 public:
  FontRegistry() = default;
  ~FontRegistry();
  FontRegistry(const FontRegistry&) = delete;
  FontRegistry& operator=(const FontRegistry&) = delete;

  // Loads the font file and registers it as `id`; false if it cannot be read.
  bool load(const std::string& id, const std::string& path);
  // The registered face, or nullptr (the caller then uses Cairo's default).
  cairo_font_face_t* face(const std::string& id) const;

 private:
  std::map<std::string, cairo_font_face_t*> faces;
};
