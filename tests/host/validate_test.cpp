// The validator: every deliverable survives hostile input, and a module that crashes or
// fails is reported without ending the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <unistd.h>
#include <filesystem>
#include <stdexcept>

#include "host/host_error.h"
#include "host/validate.h"

#if defined(__SANITIZE_ADDRESS__)
#define PQ_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PQ_LEAK_CHECKED 1
#endif
#endif

namespace {

#ifdef PQ_LEAK_CHECKED
// Memory nothing points to any more.
void* volatile lastBlock = nullptr;
[[gnu::noinline]] void leak() {
    for (int i = 0; i < 8; ++i)
        lastBlock = new char[100];
    lastBlock = nullptr;
}
#endif

TEST(Validate, EveryDeliverableSurvivesHostileInput) {
    int libraries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PQ_PLUGIN_DIR)) {
        if (entry.path().extension() != ".so") continue;
        ++libraries;
        std::vector<std::string> validated;
        for (const uint32_t seed : {1u, 2u}) {
            const auto findings = pqhost::validateLibrary(entry.path().string(), seed, 150, &validated);
            for (const auto& f : findings)
                ADD_FAILURE() << entry.path() << " seed " << seed << ": " << f.module << " " << f.what;
        }
        EXPECT_FALSE(validated.empty()) << entry.path();
    }
    EXPECT_GE(libraries, 2);
}

TEST(Validate, CrashesAndFailuresAreFindingsAndTheRunGoesOn) {
    std::vector<std::string> validated;
    const auto findings =
        pqhost::validateLibrary(std::string(PQ_PLUGIN_DIR) + "/pq_Modules.so", 7, 1, &validated,
                                [](const std::string&, const pqhost::ModuleInfo& module, uint32_t, int) {
                                    if (module.className == "pqTuner") std::abort();
                                    if (module.className == "Envelope3") throw std::runtime_error("a fault");
                                });
    ASSERT_EQ(findings.size(), 2u);
    const auto found = [&](const std::string& module) {
        for (const auto& f : findings)
            if (f.module == module) return f.what;
        return std::string("no finding");
    };
    EXPECT_THAT(found("\"pq Tuner\" subtype 0"), ::testing::StartsWith("crashed: "));
    EXPECT_EQ(found("\"PQADSR3\" subtype 0"), "failed with exit code 3");
    EXPECT_EQ(validated.size(), 11u); // the modules after the crash and the failure were validated too
    EXPECT_THROW(pqhost::validateLibrary("/nonexistent.so", 1, 1), pqhost::HostError);
}

TEST(Validate, AModuleThatNeverAnswersIsFoundHung) {
    const auto findings = pqhost::validateLibrary(
        std::string(PQ_PLUGIN_DIR) + "/pq_Tuner.so", 1, 1, nullptr,
        [](const std::string&, const pqhost::ModuleInfo&, uint32_t, int) {
            for (;;)
                ::pause();
        },
        1);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].what, "hung: no answer within 1 s");
}

// In the sanitizer build each module's process checks for leaks before it ends, so that a
// leak is a finding of the module that made it.
TEST(Validate, LeaksAreFindingsOfTheirModule) {
#ifndef PQ_LEAK_CHECKED
    GTEST_SKIP() << "leaks are found in the sanitizer build";
#else
    const auto findings =
        pqhost::validateLibrary(std::string(PQ_PLUGIN_DIR) + "/pq_Modules.so", 1, 1, nullptr,
                                [](const std::string&, const pqhost::ModuleInfo& module, uint32_t, int) {
                                    if (module.className == "pqTuner") leak();
                                });
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].module, "\"pq Tuner\" subtype 0");
    EXPECT_THAT(findings[0].what, ::testing::StartsWith("leaked memory"));
#endif
}

} // namespace
