// A wave model with a stand-in for the host: the wave pins keep what the model sets and, as
// a host does, report every new value back to the model.
#pragma once

#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "modules/waveeditor/wave_model.h"

namespace pq::waveeditor::testing {

class EchoPort : public WavePinPort {
public:
    std::span<const uint8_t> wavePinBytes(int32_t pin) const override {
        return pins[static_cast<size_t>(pin)];
    }
    void setWavePin(int32_t pin, std::span<const uint8_t> bytes) override {
        auto& held = pins[static_cast<size_t>(pin)];
        if (held.size() == bytes.size() && std::equal(bytes.begin(), bytes.end(), held.begin())) return;
        held.assign(bytes.begin(), bytes.end());
        ++sends;
        if (model) model->takeBlob(pin, held.data(), static_cast<int32_t>(held.size()));
    }

    std::array<std::vector<uint8_t>, 4> pins;
    int sends = 0;
    WaveModel* model = nullptr;
};

inline std::vector<uint8_t> toBytes(const Wave& w) {
    std::vector<uint8_t> bytes(w.size() * sizeof(float));
    if (!w.empty()) std::memcpy(bytes.data(), w.data(), bytes.size());
    return bytes;
}

inline Wave toWave(std::span<const uint8_t> bytes) {
    Wave w(bytes.size() / sizeof(float));
    if (!w.empty()) std::memcpy(w.data(), bytes.data(), w.size() * sizeof(float));
    return w;
}

// An editor with its waves at `length`, the random source seeded with 1.
struct Editor {
    explicit Editor(float length) {
        port.model = &model;
        model.applyLength(length);
        seedRandom(1);
    }
    // Wave k as a loaded patch delivers it: the pin holds it and the model takes it.
    void load(int32_t k, const Wave& w) {
        port.pins[static_cast<size_t>(k)] = toBytes(w);
        model.takeBlob(k, port.pins[static_cast<size_t>(k)].data(), static_cast<int32_t>(w.size() * 4));
    }
    Wave pin(int32_t k) const { return toWave(port.pins[static_cast<size_t>(k)]); }

    EchoPort port;
    WaveModel model{port};
};

} // namespace pq::waveeditor::testing
