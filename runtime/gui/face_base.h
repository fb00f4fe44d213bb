// The base of a module with a face, by runtime edition: the all-module library's faces draw
// through the host's drawing context (gmpi_gui::MpGuiGfxBase, subtype 2); the single-module
// libraries' faces are legacy modules painted into a device context (QmGuiCompositedGfxBase,
// subtype 1). A face written for both editions derives from pq::gui::FaceBase and keeps the
// few drawing and pointer routines that differ under the same edition test.
#pragma once

#include "runtime/gui/composited_gfx_base.h"
#include "runtime/gui/mp_gui_base2.h"

namespace pq::gui {

#if PQ_EDITION_EARLIER
using FaceBase = QmGuiCompositedGfxBase;
#else
using FaceBase = gmpi_gui::MpGuiGfxBase;
#endif

} // namespace pq::gui
