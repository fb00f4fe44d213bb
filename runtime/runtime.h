// The module runtime: where everything is.
//
// The boundary (shared with every host; slot order is the contract):
//   runtime/audio/mp_abi.h           Guid, IMpUnknown, MpEvent and every code: results, subtypes,
//                                    events, pin datatypes and directions, the Shift bit, sleep
//                                    modes; the one queryInterface answer
//   runtime/audio/mp_interfaces.h    IMpFactory, IMpFactory2, IMpAudioHost, IMpPlugin, IMpPlugin2
//   runtime/gui/mp_gui_interfaces.h  all GUI-side interfaces, from four headers:
//     mp_gui_module_interfaces.h       IMpUserInterface, IMpUserInterface2(B), IMpGraphics2
//     mp_gui_host_interfaces.h         IMpGuiHost(2), IMpGraphicsHost, IString, IMpResourceStream
//     mp_gui_drawing_interfaces.h      drawing value types and interfaces (gmpi_gui_api)
//     mp_gui_composited_interfaces.h   IQmGraphicsComposited, IMpGraphicsHostComposited
// The headers above are edition-free: hosts compile them too.
//
// Describing a module:
//   runtime/pin_table.h              a module's pin table and description, attachPins; the
//                                    library file's descriptions are written from it
//
// The audio side:
//   runtime/audio/mp_factory.h       MpFactory and its registry, MP_GetFactory
//   runtime/audio/mp_registration.h  PQ_REGISTER_MODULE(Class): registers and describes a module
//   runtime/audio/mp_plugin_base.h   MpPluginBase: interfaces, reference count, host
//   runtime/audio/mp_base.h          MpBase: block splitting, instants, block routines, sleeping
//   runtime/audio/mp_pins.h          AudioInPin, AudioOutPin, MpControlPin (int, float, MpBlob)
//
// The GUI side:
//   runtime/gui/mp_gui_pins.h        MpGuiPin<T>, StringGuiPin, change routines, GuiPinOwner
//   runtime/gui/mp_gui_base.h        MpGuiBase: legacy modules
//   runtime/gui/mp_gui_base2.h       MpGuiBase2, QmGuiInvisibleBase, MpGuiGfxBase: newest modules, faces
//   runtime/gui/mp_gui_drawing.h     MpString, srgbToLinearTable, colorFromArgbText, drawing wrappers
//   runtime/gui/style_sheet.h        TextStyle and the reader of the host skin's style sheet
//   runtime/gui/font_cache.h         FontCache, FontCacheClient: text styles and host text formats
//   runtime/gui/composited_gfx_base.h  QmGuiCompositedGfxBase: composited faces (earlier edition)
//   runtime/gui/face_base.h        pq::gui::FaceBase: the face base of the edition being built
//   runtime/gui/device_context.h     the platform drawing services (pqdc_*) and DeviceContext,
//                                    the one layer composited faces paint through
//
// Editions (runtime/audio/edition.h). Every runtime and module source is compiled once per
// edition; a deliverable picks one in libraries/<name>/CMakeLists.txt:
//   newest  (pq_Modules): IMpFactory2; audio modules IMpPlugin + IMpPlugin2 + setHost, count
//           from 1; GUI modules IMpUserInterface2B / IMpGraphics2 or the legacy base with
//           IoldSchoolInitialisation.
//   earlier (single-module libraries): IMpFactory only, keyed by identifier with one create
//           function per subtype; the host is handed to the new module, counts start at 0;
//           legacy GUI pins hold their routine and count a NaN as different.
// Module-level differences of the single-module builds test pq::kSingleModuleBuild by name.
//
// Threads: audio-module calls come on the host's audio thread, GUI-module calls on its GUI
// thread; nothing in the runtime locks. Objects handed across the boundary carry one
// reference for the receiver.
#pragma once

#include "runtime/audio/mp_abi.h"
#include "runtime/audio/mp_interfaces.h"
#include "runtime/gui/mp_gui_interfaces.h"
