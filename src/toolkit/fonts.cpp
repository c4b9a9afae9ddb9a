// SPDX-License-Identifier: ISC
#include "toolkit/fonts.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>

// The face is described to Cairo by its file, and Cairo opens it with its
// own FreeType library when it first draws. Nothing of this module stays
// behind in Cairo's caches (no FreeType library of ours, no callbacks), so a
// host may unload the plug-in while Cairo still holds the face.
FontRegistry::~FontRegistry() {
  for (auto& [id, face] : faces) cairo_font_face_destroy(face);
}

bool FontRegistry::load(const std::string& id, const std::string& path) {
  if (faces.count(id)) return true;
  // Cairo opens the file lazily: check now that it can be read at all.
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(path.c_str()));
  FcPatternAddInteger(pattern, FC_INDEX, 0);
  cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(pattern);
  FcPatternDestroy(pattern);
  if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(face);
    return false;
  }
  faces[id] = face;
  return true;
}

cairo_font_face_t* FontRegistry::face(const std::string& id) const {
  const auto found = faces.find(id);
  return found == faces.end() ? nullptr : found->second;
}
