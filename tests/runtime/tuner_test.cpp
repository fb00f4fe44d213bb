// The tuner on the audio module base: values it sends for its inputs.
#include <gtest/gtest.h>

#include <limits>

#include "modules/tuner/pq_tuner.h"
#include "tests/support/direct_module.h"

namespace {

using Pin = pqTuner::Pin;
using enum pqTuner::Pin;

// An offset that is not a number or infinite is no pitch: nothing is sent and the output
// keeps the last pitch, however often the value repeats.
TEST(Tuner, NonFiniteOffsetsAreIgnored) {
    pqhost::AudioEngine engine(48000.0f, 32);
    auto tuner = pqtest::makeDirect<pqTuner>(engine);
    tuner->open();
    tuner->queueGraphStart();
    tuner->queueValue(0, kSemitoneSelect, int32_t{12});
    tuner->runBlock();
    ASSERT_FALSE(tuner->values.empty());
    ASSERT_EQ(tuner->values.back().asFloat(), 1.0f);

    const size_t before = tuner->values.size();
    for (float fine : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        tuner->queueValue(3, kFineOffset, fine);
        tuner->runBlock();
        EXPECT_EQ(tuner->values.size(), before) << fine;
    }
    // A usable offset is taken again, from the pitch before the bad values.
    tuner->queueValue(5, kFineOffset, 0.5f);
    tuner->runBlock();
    ASSERT_EQ(tuner->values.size(), before + 1);
    EXPECT_EQ(tuner->values.back().pinId, kPitchOut);
    EXPECT_EQ(tuner->values.back().time, 5);
    EXPECT_EQ(tuner->values.back().asFloat(), 1.5f);
}

} // namespace
