// Deliverables loaded as a host loads them: exports, factories, the tuner end to end,
// repeated loading, and the command line's answers to bad input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "host/audio_instance.h"
#include "host/catalogue.h"
#include "host/host_error.h"
#include "host/plugin_library.h"

namespace {

std::string plugin(const std::string& name) {
    return std::string(PQ_PLUGIN_DIR) + "/" + name + ".so";
}

std::string run(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    status = ::pclose(pipe);
    status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

// Every deliverable exports MP_GetFactory and nothing else of its own.
TEST(Deliverables, ExportOnlyTheFactoryEntry) {
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PQ_PLUGIN_DIR)) {
        if (entry.path().extension() != ".so") continue;
        ++found;
        int status = 0;
        const std::string symbols = run("nm -D --defined-only " + entry.path().string(), status);
        ASSERT_EQ(status, 0) << symbols;
        std::istringstream lines(symbols);
        std::string line;
        std::vector<std::string> names;
        while (std::getline(lines, line))
            names.push_back(line.substr(line.rfind(' ') + 1));
        EXPECT_THAT(names, ::testing::ElementsAre("MP_GetFactory")) << entry.path();
    }
    EXPECT_GE(found, 2);
}

struct TunerCase {
    const char* library;
    bool useCreateInstance2;
};

class TunerThroughHost : public ::testing::TestWithParam<TunerCase> {};

// Pitch values for semitone selections, sent only on change, woken by values.
TEST_P(TunerThroughHost, SendsPitchOnChangeAndSleeps) {
    pqhost::PluginLibrary library(plugin(GetParam().library));
    pqhost::AudioEngine engine(48000.0f, 64);
    pqhost::AudioInstance tuner(engine, "tuner");
    gmpi::IMpUnknown* object = nullptr;
    if (GetParam().useCreateInstance2) {
        ASSERT_EQ(library.createInstance2(u"pq Tuner", 0, &object), gmpi::kMpOk);
        tuner.attach(object, false);
    } else {
        ASSERT_EQ(library.createInstance(u"pq Tuner", 0, tuner.hostObject(), &object), gmpi::kMpOk);
        tuner.attach(object, true);
    }
    tuner.open();
    tuner.queueGraphStart();
    tuner.runBlock();
    ASSERT_EQ(tuner.values.size(), 1u);
    EXPECT_EQ(tuner.values[0].asFloat(), 0.0f);
    EXPECT_TRUE(tuner.sleeping());

    struct Step {
        int32_t semitone;
        float fine;
        float expected;
    };
    const Step steps[] = {{12, 0, 1.0f},
                          {0, 0, 2.0f},
                          {36, 0, -1.0f},
                          {48, 0, -2.0f},
                          {23, 0, 0.083333336f},
                          {24, 0.5f, 0.5f},
                          {-2147483647 - 1, 0, 178956976.0f}};
    for (const Step& s : steps) {
        const size_t before = tuner.values.size();
        tuner.queueValue(7, 0, s.semitone);
        tuner.queueValue(7, 1, s.fine);
        EXPECT_TRUE(tuner.runBlock());
        ASSERT_EQ(tuner.values.size(), before + 1) << s.semitone;
        EXPECT_EQ(tuner.values.back().time, 7);
        EXPECT_EQ(tuner.values.back().pinId, 2);
        EXPECT_FLOAT_EQ(tuner.values.back().asFloat(), s.expected);
        EXPECT_TRUE(tuner.sleeping());
    }
    // The same values again send nothing; sleeping blocks are skipped.
    const size_t before = tuner.values.size();
    tuner.queueValue(0, 0, int32_t{-2147483647 - 1});
    tuner.runBlock();
    EXPECT_FALSE(tuner.runBlock());
    EXPECT_EQ(tuner.values.size(), before);
    EXPECT_EQ(tuner.blocksSlept(), 1);
    EXPECT_EQ(tuner.setBufferResult(0, nullptr), gmpi::kMpOk);
    EXPECT_EQ(tuner.setBufferResult(3, nullptr), gmpi::kMpFail);
}

INSTANTIATE_TEST_SUITE_P(Libraries, TunerThroughHost,
                         ::testing::Values(TunerCase{"pq_Modules", true}, TunerCase{"pq_Modules", false},
                                           TunerCase{"pq_Tuner", false}));

TEST(Factories, EditionsAndSdkInformation) {
    pqhost::PluginLibrary modules(plugin("pq_Modules"));
    ASSERT_NE(modules.factory2(), nullptr);
    EXPECT_EQ(modules.sdkVersion(), 30800);
    EXPECT_THAT(pqhost::toUtf8(modules.sdkText()),
                ::testing::MatchesRegex(".* Compiler V[0-9]+ \\(Release\\)"));

    pqhost::PluginLibrary tuner(plugin("pq_Tuner"));
    EXPECT_EQ(tuner.factory2(), nullptr);
    EXPECT_EQ(tuner.sdkVersion(), 30400);
    EXPECT_THAT(pqhost::toUtf8(tuner.sdkText()), ::testing::MatchesRegex(".* Compiler V[0-9]+"));

    gmpi::IMpUnknown* object = nullptr;
    EXPECT_EQ(modules.createInstance2(u"pq Tuner", 1, &object), gmpi::kMpNoSupport);
    EXPECT_EQ(modules.createInstance2(u"PQADSR3 ", 0, &object), gmpi::kMpNoSupport);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(tuner.createInstance(u"pq Tuner", 2, nullptr, &object), gmpi::kMpNoSupport);
    EXPECT_EQ(tuner.createInstance(u"pq Tuner", 1, nullptr, &object), gmpi::kMpNoSupport);
    EXPECT_EQ(object, nullptr);
}

// Open, use and close the libraries many times; the sanitizer build reports any leak.
TEST(Deliverables, RepeatedLoadingLeavesNothingBehind) {
    for (int round = 0; round < 50; ++round) {
        for (const char* name : {"pq_Modules", "pq_Tuner"}) {
            pqhost::PluginLibrary library(plugin(name));
            pqhost::AudioEngine engine(44100.0f, 16);
            pqhost::AudioInstance tuner(engine);
            gmpi::IMpUnknown* object = nullptr;
            ASSERT_EQ(library.createInstance(u"pq Tuner", 0, tuner.hostObject(), &object), gmpi::kMpOk);
            tuner.attach(object, true);
            tuner.open();
            tuner.queueValue(0, 0, int32_t{round + 25}); // never 24, which leaves the output at 0
            tuner.runBlock();
            ASSERT_FALSE(tuner.values.empty());
        }
    }
}

TEST(Deliverables, ModulesReleaseTheirHost) {
    pqhost::PluginLibrary library(plugin("pq_Modules"));
    pqhost::AudioEngine engine(44100.0f, 16);
    auto tuner = std::make_unique<pqhost::AudioInstance>(engine);
    gmpi::IMpUnknown* object = nullptr;
    ASSERT_EQ(library.createInstance2(u"pq Tuner", 0, &object), gmpi::kMpOk);
    tuner->attach(object, false);
    EXPECT_EQ(tuner->host().refCount(), 2);
}

// Every module naming a block gets the same memory, which never moves: a later caller asking
// for more than the block holds gets none, and the first caller's block stays where it was.
TEST(AudioHost, SharedBlocksKeepTheirPlace) {
    pqhost::AudioEngine engine(48000.0f, 16);
    pqhost::AudioInstance first(engine), second(engine);
    struct Ask {
        pqhost::AudioInstance& who;
        const char16_t* name;
        int32_t size;
        int32_t result;
        int32_t needInitialise;
        bool sameAsFirst;
    };
    const Ask asks[] = {
        {first, u"table", 16, gmpi::kMpOk, 1, true},    {second, u"table", 16, gmpi::kMpOk, 0, true},
        {second, u"table", 8, gmpi::kMpOk, 0, true},    {second, u"table", 4096, gmpi::kMpFail, 0, false},
        {first, u"table", 16, gmpi::kMpOk, 0, true},    {second, u"other", 0, gmpi::kMpOk, 1, false},
        {first, u"other", -1, gmpi::kMpFail, 0, false},
    };
    void* table = nullptr;
    for (const Ask& ask : asks) {
        void* block = nullptr;
        int32_t needInitialise = -1;
        EXPECT_EQ(ask.who.host().allocateSharedMemory(ask.name, &block, -1.0f, ask.size, &needInitialise),
                  ask.result)
            << ask.size;
        if (table == nullptr) {
            table = block;
            std::memset(table, 0x5A, 16);
        }
        if (ask.result != gmpi::kMpOk) continue;
        EXPECT_EQ(needInitialise, ask.needInitialise) << ask.size;
        EXPECT_EQ(block == table, ask.sameAsFirst) << ask.size;
        EXPECT_NE(block, nullptr);
    }
    EXPECT_EQ(static_cast<unsigned char*>(table)[15], 0x5A);
    EXPECT_EQ(engine.sharedBlockCount(), 2u);
}

// Events reach the module inside the block it runs, whatever time they were queued at (a value
// sent late in a longer block reaches a short last block): the tuner answers at those times.
TEST(AudioHost, EventsLieInsideTheBlock) {
    pqhost::PluginLibrary library(plugin("pq_Modules"));
    pqhost::AudioEngine engine(48000.0f, 64);
    pqhost::AudioInstance tuner(engine);
    gmpi::IMpUnknown* object = nullptr;
    ASSERT_EQ(library.createInstance2(u"pq Tuner", 0, &object), gmpi::kMpOk);
    tuner.attach(object, false);
    tuner.open();
    struct Case {
        int32_t queuedAt, count, semitone, sentAt;
    };
    const Case cases[] = {{40, 10, 12, 9}, {-5, 64, 0, 0}, {63, 64, 36, 63}, {2147483647, 1, 48, 0}};
    for (const Case& c : cases) {
        tuner.queueValue(c.queuedAt, 0, c.semitone);
        ASSERT_TRUE(tuner.runBlock(c.count));
        ASSERT_FALSE(tuner.values.empty());
        EXPECT_EQ(tuner.values.back().time, c.sentAt) << c.queuedAt;
    }
}

TEST(HostErrors, BadFilesGiveOneLineAndExitOne) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    const std::string foreign = ::testing::TempDir() + "/foreign." + std::to_string(::getpid()) + ".so";
    std::ofstream(foreign) << "not a library";
    for (const std::string& target : {std::string("/nonexistent/pq_Nothing.so"), foreign, std::string("/")}) {
        int status = 0;
        const std::string output = run(pqhost + " info " + target, status);
        EXPECT_EQ(status, 1) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        EXPECT_THAT(output, ::testing::StartsWith("pqhost: ")) << output;
    }
    int status = 0;
    run(pqhost + " frobnicate", status);
    EXPECT_NE(status, 0);
    EXPECT_THROW(pqhost::PluginLibrary("/nonexistent.so"), pqhost::HostError);
}

// Help and version answer 0 on standard output, for the program and each command; numbers
// out of range or not numbers at all are refused with a usage error.
TEST(HostCommandLine, HelpVersionAndCheckedNumbers) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    struct Case {
        std::string arguments;
        int status;
        const char* shows;
    };
    const Case cases[] = {
        {"--help", 0, "Subcommands:"},
        {"--version", 0, "pqhost "},
        {"render --help", 0, "-o,--output"},
        {"validate --help", 0, "--rounds"},
        {"info --help", 0, "library"},
        {"validate x.so --rounds 0", 2, "--rounds"},
        {"validate x.so --seed -1", 2, "--seed"},
        {"validate x.so --timeout soon", 2, "--timeout"},
        {"validate x.so --level deep", 2, "--level"},
        {"render p.json", 2, "--output is required"},
        {"frobnicate", 2, "pqhost: "},
    };
    for (const Case& c : cases) {
        int status = -1;
        // Standard output alone for the answers that succeed, both streams for the errors.
        const std::string command = pqhost + " " + c.arguments;
        const std::string output = run(c.status == 0 ? "(" + command + " 2>/dev/null)" : command, status);
        EXPECT_EQ(status, c.status) << c.arguments << ": " << output;
        EXPECT_THAT(output, ::testing::HasSubstr(c.shows)) << c.arguments;
        if (c.status != 0) {
            EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        }
    }
}

// The thorough level runs every module once per seed, each run with its own block size and rate.
TEST(HostCommandLine, ValidatesAtTheThoroughLevel) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    int status = -1;
    const std::string output =
        run(pqhost + " validate " + plugin("pq_Tuner") + " --level thorough --rounds 5", status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_THAT(output,
                ::testing::HasSubstr("at the thorough level, 8 run(s) of 20 rounds from seed 1: 0 failed"));
}

TEST(HostInfo, ListsTheTunerWithItsPins) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    for (const char* name : {"pq_Modules", "pq_Tuner"}) {
        int status = 0;
        const std::string output = run(pqhost + " info " + plugin(name), status);
        EXPECT_EQ(status, 0);
        EXPECT_THAT(output, ::testing::HasSubstr("module \"pq Tuner\" subtype 0"));
        EXPECT_THAT(output, ::testing::HasSubstr("pin 2 \"pitchOut\" float out"));
    }
}

} // namespace
