// The envelope as the deliverables carry it: registered under its identifier in pq_ADSR3 and
// pq_Modules, and described in the library file for hosts that read it without loading it.
#include <string>

#include <gtest/gtest.h>

#include "host/audio_instance.h"
#include "host/catalogue.h"
#include "host/host_error.h"
#include "host/module_description.h"
#include "host/plugin_library.h"

namespace {

const std::string kLibraries[] = {PQ_PLUGIN_DIR "/pq_ADSR3.so", PQ_PLUGIN_DIR "/pq_Modules.so"};

TEST(EnvelopeLibraries, DescriptionPinsMatchTheCatalogue) {
    const pqhost::ModuleInfo* module = pqhost::findModule(u"PQADSR3", 0);
    ASSERT_NE(module, nullptr);
    for (const std::string& path : kLibraries) {
        SCOPED_TRACE(path);
        const auto descriptions = pqhost::readModuleDescriptions(path);
        ASSERT_EQ(descriptions.size(), 1u);
        const std::string& xml = descriptions[0];
        EXPECT_NE(
            xml.find(
                R"(<Plugin id="QM ADSR3c" name="ADSR3" category="Waveform" helpUrl="EnveloperAdsr.htm">)"),
            std::string::npos);
        const auto pins = pqhost::describedPins(xml);
        ASSERT_EQ(pins.size(), module->pins.size());
        for (size_t i = 0; i < pins.size(); ++i) {
            const pqhost::PinInfo& expected = module->pins[i];
            const pqhost::DescribedPin& pin = pins[i];
            SCOPED_TRACE(expected.name);
            EXPECT_EQ(pin.attribute("id"), std::to_string(expected.id));
            EXPECT_EQ(pin.attribute("name"), expected.name);
            EXPECT_EQ(pin.attribute("datatype"), "float");
            EXPECT_EQ(pin.attribute("rate", "control"), expected.datatype == 5 ? "audio" : "control");
            EXPECT_EQ(pin.attribute("direction", "in"), expected.direction == 0 ? "in" : "out");
            EXPECT_EQ(pin.attribute("default"), expected.defaultValue);
        }
        EXPECT_EQ(pins[7].attribute("metadata"), ",,5,-5");
        EXPECT_EQ(pins[11].attribute("hostConnect"), "Voice/Active");
        EXPECT_EQ(pins[11].attribute("isPolyphonic"), "true");
        EXPECT_NE(xml.find("2 ms"), std::string::npos);
    }
}

TEST(EnvelopeLibraries, DescriptionReaderRefusesWhatIsNoLibrary) {
    EXPECT_THROW(pqhost::readModuleDescriptions(PQ_PLUGIN_DIR "/no-such-library.so"), pqhost::HostError);
    EXPECT_THROW(pqhost::readModuleDescriptions(PQ_SOURCE_DIR "/tests/envelope/libraries_test.cpp"),
                 pqhost::HostError);
}

TEST(EnvelopeLibraries, BothLibrariesMakeAWorkingEnvelope) {
    for (const std::string& path : kLibraries) {
        SCOPED_TRACE(path);
        pqhost::PluginLibrary library(path);
        pqhost::AudioEngine engine(48000.0f, 64);
        pqhost::AudioInstance env(engine, "envelope");
        gmpi::IMpUnknown* object = nullptr;
        if (library.factory2() != nullptr) {
            ASSERT_EQ(library.createInstance2(u"PQADSR3", 0, &object), gmpi::kMpOk);
            env.attach(object, false);
        } else {
            ASSERT_EQ(library.createInstance(u"PQADSR3", 0, env.hostObject(), &object), gmpi::kMpOk);
            env.attach(object, true);
        }
        const float defaults[] = {0.0f, 1.0f, 0.075f, 0.5f, 0.7f, 0.4f, 1.0f, 0.3f, 0.0f, 0.0f};
        for (int32_t pin = 0; pin < 10; ++pin) {
            float* buffer = env.addAudioPin(pin);
            std::fill(buffer, buffer + 64, defaults[pin]);
            env.queueStreaming(0, pin, false);
        }
        const float* out = env.addAudioPin(10);
        env.open();
        env.queueGraphStart(0);
        env.runBlock();
        env.buffer(0)[0] = 1.0f; // trigger: starts the attack with the gate high
        std::fill(env.buffer(0), env.buffer(0) + 64, 1.0f);
        env.queueStreaming(0, 0, false);
        env.runBlock();
        env.runBlock();
        EXPECT_EQ(out[31], 1.0f); // sample 96 of the attack
        EXPECT_LT(out[32], 1.0f); // the decay
    }
}

} // namespace
