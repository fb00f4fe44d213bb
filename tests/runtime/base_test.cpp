// The audio module base and pins: block splitting, instants, sleeping, streaming, pins.
#include <gtest/gtest.h>

#include "tests/runtime/test_module.h"
#include "tests/support/direct_module.h"

using pqtest::QuietModule;
using pqtest::RoutineCall;
using pqtest::TestModule;

namespace {

struct Fixture : ::testing::Test {
    pqhost::AudioEngine engine{48000.0f, 32};
    std::unique_ptr<pqhost::AudioInstance> instance = pqtest::makeDirect<TestModule>(engine);
    TestModule& module() { return pqtest::moduleOf<TestModule>(*instance); }
    void SetUp() override {
        instance->addAudioPin(0);
        instance->addAudioPin(1);
        instance->open();
        module().setSleepMode(pq::SleepMode::Never); // never sleeps unless a test says so
    }
};

TEST_F(Fixture, BlockWithoutEventsCallsRoutineOnce) {
    instance->runBlock();
    EXPECT_EQ(module().calls, (std::vector<RoutineCall>{{0, 32, true}}));
    EXPECT_TRUE(module().setPinsAt.empty());
}

TEST_F(Fixture, EventsAtOneTimeFormOneInstant) {
    instance->queueValue(0, 2, 1.0f);
    instance->queueValue(0, 4, int32_t{3});
    instance->queueValue(10, 2, 2.0f);
    instance->runBlock();
    EXPECT_EQ(module().setPinsAt, (std::vector<int32_t>{0, 10}));
    EXPECT_EQ(module().calls, (std::vector<RoutineCall>{{0, 10, false}, {10, 22, true}}));
}

TEST_F(Fixture, TwoValuesAtOneInstantLeaveTheSecondAndClearTheFlagAfterwards) {
    instance->queueValue(5, 2, 1.0f);
    instance->queueValue(5, 2, 7.0f);
    instance->runBlock();
    EXPECT_TRUE(module().floatUpdatedInSetPins);
    EXPECT_EQ(module().floatValueInSetPins, 7.0f);
    EXPECT_FALSE(module().floatIn.isUpdated());
}

TEST_F(Fixture, LoneFurtherEventReachesThePinButNotOnSetPins) {
    instance->queueEvent(3, gmpi::kEventPinOther, 2);
    instance->runBlock();
    EXPECT_EQ(module().floatIn.seen, (std::vector<int32_t>{gmpi::kEventPinOther}));
    EXPECT_TRUE(module().setPinsAt.empty());
    EXPECT_EQ(module().calls, (std::vector<RoutineCall>{{0, 3, false}, {3, 29, true}}));
}

TEST_F(Fixture, UnknownPinsAndEventTypesAreIgnored) {
    EXPECT_EQ(instance->setBufferResult(99, nullptr), gmpi::kMpFail);
    EXPECT_EQ(instance->setBufferResult(2, nullptr), gmpi::kMpOk); // a control pin takes no buffer
    instance->queueValue(1, 99, 1.0f);
    instance->queueEvent(2, 555, 2);
    instance->runBlock();
    EXPECT_TRUE(module().setPinsAt.empty());
    EXPECT_EQ(module().calls.back(), (RoutineCall{2, 30, true}));
}

// Times beyond the block never stretch a routine past it, and late-arriving earlier times
// count as the current position.
TEST_F(Fixture, HostileEventTimesStayInsideTheBlock) {
    gmpi::MpEvent events[4] = {};
    float one = 1.0f;
    for (auto& e : events) {
        e.type = gmpi::kEventPinSet;
        e.pinId = 2;
        e.size = 4;
        std::memcpy(e.data, &one, 4);
    }
    events[0].time = -5;
    events[1].time = 20;
    events[2].time = 12;   // out of order: counts as 20
    events[3].time = 1000; // beyond the block: not dispatched
    for (int i = 0; i < 3; ++i)
        events[i].next = &events[i + 1];
    instance->processRaw(32, events);
    EXPECT_EQ(module().setPinsAt, (std::vector<int32_t>{0, 20}));
    EXPECT_EQ(module().calls, (std::vector<RoutineCall>{{0, 20, false}, {20, 12, false}}));
    instance->processRaw(0, events);
    instance->processRaw(-3, nullptr);
    EXPECT_EQ(module().calls.size(), 2u);
}

TEST_F(Fixture, StreamingStartAndStopAtOneInstant) {
    instance->queueStreaming(0, 0, true);
    instance->queueStreaming(0, 0, false);
    instance->runBlock();
    EXPECT_EQ(module().streamingChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(module().streamingPinCount(), 0);
}

TEST_F(Fixture, OutputStoppingTwiceRearmsTheCountdown) {
    module().audioOut.setStreaming(true, 0);
    module().audioOut.setStreaming(false, 0);
    module().setSleepCountdown(3);
    module().audioOut.setStreaming(false, 0);
    EXPECT_EQ(module().streamingChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(module().sleepCountdown(), 32);
    ASSERT_EQ(instance->streaming.size(), 3u);
    EXPECT_FALSE(instance->streaming[2].streaming);
}

TEST_F(Fixture, OutputFloatSendsOnlyChanges) {
    instance->runBlock();
    module().floatOut = 0.0f;
    EXPECT_TRUE(instance->values.empty());
    module().floatOut = 0.25f;
    ASSERT_EQ(instance->values.size(), 1u);
    EXPECT_EQ(instance->values[0].pinId, 3);
    EXPECT_EQ(instance->values[0].bytes.size(), 4u);
    EXPECT_EQ(instance->values[0].asFloat(), 0.25f);
}

TEST_F(Fixture, BlobValuesAndSizes) {
    std::vector<uint8_t> big(100, 7);
    instance->queueEvent(0, gmpi::kEventPinSet, 5, big.data(), 100);
    instance->runBlock();
    EXPECT_EQ(module().blobIn.getValue().size(), 100u);
    instance->queueEvent(0, gmpi::kEventPinSet, 5, nullptr, 0);
    instance->runBlock();
    EXPECT_EQ(module().blobIn.getValue(), MpBlob());
}

// A payload claimed larger than the inline data, without extra data, never reads past the event.
TEST_F(Fixture, OversizedInlinePayloadIsCutToTheEvent) {
    gmpi::MpEvent e{};
    e.type = gmpi::kEventPinSet;
    e.pinId = 5;
    e.size = 1 << 20;
    e.data[0] = 0x01020304;
    instance->processRaw(32, &e);
    EXPECT_EQ(module().blobIn.getValue().size(), 8u);
}

TEST_F(Fixture, NumberPinsTakeAtMostTheirOwnBytes) {
    const int32_t eight[2] = {42, 99};
    instance->queueEvent(0, gmpi::kEventPinSet, 4, eight, 8);
    instance->runBlock();
    EXPECT_EQ(module().intIn.getValue(), 42);
}

TEST_F(Fixture, GraphStartAnnouncesOutputsInIdOrder) {
    instance->queueGraphStart();
    instance->runBlock();
    ASSERT_EQ(instance->streaming.size(), 1u);
    EXPECT_TRUE(instance->streaming[0].streaming);
    EXPECT_EQ(instance->streaming[0].pinId, 1);
    ASSERT_EQ(instance->values.size(), 1u);
    EXPECT_EQ(instance->values[0].pinId, 3);
    EXPECT_EQ(module().streamingPinCount(), 1);
}

TEST_F(Fixture, MissingBufferMeansNothingIsRendered) {
    instance->setBufferResult(1, nullptr);
    instance->runBlock();
    EXPECT_TRUE(module().calls.empty());
}

struct Quiet : ::testing::Test {
    pqhost::AudioEngine engine{48000.0f, 32};
    std::unique_ptr<pqhost::AudioInstance> instance = pqtest::makeDirect<QuietModule>(engine);
    QuietModule& module() { return pqtest::moduleOf<QuietModule>(*instance); }
};

TEST_F(Quiet, SleepsInItsFirstBlockAndWakesForEvents) {
    instance->open();
    instance->queueValue(0, 0, 0.5f);
    instance->runBlock();
    EXPECT_TRUE(instance->sleeping());
    EXPECT_TRUE(module().calls.empty());
    EXPECT_FALSE(instance->runBlock());
    EXPECT_EQ(instance->blocksSlept(), 1);
    instance->queueValue(4, 0, 0.75f);
    EXPECT_TRUE(instance->runBlock());
    ASSERT_EQ(instance->values.size(), 2u);
    EXPECT_EQ(instance->values[1].time, 4);
    EXPECT_EQ(instance->values[1].asFloat(), 0.75f);
}

TEST_F(Quiet, StretchEndingAtAnEventIsProcessedWholeBeforeSleeping) {
    instance->queueValue(10, 0, 0.5f);
    instance->runBlock();
    EXPECT_EQ(module().calls, (std::vector<RoutineCall>{{0, 10, false}}));
    EXPECT_EQ(module().sleepCountdown(), 0);
    EXPECT_EQ(instance->sleepCalls(), 1);
}

TEST(ReferenceCounts, ReleaseDestroysAtZero) {
    const int before = TestModule::destroyed;
    gmpi::IMpUnknown* object = (new TestModule())->primaryInterface();
#if PQ_EDITION_EARLIER
    EXPECT_EQ(object->addRef(), 1); // the earlier edition starts at 0
#endif
    EXPECT_EQ(object->addRef(), 2);
    EXPECT_EQ(object->release(), 1);
    EXPECT_EQ(TestModule::destroyed, before);
    EXPECT_EQ(object->release(), 0);
    EXPECT_EQ(TestModule::destroyed, before + 1);
}

TEST(Interfaces, QueryAndMessages) {
    auto* module = new TestModule();
    gmpi::IMpUnknown* object = module->primaryInterface();
#if PQ_EDITION_EARLIER
    object->addRef();
#endif
    void* out = nullptr;
    EXPECT_EQ(object->queryInterface(gmpi::MP_IID_PLUGIN, &out), gmpi::kMpOk);
    EXPECT_EQ(out, object);
    static_cast<gmpi::IMpUnknown*>(out)->release();
    const int32_t plugin2 = object->queryInterface(gmpi::MP_IID_PLUGIN2, &out);
#if PQ_EDITION_EARLIER
    EXPECT_EQ(plugin2, gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(static_cast<gmpi::IMpPluginEarlier*>(object)->receiveMessage(1, 2, 3), 0);
#else
    ASSERT_EQ(plugin2, gmpi::kMpOk);
    EXPECT_NE(out, object);
    EXPECT_EQ(static_cast<gmpi::IMpPlugin2*>(out)->receiveMessage(1, 2, nullptr), 0);
    EXPECT_EQ(static_cast<gmpi::IMpPlugin*>(object)->receiveMessage(1, 2, nullptr), 0);
    static_cast<gmpi::IMpUnknown*>(out)->release();
#endif
    EXPECT_EQ(object->queryInterface(gmpi::MP_IID_FACTORY, &out), gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->release(), 0);
}

} // namespace
