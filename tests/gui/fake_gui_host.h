// A recording stand-in for the host's GUI services: IMpGuiHost, IMpGuiHost2 and
// IMpGraphicsHost as the substitute host lends them, but every value a module sends is only
// kept in `sent`, and interfaces can be withheld to test hosts that lack them. Capture and
// repaint requests are counted by the services themselves.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "host/gui/gui_host_services.h"

namespace guitest {

struct SentValue {
    int32_t pinId;
    std::vector<uint8_t> bytes;

    template <class T> T as() const {
        T v{};
        std::memcpy(&v, bytes.data(), sizeof(T) < bytes.size() ? sizeof(T) : bytes.size());
        return v;
    }
    std::u16string text() const {
        std::u16string t(bytes.size() / 2, u'\0');
        std::memcpy(t.data(), bytes.data(), t.size() * 2);
        return t;
    }
};

class FakeGuiHost : public pqhost::GuiHostServices<FakeGuiHost> {
public:
    bool offerGuiHost = true;
    bool offerGuiHost2 = true;
    bool offerGraphicsHost = true;

    std::vector<SentValue> sent;

    int32_t hostSetPin(int32_t pinId, int32_t size, const void* data) {
        const auto* b = static_cast<const uint8_t*>(data);
        sent.push_back({pinId, std::vector<uint8_t>(b, b + (b != nullptr && size > 0 ? size : 0))});
        return gmpi::kMpOk;
    }
    // IMpUnknown comes with IMpGuiHost.
    bool offers(const gmpi::Guid& iid) const {
        if (iid == gmpi::MP_IID_UI_HOST2) return offerGuiHost2;
        if (iid == gmpi_gui_api::MP_IID_GRAPHICS_HOST) return offerGraphicsHost;
        return offerGuiHost;
    }
};

} // namespace guitest
