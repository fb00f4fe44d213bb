// The validator's guard zones find a module that writes past the block it was given.
#include <gtest/gtest.h>

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

} // namespace
