// The wave-table players loaded from their deliverables as a host loads them: both factories,
// the pins their files describe, a wave blob arriving, and the output played.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "host/audio_instance.h"
#include "host/catalogue.h"
#include "host/plugin_library.h"
#include "tests/wavetable/wave_rig.h"

namespace {

struct Case {
    const char* library;
    const char16_t* id;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.library;
}

class WavePlayerLibrary : public testing::TestWithParam<Case> {};

// Runs one second of the module with a 512-sample sine of 0.4 on its wave pin (ArrayLFO: Free
// Run at Rate 1; ArrayOsc: pitch 0.5) and answers the output's frequency and peak.
std::pair<double, float> play(const Case& c) {
    const std::string path = std::string(PQ_PLUGIN_DIR) + "/" + c.library + ".so";
    pqhost::PluginLibrary library(path);
    pqhost::AudioEngine engine(48000.0f, 64);
    pqhost::AudioInstance instance(engine, "player");
    gmpi::IMpUnknown* object = nullptr;
    const int32_t result = library.factory2() ? library.createInstance2(c.id, gmpi::kSubtypeAudio, &object)
                                              : library.createInstance(c.id, gmpi::kSubtypeAudio,
                                                                       instance.hostObject(), &object);
    EXPECT_EQ(result, gmpi::kMpOk);
    if (object == nullptr) return {0.0, 0.0f};
    instance.attach(object, library.factory2() == nullptr);

    const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(path);
    const pqhost::ModuleInfo* info = catalogue.findModule(c.id, gmpi::kSubtypeAudio);
    EXPECT_NE(info, nullptr);
    if (info == nullptr) return {0.0, 0.0f};
    const bool isLfo = info->className == "ArrayLFO";
    int32_t out = -1;
    for (const auto& pin : info->pins) {
        if (pin.datatype != gmpi::kDatatypeAudio) continue;
        instance.addAudioPin(pin.id);
        if (pin.direction == gmpi::kDirectionOut) out = pin.id;
    }
    instance.open();
    auto fill = [&](const char* name, float v) {
        std::fill_n(instance.buffer(info->findPin(name)->id), engine.blockSize(), v);
    };
    if (isLfo) {
        fill("Rate", 1.0f);
        fill("Gate", 1.0f);
        instance.queueValue(0, info->findPin("Mode")->id, int32_t{1});
    } else {
        fill("Pitch", 0.5f);
    }
    const auto wave = wavetest::sine(512, 0.4f);
    instance.queueEvent(0, gmpi::kEventPinSet, info->findPin(isLfo ? "Wave" : "Wave A")->id, wave.data(),
                        int32_t(wave.size() * 4));
    instance.queueGraphStart();
    std::vector<float> samples;
    for (int b = 0; b < 750; ++b) {
        instance.runBlock();
        samples.insert(samples.end(), instance.buffer(out), instance.buffer(out) + engine.blockSize());
    }
    return {wavetest::frequencyOf(samples, 48000.0, 64), wavetest::peakOf(samples, 64)};
}

TEST_P(WavePlayerLibrary, PlaysAWaveFromItsBlob) {
    const auto [frequency, peak] = play(GetParam());
    if (std::u16string(GetParam().id) == u"pellquin ArrayLFO") {
        EXPECT_NEAR(frequency, 5000.0 / 511.0, 0.02);
        EXPECT_NEAR(peak, 0.4f, 1e-3f);
    } else {
        // A built table plays the sine at half its level.
        EXPECT_NEAR(frequency, 439.75, 0.05);
        EXPECT_NEAR(peak, 0.2f, 1e-3f);
    }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, WavePlayerLibrary,
                         testing::Values(Case{"pq_ArrayLFO", u"pellquin ArrayLFO"},
                                         Case{"pq_ArrayOsc", u"pellquin ArrayOsc"},
                                         Case{"pq_Modules", u"pellquin ArrayLFO"},
                                         Case{"pq_Modules", u"pellquin ArrayOsc"}),
                         [](const testing::TestParamInfo<Case>& info) {
                             const bool lfo = std::u16string(info.param.id) == u"pellquin ArrayLFO";
                             return std::string(info.param.library) + (lfo ? "_ArrayLFO" : "_ArrayOsc");
                         });

} // namespace
