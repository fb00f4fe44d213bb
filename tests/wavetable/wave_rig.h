// A wave-table player driven through the substitute host: constant audio inputs, value and
// blob events, the output collected sample by sample, and measurements on it.
#pragma once

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "host/audio_instance.h"
#include "tests/support/direct_module.h"

namespace wavetest {

inline std::vector<float> sine(size_t n, float amplitude = 0.5f, double harmonic = 1.0) {
    std::vector<float> w(n);
    for (size_t i = 0; i < n; ++i)
        w[i] = amplitude *
               static_cast<float>(std::sin(2.0 * std::numbers::pi * harmonic * double(i) / double(n)));
    return w;
}

template <class Module> class Rig {
public:
    Rig(std::vector<int32_t> audioInputs, int32_t outputPin, float rate = 48000.0f, int32_t block = 64)
        : engine(rate, block), out_(outputPin) {
        instance = pqtest::makeDirect<Module>(engine);
        for (int32_t pin : audioInputs)
            instance->addAudioPin(pin);
        instance->addAudioPin(outputPin);
        instance->open();
        instance->queueGraphStart();
    }

    // Holds an audio input at `value` from the next block on.
    void set(int32_t pin, float value) {
        float* buffer = instance->buffer(pin);
        std::fill(buffer, buffer + engine.blockSize(), value);
    }
    void value(int32_t pin, int32_t v, int32_t time = 0) { instance->queueValue(time, pin, v); }
    void value(int32_t pin, float v, int32_t time = 0) { instance->queueValue(time, pin, v); }
    void blob(int32_t pin, const std::vector<float>& wave, int32_t extraBytes = 0) {
        std::vector<uint8_t> bytes(wave.size() * 4 + size_t(extraBytes), 0xAB);
        if (!wave.empty()) std::memcpy(bytes.data(), wave.data(), wave.size() * 4);
        instance->queueEvent(0, 100, pin, bytes.data(), int32_t(bytes.size()));
    }
    void streaming(int32_t pin, bool on) { instance->queueStreaming(0, pin, on); }

    // Runs whole blocks for at least `samples` samples; the output as the host sees it.
    std::vector<float> run(size_t samples) {
        std::vector<float> result;
        const float* output = instance->buffer(out_);
        while (result.size() < samples) {
            instance->runBlock();
            result.insert(result.end(), output, output + engine.blockSize());
        }
        return result;
    }

    pqhost::AudioEngine engine;
    std::unique_ptr<pqhost::AudioInstance> instance;

private:
    int32_t out_;
};

// Frequency from the rising zero crossings (linearly interpolated) of `x` from `skip` on.
inline double frequencyOf(const std::vector<float>& x, double rate, size_t skip = 0) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = std::max<size_t>(skip, 1); i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = double(i - 1) + double(-x[i - 1]) / double(x[i] - x[i - 1]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : rate * (crossings - 1) / (last - first);
}

inline float peakOf(const std::vector<float>& x, size_t skip = 0) {
    float peak = 0.0f;
    for (size_t i = skip; i < x.size(); ++i)
        peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

// Amplitude of the component at `frequency` (Goertzel over the samples from `skip` on).
inline double amplitudeAt(const std::vector<float>& x, double frequency, double rate, size_t skip = 0) {
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    double re = 0, im = 0;
    const size_t n = x.size() - skip;
    for (size_t i = 0; i < n; ++i) {
        re += x[skip + i] * std::cos(w * double(i));
        im -= x[skip + i] * std::sin(w * double(i));
    }
    return 2.0 * std::hypot(re, im) / double(n);
}

} // namespace wavetest
