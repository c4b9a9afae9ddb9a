// SPDX-License-Identifier: ISC
// The plug-in test hosts load and unload the plug-in modules, which bring
// Cairo, pixman and Xlib with them. Using them here keeps them loaded for the
// whole run, as in a real host, so that their start-up allocations are not
// reported as leaks by the sanitizer build when a module is unloaded.
#include <X11/Xlib.h>
#include <cairo.h>

namespace {
const int kCairoVersion = cairo_version();
}  // namespace

// Never called: it only makes the program link Xlib and Cairo.
int librariesForTests(void* x) { return XFree(x) + kCairoVersion; }
