// SPDX-License-Identifier: ISC
// Bitmaps: an image whose frames are stacked vertically, loaded once by file
// name (PNG or JPEG) and shared by every control that draws it.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>

class IBitmap {
 public:
  IBitmap() = default;
  // Takes over one reference to `surface`.
  IBitmap(cairo_surface_t* surface, int frames, std::string name);

  bool IsValid() const { return mSurface != nullptr; }
  int N() const { return mFrames; }
  // The size of one frame.
  int W() const { return mFrameW; }
  int FH() const { return mFrameH; }
  // The size of the whole strip.
  int StripH() const { return mFrameH * mFrames; }
  const std::string& Name() const { return mName; }
  cairo_surface_t* Surface() const { return mSurface.get(); }

 private:
  std::shared_ptr<cairo_surface_t> mSurface;
  int mFrames = 1;
  int mFrameW = 0, mFrameH = 0;
  std::string mName;
};

// Reads a PNG (through Cairo) or a JPEG (through libjpeg) into an image
// surface; nullptr with `error` set when the file is missing or malformed.
cairo_surface_t* loadImageFile(const std::string& path, std::string& error);
