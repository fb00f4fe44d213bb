// A host for faces that draw text: the recording GUI services of the tests plus a drawing
// factory that records the text formats asked of it and counts those alive, and the skin's
// style sheet as the host's "global"/"ImageMeta" resource.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/gui/gui_host_services.h"
#include "runtime/gui/font_cache.h"
#include "tests/gui/fake_gui_host.h"

namespace facetest {

using namespace gmpi_gui_api;

struct FormatRequest {
    std::string family;
    int32_t weight, style, stretch;
    float size;
    bool operator==(const FormatRequest&) const = default;
};

class RecordingFactory final : public IMpDrawingFactory {
public:
    std::vector<FormatRequest> requests;
    int formatsAlive = 0;
    int32_t alignment = -1; // the last one set on any format
    bool failFormats = false;
    int32_t refs = 1;

    int32_t queryInterface(const Guid&, void** out) override {
        *out = nullptr;
        return gmpi::kMpNoSupport;
    }
    int32_t addRef() override { return ++refs; }
    int32_t release() override { return --refs; } // lives in the test
    int32_t createPathGeometry(IMpPathGeometry** g) override {
        *g = nullptr;
        return gmpi::kMpFail;
    }
    int32_t createTextFormat(const char* family, IMpUnknown*, int32_t weight, int32_t style, int32_t stretch,
                             float size, const char*, IMpTextFormat** out) override {
        requests.push_back({family, weight, style, stretch, size});
        *out = failFormats ? nullptr : new Format(*this);
        return failFormats ? gmpi::kMpFail : gmpi::kMpOk;
    }

private:
    struct Format final : IMpTextFormat {
        RecordingFactory& f;
        int32_t refs = 1;
        explicit Format(RecordingFactory& factory) : f(factory) { ++f.formatsAlive; }
        ~Format() { --f.formatsAlive; }
        int32_t queryInterface(const Guid&, void** out) override {
            *out = nullptr;
            return gmpi::kMpNoSupport;
        }
        int32_t addRef() override { return ++refs; }
        int32_t release() override { return pq::releaseReference(refs, this); }
        int32_t setTextAlignment(int32_t a) override {
            f.alignment = a;
            return gmpi::kMpOk;
        }
    };
};

class StyledHost : public pqhost::GuiHostServices<StyledHost> {
public:
    RecordingFactory factory;
    std::vector<guitest::SentValue> sent;

    explicit StyledHost(const std::string* sheet = nullptr) {
        if (sheet != nullptr) styleSheet = std::make_shared<const std::string>(*sheet);
    }
    int32_t hostSetPin(int32_t pinId, int32_t size, const void* data) {
        const auto* b = static_cast<const uint8_t*>(data);
        sent.push_back({pinId, std::vector<uint8_t>(b, b + (b != nullptr && size > 0 ? size : 0))});
        return gmpi::kMpOk;
    }
    int32_t drawingFactory(IMpDrawingFactory** out) {
        factory.addRef();
        *out = &factory;
        return gmpi::kMpOk;
    }
};

// Forgets the styles the process's font cache has read, so that its next request reads the
// host's sheet again.
inline void forgetStyles() {
    auto empty = new pqhost::TextResourceStream(std::make_shared<const std::string>());
    FontCache::instance().loadStyleSheet(empty);
    empty->release();
}

} // namespace facetest
