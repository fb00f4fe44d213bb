// Patch files: what the host refuses, and how values travel between modules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/audio_instance.h"
#include "host/host_error.h"
#include "host/patch.h"
#include "host/patch_runner.h"

namespace {

namespace fs = std::filesystem;

struct PatchFiles : ::testing::Test {
    fs::path dir = fs::path(::testing::TempDir()) / "pq_patch_test";
    void SetUp() override { fs::create_directories(dir); }
    fs::path write(const std::string& name, const std::string& text) {
        const fs::path file = dir / name;
        std::ofstream(file) << text;
        return file;
    }
    pqhost::Patch load(const std::string& text) {
        return pqhost::loadPatch(write("p.json", text), PQ_PLUGIN_DIR);
    }
};

const char* kTwoTuners = R"({"sampleRate": 48000, "blockSize": 32, "length": 0.01,
  "modules": [
    {"name": "b", "library": "pq_Tuner", "id": "pq Tuner"},
    {"name": "a", "library": "pq_Modules", "id": "pq Tuner", "values": {"semitoneSelect": 12}}],
  "connections": [{"from": "a.pitchOut", "to": "b.fineOffset"}],
  "events": [{"time": 0.005, "pin": "a.semitoneSelect", "value": 0}]})";

// A value set by one module reaches the connected input at the same time, in the same block
// when the running order allows.
TEST_F(PatchFiles, ControlValuesTravelAlongConnections) {
    const pqhost::Patch patch = load(kTwoTuners);
    pqhost::PatchRunner runner(patch);
    runner.run();
    const pqhost::AudioInstance* b = runner.audioModule("b");
    ASSERT_NE(b, nullptr);
    // b: selection 0 (two octaves up) plus a's pitch as its fine offset, which is 1.0 and
    // then 2.0 from sample 240 on; graph start first announces b's initial 0.
    std::vector<std::pair<int64_t, float>> seen;
    for (const auto& v : b->values)
        seen.emplace_back(v.block * 32 + v.time, v.asFloat());
    EXPECT_THAT(seen, ::testing::ElementsAre(std::make_pair(0, 0.0f), std::make_pair(0, 3.0f),
                                             std::make_pair(240, 4.0f)));
    EXPECT_EQ(runner.blocks(), 15);
    // Both tuners sleep in every block nothing reaches them.
    for (const auto& m : runner.report())
        EXPECT_EQ(m.blocksRun + m.blocksSlept, 15) << m.name;
    EXPECT_EQ(runner.report()[0].blocksRun, 2);
}

TEST_F(PatchFiles, BadPatchesNameThePlace) {
    struct Case {
        const char* patch;
        const char* message;
    };
    const std::string lib = R"("library": "pq_Modules")";
    const Case cases[] = {
        {"{", "not valid JSON"},
        {R"({"modules": []})", "missing \"length\""},
        {R"({"length": -1, "modules": []})", "length: must not be negative"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuna"}]})",
         "modules[0]: unknown module \"pq Tuna\""},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Nowhere", "id": "pq Tuner"}]})",
         "modules[0]: library \"pq_Nowhere\" not found"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner", "values": {"pitch": 1}}]})",
         "modules[0]: value of \"pitch\": module \"x\" has no pin \"pitch\""},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner", "values": {"fineOffset": "high"}}]})",
         "expected a number"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner"},
            {"name": "y", "library": "pq_Modules", "id": "pq Tuner"}],
            "connections": [{"from": "x.pitchOut", "to": "y.semitoneSelect"}]})",
         "connections[0]: cannot connect float output \"pitchOut\" to int input \"semitoneSelect\""},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner"}],
            "events": [{"time": 2, "pin": "x.fineOffset", "value": 1}]})",
         "events[0]: time: time 2.000000 s lies beyond the patch's length"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner"}],
            "output": ["x.pitchOut"]})",
         "output[0]: only audio outputs can be rendered"},
    };
    for (const Case& c : cases) {
        try {
            load(c.patch);
            ADD_FAILURE() << "accepted: " << c.patch;
        } catch (const pqhost::HostError& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr(c.message)) << c.patch;
            EXPECT_THAT(e.what(), ::testing::HasSubstr("p.json")) << c.patch;
        }
    }
}

TEST_F(PatchFiles, RenderWritesNoPartialFileOnError) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    const fs::path out = dir / "never.wav";
    fs::remove(out);
    const fs::path patch =
        write("bad.json",
              R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner"}]})");
    const int status =
        std::system((pqhost + " render " + patch.string() + " -o " + out.string() + " 2>/dev/null").c_str());
    EXPECT_NE(status, 0);
    EXPECT_FALSE(fs::exists(out));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos);
}

} // namespace
