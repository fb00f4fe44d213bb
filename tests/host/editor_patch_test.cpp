// Patches that hold the wave editor: entries chosen by text, the patch saved after a render,
// the waves exported as WAV files and loaded back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "host/host_error.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/patch_save.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct EditorPatches : pqtest::TempFolderTest {
    EditorPatches() : TempFolderTest("pq_editor_patch_test") {}
    const fs::path& dir = root;
    static std::vector<float> samples(const std::vector<uint8_t>* bytes) {
        std::vector<float> out(bytes == nullptr ? 0 : bytes->size() / 4);
        if (!out.empty()) std::memcpy(out.data(), bytes->data(), out.size() * 4);
        return out;
    }
};

// An editor on wave 0 with a generator and a modifier named by their entries, a Shift
// stroke, and an oscillator playing the wave from 0.1 s on.
const char* kEdited = R"({"sampleRate": 48000, "blockSize": 64, "length": 0.3,
  "modules": [
    {"name": "ed", "library": "pq_Modules", "id": "pq WaveEditor", "subtype": 2,
     "values": {"Wave Length": 64, "N": 2, "A": 0.5, "Modify": 4}},
    {"name": "env", "library": "pq_Modules", "id": "PQADSR3", "values": {"Gate": 0, "Trigger": 0, "Attack": 0, "Sustain": 1}},
    {"name": "osc", "library": "pq_Modules", "id": "pellquin ArrayOsc",
     "values": {"Pitch": 0.5, "Level Mode": 1, "Voices A": 1}}],
  "connections": [{"from": "ed.Wave1", "to": "osc.Wave A"}, {"from": "env.Signal Out", "to": "osc.Level"}],
  "events": [{"time": 0.002, "pin": "ed.Generate", "value": " ramp up "},
             {"time": 0.004, "pin": "ed.Modify", "value": "ADD HARMONIC [N]"},
             {"pin": "env.Gate", "gate": {"start": 0.1, "high": 0.15}}],
  "pointer": [{"time": 0.01, "module": "ed", "action": "down", "x": 8, "y": 20},
              {"time": 0.011, "module": "ed", "action": "move", "x": 40, "y": 80, "shift": true},
              {"time": 0.012, "module": "ed", "action": "up", "x": 40, "y": 80, "shift": true}],
  "faces": [{"module": "ed", "width": 64, "height": 101, "file": "ed.png"}],
  "output": ["osc.Signal Out"]})";

TEST_F(EditorPatches, SavedPatchStartsFromTheEditedWaveAndRendersTheSame) {
    const pqhost::Patch patch = pqhost::loadPatch(write("p.json", kEdited), PQ_PLUGIN_DIR);
    pqhost::PatchRunner runner(patch);
    runner.run();
    const std::vector<float> edited = samples(runner.guiModule("ed")->pinValue(4));
    ASSERT_EQ(edited.size(), 64u);
    EXPECT_NEAR(edited[8], 0.3f, 1e-6f); // the stroke's line from (8, 0.3) to (40, -0.3)
    EXPECT_NEAR(edited[24], 0.0f, 1e-6f);

    fs::create_directories(dir / "elsewhere");
    const fs::path saved = dir / "elsewhere" / "saved.json";
    pqhost::writeSavedPatch(saved, patch, runner);
    std::ifstream in(saved);
    const json text = json::parse(in);
    const json& values = text["modules"][0]["values"];
    EXPECT_EQ(values["Wave1"]["samples"].get<std::vector<float>>(), edited);
    EXPECT_FALSE(values.contains("Modify")); // commands would run again on loading
    EXPECT_FALSE(values.contains("Generator List"));
    EXPECT_EQ(text["events"].size(), 1u); // the gate stays, the editor's commands are in its wave
    EXPECT_FALSE(text.contains("pointer") && !text["pointer"].empty());

    const pqhost::Patch again = pqhost::loadPatch(saved, PQ_PLUGIN_DIR);
    pqhost::PatchRunner rerun(again);
    rerun.run();
    EXPECT_EQ(samples(rerun.guiModule("ed")->pinValue(4)), edited);
    ASSERT_EQ(rerun.channels().at(0).size(), runner.channels().at(0).size());
    EXPECT_EQ(rerun.channels().at(0), runner.channels().at(0));
    EXPECT_GT(*std::max_element(runner.channels()[0].begin(), runner.channels()[0].end()), 0.1f);
}

TEST_F(EditorPatches, ExportedWavesLoadBackIntoAnEditor) {
    const pqhost::Patch patch = pqhost::loadPatch(write("p.json", kEdited), PQ_PLUGIN_DIR);
    pqhost::PatchRunner runner(patch);
    runner.run();
    const std::vector<std::string> written = pqhost::exportWaves(dir / "waves", patch, runner);
    ASSERT_EQ(written, std::vector<std::string>{(dir / "waves" / "ed-Wave1.wav").string()});
    const std::vector<uint8_t> file = pqhost::readWaveBlob(written[0]);
    EXPECT_EQ(file, *runner.guiModule("ed")->pinValue(4)); // 32-bit floats, bit for bit

    // A patch loads the file into another wave; the editor takes it and sends it on.
    const pqhost::Patch loading = pqhost::loadPatch(write("load.json", R"({"length": 0.01,
      "modules": [{"name": "ed", "library": "pq_Modules", "id": "pq WaveEditor", "subtype": 2,
                   "values": {"Wave Length": 64, "Wave Select": 2, "Wave3": {"wav": "waves/ed-Wave1.wav"}}}],
      "events": [{"time": 0.001, "pin": "ed.Modify", "value": "REVERSE"}]})"),
                                                    PQ_PLUGIN_DIR);
    pqhost::PatchRunner loader(loading);
    loader.run();
    std::vector<float> reversed = samples(runner.guiModule("ed")->pinValue(4));
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(samples(loader.guiModule("ed")->pinValue(6)), reversed);

    // Every file lands inside the directory, whatever the module's name holds.
    const pqhost::Patch named = pqhost::loadPatch(write("named.json", R"({"length": 0.01,
      "modules": [{"name": "/sub/ed", "library": "pq_Modules", "id": "pq WaveEditor", "subtype": 2,
                   "values": {"Wave Length": 2, "Wave2": [0.25, -0.25]}}]})"),
                                                  PQ_PLUGIN_DIR);
    pqhost::PatchRunner namedRunner(named);
    namedRunner.run();
    EXPECT_EQ(pqhost::exportWaves(dir / "named", named, namedRunner),
              std::vector<std::string>{(dir / "named" / "_sub_ed-Wave2.wav").string()});

    // Waves go into a directory; a file in the way is refused.
    EXPECT_THAT([&] { pqhost::exportWaves(dir / "p.json", patch, runner); },
                ::testing::ThrowsMessage<pqhost::HostError>(::testing::HasSubstr("not a directory")));
}

// The example of four waves: three generated, one loaded from a WAV file and band-limited,
// each reaching its oscillator, which morphs between two of them.
TEST_F(EditorPatches, WaveMorphExampleFillsFourWaves) {
    const pqhost::Patch patch =
        pqhost::loadPatch(std::string(PQ_SOURCE_DIR) + "/examples/wave_morph.json", PQ_PLUGIN_DIR);
    pqhost::PatchRunner runner(patch);
    runner.run();
    const pqhost::GuiModuleInstance* editor = runner.guiModule("waves");
    std::set<std::vector<float>> waves;
    for (int32_t pin = 4; pin < 8; ++pin) {
        const std::vector<float> wave = samples(editor->pinValue(pin));
        EXPECT_EQ(wave.size(), 2048u) << pin;
        EXPECT_GT(*std::max_element(wave.begin(), wave.end()), 0.4f) << pin;
        waves.insert(wave);
    }
    EXPECT_EQ(waves.size(), 4u);
    for (const std::vector<float>& channel : runner.channels())
        EXPECT_GT(*std::max_element(channel.end() - 4800, channel.end()), 0.2f);
    EXPECT_EQ(runner.faces().size(), 4u);
}

TEST_F(EditorPatches, EntriesNamedByTextMustBeInTheList) {
    const auto patchWith = [&](const std::string& entry) {
        return write("p.json", R"({"length": 0.01, "modules": [{"name": "ed", "library": "pq_Modules",
          "id": "pq WaveEditor", "subtype": 2, "values": {"Wave Length": 8}}],
          "events": [{"time": 0.001, "pin": "ed.Generate", "value": ")" +
                                   entry + R"("}]})");
    };
    EXPECT_THAT([&] { pqhost::loadPatch(patchWith("----"), PQ_PLUGIN_DIR); },
                ::testing::ThrowsMessage<pqhost::HostError>(::testing::HasSubstr("events[0]")));
    const pqhost::Patch patch = pqhost::loadPatch(patchWith("SAWTOOTH"), PQ_PLUGIN_DIR);
    EXPECT_THAT([&] { pqhost::PatchRunner runner(patch); },
                ::testing::ThrowsMessage<pqhost::HostError>(::testing::HasSubstr(
                    "events[0]: \"SAWTOOTH\" is no entry of the list \"Generator List\" of module \"ed\"")));

    const std::u16string list = u"SINE,RAMP UP,----, RANDOM LINES,NTH HARMONIC [N+A] ";
    const struct {
        const char* entry;
        int32_t index;
    } cases[] = {{"SINE", 0},  {"ramp up", 1}, {"random lines", 3}, {"NTH HARMONIC [N+A]", 4},
                 {"----", -1}, {"", -1},       {"RAMP", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(pqhost::selectionIndex(list, c.entry), c.index) << c.entry;
}

// --save and --export-waves that would overwrite what they must not are refused before the
// render, and nothing is written.
TEST_F(EditorPatches, CommandLineRefusesUnsafeTargets) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    const fs::path patch = write("p.json", kEdited);
    const fs::path blocker = write("blocker", "x");
    const struct {
        std::string options;
        bool succeeds;
    } cases[] = {
        {"--save " + patch.string(), false},
        {"--save " + dir.string(), false},
        {"--save " + (dir / "out.wav").string(), false},
        {"--save " + (dir / "missing" / "saved.json").string(), false},
        {"--export-waves " + blocker.string(), false},
        {"--save " + (dir / "saved.json").string() + " --export-waves " + (dir / "waves").string(), true},
    };
    for (const auto& c : cases) {
        const int status = std::system((pqhost + " render " + patch.string() + " -o " +
                                        (dir / "out.wav").string() + " " + c.options + " >/dev/null 2>&1")
                                           .c_str());
        EXPECT_EQ(status == 0, c.succeeds) << c.options;
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir))
            files.insert(entry.path().filename().string());
        const std::set<std::string> expected =
            c.succeeds
                ? std::set<std::string>{"blocker", "ed.png", "out.wav", "p.json", "saved.json", "waves"}
                : std::set<std::string>{"blocker", "p.json"};
        EXPECT_EQ(files, expected) << c.options;
    }
    EXPECT_TRUE(fs::exists(dir / "waves" / "ed-Wave1.wav"));
    std::ifstream in(patch);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kEdited);
}

} // namespace

// The single-module editor's example: a generator, a modifier and a Shift stroke on its
// composited face, the wave reaching an oscillator in another library.
TEST_F(EditorPatches, EarlierEditorExampleGeneratesModifiesAndDraws) {
    const pqhost::Patch patch =
        pqhost::loadPatch(std::string(PQ_SOURCE_DIR) + "/examples/earlier_editor.json", PQ_PLUGIN_DIR);
    pqhost::PatchRunner runner(patch);
    runner.run();
    const std::vector<float> wave = samples(runner.guiModule("editor")->pinValue(4));
    ASSERT_EQ(wave.size(), 256u);
    // The stroke's straight line runs from the press at x = 40 to the release at x = 120.
    EXPECT_GT(wave[40], wave[120]);
    for (size_t i : {60u, 80u, 100u})
        EXPECT_NEAR(wave[i], wave[40] + (wave[120] - wave[40]) * float(i - 40) / 80.0f, 1e-4f) << i;
    // Before the stroke: the generated harmonics, scaled to their peak.
    EXPECT_GT(*std::max_element(wave.begin(), wave.begin() + 40), 0.4f);
    EXPECT_GT(*std::max_element(runner.channels()[0].begin(), runner.channels()[0].end()), 0.1f);
    EXPECT_EQ(runner.faces().size(), 1u);
}
