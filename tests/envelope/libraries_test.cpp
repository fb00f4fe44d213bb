// The envelope as the deliverables carry it: registered under its identifier in pq_ADSR3 and
// pq_Modules, and described in the library file for hosts that read it without loading it.
#include <algorithm>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "host/audio_instance.h"
#include "host/host_error.h"
#include "host/module_description.h"
#include "host/plugin_library.h"

namespace {

const std::string kLibraries[] = {PQ_PLUGIN_DIR "/pq_ADSR3.so", PQ_PLUGIN_DIR "/pq_Modules.so"};

// The plug-in list entry as hosts of that form know it, byte for byte.
constexpr std::string_view kPluginList = R"(<?xml version="1.0" encoding="utf-8"?>
<PluginList>
  <Plugin id="QM ADSR3c" name="ADSR3" category="Waveform" helpUrl="EnveloperAdsr.htm">
    <Audio>
      <Pin id="0" name="Trigger" datatype="float" rate="audio" default="0.1"/>
      <Pin id="1" name="Gate" datatype="float" rate="audio" default="0.1"/>
      <!-- Attack default 0.075: 2 ms -->
      <Pin id="2" name="Attack" datatype="float" rate="audio" default="0.075"/>
      <Pin id="3" name="Decay" datatype="float" rate="audio" default="0.5"/>
      <Pin id="4" name="Sustain" datatype="float" rate="audio" default="0.7"/>
      <Pin id="5" name="Release" datatype="float" rate="audio" default="0.4"/>
      <Pin id="6" name="Overall Level" datatype="float" rate="audio" default="1.0"/>
      <Pin id="7" name="Attack Curve" datatype="float" rate="audio" default="0.3" metadata=",,5,-5"/>
      <Pin id="8" name="Decay Curve" datatype="float" rate="audio" default="0" metadata=",,5,-5"/>
      <Pin id="9" name="Release Curve" datatype="float" rate="audio" default="0" metadata=",,5,-5"/>
      <Pin id="10" name="Signal Out" datatype="float" rate="audio" direction="out"/>
      <Pin id="11" name="VoiceReset" datatype="float" direction="in" hostConnect="Voice/Active" isPolyphonic="true"/>
    </Audio>
  </Plugin>
</PluginList>
)";

TEST(EnvelopeLibraries, PluginListTextStaysAsHostsKnowIt) {
    for (const std::string& path : kLibraries) {
        SCOPED_TRACE(path);
        const auto descriptions = pqhost::readModuleDescriptions(path);
        EXPECT_EQ(std::count(descriptions.begin(), descriptions.end(), kPluginList), 1);
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
