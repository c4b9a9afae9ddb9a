// SPDX-License-Identifier: ISC
#include "fonts.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>

namespace {

// One FreeType library for the process, never freed: Cairo may keep faces
// in its caches after an editor closes. FreeType wants creating and freeing
// faces serialised.
std::mutex& freetypeLock() {
  static std::mutex lock;
  return lock;
}

FT_Library freetype() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    return lib;
  }();
  return library;
}

const cairo_user_data_key_t kFaceKey{};

void releaseFace(void* face) {
  std::lock_guard<std::mutex> guard(freetypeLock());
  FT_Done_Face(static_cast<FT_Face>(face));
}

}  // namespace

FontRegistry::~FontRegistry() {
  for (auto& [id, face] : faces) cairo_font_face_destroy(face);
}

bool FontRegistry::load(const std::string& id, const std::string& path) {
  if (faces.count(id)) return true;
  FT_Face ftFace = nullptr;
  {
    std::lock_guard<std::mutex> guard(freetypeLock());
    if (!freetype() || FT_New_Face(freetype(), path.c_str(), 0, &ftFace) != 0) return false;
  }
  cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ftFace, 0);
  if (cairo_font_face_set_user_data(face, &kFaceKey, ftFace, releaseFace) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(face);
    releaseFace(ftFace);
    return false;
  }
  faces[id] = face;
  return true;
}

cairo_font_face_t* FontRegistry::face(const std::string& id) const {
  const auto found = faces.find(id);
  return found == faces.end() ? nullptr : found->second;
}
