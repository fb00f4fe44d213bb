// The platform drawing services of the substitute host for composited faces: cairo image
// surfaces named by 32-bit handles, the fonts that IMpGuiHost::getFontInfo hands out, and the
// three C functions pqdc_set_pixel, pqdc_fill_path and pqdc_draw_text that faces find in
// the process (runtime/gui/device_context.h has the contract). Every executable that links
// this library exports the three functions (pqdc_exports.list). [GUI thread]
#pragma once

#include <cairo.h>
#include <cstdint>

#include "runtime/gui/style_sheet.h"

namespace pqhost {

// A new transparent ARGB surface and its handle (never 0), or 0 when cairo cannot make it.
int32_t createCompositedSurface(int width, int height);
// Forgets the handle and destroys its surface; an unknown handle is ignored.
void destroyCompositedSurface(int32_t handle);
// The surface of a handle, or null.
cairo_surface_t* compositedSurface(int32_t handle);

// The font handle for a style: its first family, pixel height as the size, bold, light and
// italic. Owned by the host and valid until the process ends; equal styles share one.
void* compositedFont(const TextStyle& style);

} // namespace pqhost
