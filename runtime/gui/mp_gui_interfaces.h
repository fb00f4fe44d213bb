// Every GUI-side interface of the boundary, for code that wants them all:
//   mp_gui_module_interfaces.h      what a GUI module offers the host
//   mp_gui_host_interfaces.h        the host's GUI services, texts and resource streams
//   mp_gui_drawing_interfaces.h     drawing value types and interfaces
//   mp_gui_composited_interfaces.h  faces painted into a device context
#pragma once

#include "runtime/gui/mp_gui_composited_interfaces.h"
#include "runtime/gui/mp_gui_drawing_interfaces.h"
#include "runtime/gui/mp_gui_host_interfaces.h"
#include "runtime/gui/mp_gui_module_interfaces.h"
