// The host services lent to one GUI module by a GuiModuleInstance: the module's values go to
// the instance, drawing factories draw with cairo, and fonts for composited faces come from
// the skin's style sheet. [GUI thread]
#pragma once

#include <vector>

#include "host/gui/gui_host_services.h"
#include "runtime/gui/style_sheet.h"

namespace pqhost {

class GuiModuleInstance;

class GuiHost final : public GuiHostServices<GuiHost> {
public:
    explicit GuiHost(GuiModuleInstance& owner) : owner_(owner) {}

    // The value reaches the instance's record, callback and the module's own pin.
    int32_t hostSetPin(int32_t pinId, int32_t size, const void* data);
    // *factory: a new cairo drawing factory with one reference, the caller's.
    int32_t drawingFactory(gmpi_gui_api::IMpDrawingFactory** factory);
    // The style named by the text (read up to its terminator, at most 1024 units) in the skin's
    // sheet, or the default style (Arial 12, black): its colour 0x00BBGGRR, pixel height and
    // flags, and a font handle for pqdc_draw_text. Always answers a font (0).
    int32_t fontInfo(const char16_t* style, gmpi::FontInfo* info, void** font);

private:
    GuiModuleInstance& owner_;
    std::vector<TextStyle> styles_; // parsed from styleSheet on the first font request
    bool stylesRead_ = false;
};

} // namespace pqhost
