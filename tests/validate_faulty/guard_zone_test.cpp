// The validator's guard zones find a module that writes past the block it was given.
#include <gtest/gtest.h>

#include "host/host_error.h"
#include "host/validate.h"

namespace {

TEST(GuardZones, AWritePastTheBlockIsAFindingOfItsModule) {
    std::vector<std::string> validated;
    const auto findings = pqhost::validateLibrary(PQ_FAULTY_LIBRARY, 1, 20, &validated);
    ASSERT_EQ(validated.size(), 1u);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].module, "\"PQADSR3\" subtype 0");
    // The zones are marked (a finding thrown in the module's process) or, in the sanitizer
    // build, poisoned (the sanitizer ends the process): either way the module fails.
    EXPECT_FALSE(findings[0].what.empty());
}

// A failure is shrunk to the fewest rounds of its seed that still fail.
TEST(Shrinking, FindsTheFewestRoundsThatStillFail) {
    const std::string modules = std::string(PQ_PLUGIN_DIR) + "/pq_Modules.so";
    // Fails once it has run at least `from` rounds.
    const auto failingFrom = [](int from) {
        return [from](const std::string&, const pqhost::ModuleInfo&, uint32_t, int rounds) {
            if (rounds >= from) throw pqhost::HostError("failed at round " + std::to_string(from));
        };
    };
    struct Case {
        std::string library, module;
        int rounds;
        pqhost::ModuleExerciser exerciser;
        int shortest;
    };
    const Case cases[] = {
        {PQ_FAULTY_LIBRARY, "\"PQADSR3\" subtype 0", 20, pqhost::exerciseModule, 1},
        {modules, "\"pq Tuner\" subtype 0", 40, failingFrom(7), 7},
        {modules, "\"pq Tuner\" subtype 0", 40, failingFrom(40), 40},
        {modules, "\"pq Tuner\" subtype 0", 40, failingFrom(41), 0}, // never fails
    };
    for (const Case& c : cases)
        EXPECT_EQ(pqhost::shortestFailingRounds(c.library, c.module, 1, c.rounds, c.exerciser, 10),
                  c.shortest)
            << c.module << " " << c.rounds;
}

} // namespace
