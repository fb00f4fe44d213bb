// The host services lent to one GUI module by a GuiModuleInstance: the module's values go to
// the instance, drawing factories draw with cairo. [GUI thread]
#pragma once

#include "host/gui/gui_host_services.h"

namespace pqhost {

class GuiModuleInstance;

class GuiHost final : public GuiHostServices<GuiHost> {
public:
    explicit GuiHost(GuiModuleInstance& owner) : owner_(owner) {}

    // The value reaches the instance's record, callback and the module's own pin.
    int32_t hostSetPin(int32_t pinId, int32_t size, const void* data);
    // *factory: a new cairo drawing factory with one reference, the caller's.
    int32_t drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory);

private:
    GuiModuleInstance& owner_;
};

} // namespace pqhost
