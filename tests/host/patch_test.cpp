// Patch files: what the host refuses, and how values travel between modules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>
#include <fstream>
#include <set>

#include "host/audio_instance.h"
#include "host/host_error.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct PatchFiles : pqtest::TempFolderTest {
    PatchFiles() : TempFolderTest("pq_patch_test") {}
    const fs::path& dir = root;
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
        // Found by feeding the reader mutated patches.
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner", "values": {"fineOffset": 1e39}}]})",
         "value of \"fineOffset\": 1e+39 lies beyond the range of a 32-bit float"},
        {R"({"length": 1, "modules": [{"name": "o", "library": "pq_Modules", "id": "pellquin ArrayOsc", "values": {"Wave A": [0, -1e300]}}]})",
         "value of \"Wave A\" sample 1: -1e+300 lies beyond the range of a 32-bit float"},
        {R"({"length": 1, "modules": [{"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2}],
            "pointer": [{"time": 0, "module": "b", "action": "down", "x": 0, "y": 3.5e38}]})",
         "pointer[0]: y: 3.5e+38 lies beyond the range of a 32-bit float"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3", "subtype": 0.5}]})",
         "modules[0]: subtype: must be 0 (audio), 1 or 2 (GUI), not 0.5"},
        {R"({"length": 3600, "sampleRate": 768000, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}],
            "output": ["x.Signal Out", "x.Signal Out"]})",
         "output: 2 channels of 2764800000 samples are more than a WAV file holds"},
        {R"({"length": 1, "modules": [{"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2}],
            "faces": [{"module": "b", "width": 8192, "height": 8192, "file": "1.png"},
                      {"module": "b", "width": 8192, "height": 8192, "file": "2.png"},
                      {"module": "b", "width": 1, "height": 1, "file": "3.png"}]})",
         "faces[2]: the faces hold more than 134217728 pixels together"},
        {R"({"length": 1, "modules": [{"name": "t", "library": "pq_Modules", "id": "Bool Text", "subtype": 1}],
            "faces": [{"module": "t", "width": 10, "height": 10, "file": "t.png"}]})",
         "module \"t\" has no face to paint"},
        {R"({"length": 1, "modules": [{"name": "o", "library": "pq_Modules", "id": "pellquin ArrayLFO", "values": {"Wave": {"wav": "."}}}]})",
         "modules[0]: value of \"Wave\": cannot read wave file"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}],
            "events": [{"pin": "x.Gate", "gate": {"start": 0, "high": 1e-7, "low": 1e-7, "repeat": 600000}}]})",
         "events[0]: a patch holds at most 1048576 events"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner"}],
            "events": [{"pin": "x.semitoneSelect", "gate": {"start": 2, "high": 0.5, "level": 0.5}}]})",
         "events[0]: pin \"semitoneSelect\" takes a 32-bit integer, found 0.5"},
        {R"({"length": 1, "modules": [{"name": "o", "library": "foreign.so", "id": "PQADSR3"}]})",
         "foreign.so: not an ELF file"},
        // Whatever the JSON library throws comes with the file and the place.
        {R"({"sampleRate": 1e400, "length": 1})",
         "not valid JSON: line 1, column 20: number overflow parsing '1e400'"},
        // The WAV header holds whole hertz.
        {R"({"sampleRate": 44100.5, "length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}]})",
         "sampleRate: must be a whole number of Hz, not 44100.5"},
        // Unknown keys at every level, with the nearest known key.
        {R"({"samplerate": 96000, "length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}]})",
         "top level: unknown key \"samplerate\"; did you mean \"sampleRate\"?"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3", "valeus": {}}]})",
         "modules[0]: unknown key \"valeus\"; did you mean \"values\"?"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}],
            "events": [{"pin": "x.Gate", "gate": {"start": 0, "hihg": 0.5}}]})",
         "events[0]: gate: unknown key \"hihg\"; did you mean \"high\"?"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "PQADSR3"}],
            "events": [{"pin": "x.Gate", "time": 0, "value": 1, "colour": "red"}]})",
         "events[0]: unknown key \"colour\""},
        {R"({"length": 1, "modules": [{"name": "o", "library": "pq_Modules", "id": "pellquin ArrayLFO", "values": {"Wave": {"wave": "saw.wav"}}}]})",
         "value of \"Wave\": unknown key \"wave\"; did you mean \"wav\"?"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner", "values": {"semitoneselect": 1}}]})",
         "has no pin \"semitoneselect\"; did you mean \"semitoneSelect\"?"},
        {R"({"length": 1, "modules": [{"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2}],
            "faces": [{"module": "b", "width": 8, "height": 8, "file": "f.png", "tiem": 0.5}]})",
         "faces[0]: unknown key \"tiem\"; did you mean \"time\"?"},
        // Face files stay in the WAV's folder.
        {R"({"length": 1, "modules": [{"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2}],
            "faces": [{"module": "b", "width": 8, "height": 8, "file": "../f.png"}]})",
         "faces[0]: file: \"../f.png\" is a name with \"..\""},
        {R"({"length": 1, "modules": [{"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2}],
            "faces": [{"module": "b", "width": 8, "height": 8, "file": "/tmp/f.png"}]})",
         "faces[0]: file: \"/tmp/f.png\" is an absolute path"},
    };
    // Error messages stay one short line, however long or deep the fault in the file.
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string longName(100000, 'n');
    const std::vector<std::pair<std::string, const char*>> longCases = {
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner", "values": {"fineOffset": )" +
             deep + "}}]}",
         "value of \"fineOffset\": expected a number, found a list"},
        {"[" + deep + ",", "not valid JSON: parse error at line 1, column 200003: syntax error"},
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": ")" + longName + "\"}]}",
         "modules[0]: unknown module \"nnnnnnnn"},
    };
    std::vector<std::pair<std::string, const char*>> all(longCases);
    for (const Case& c : cases)
        all.emplace_back(c.patch, c.message);
    write("foreign.so", "not a library");
    for (const auto& [patch, message] : all) {
        const std::string shown = patch.substr(0, 300);
        try {
            pqhost::PatchRunner runner(load(patch));
            ADD_FAILURE() << "accepted: " << shown;
        } catch (const pqhost::HostError& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr(message)) << shown;
            EXPECT_THAT(e.what(), ::testing::HasSubstr("p.json")) << shown;
            EXPECT_LT(std::string(e.what()).size(), 400u) << shown;
        }
    }
    // Files the reader must not read: devices, FIFOs (which would wait for a writer forever),
    // files beyond the size limit; the same for wave files a patch names.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::resize_file(write("huge.json", ""), pqhost::kFileSizeLimit + 1);
    const std::pair<std::string, const char*> unreadable[] = {
        {"/dev/zero", "/dev/zero: cannot read the patch file: not a regular file"},
        {(dir / "fifo").string(), "fifo: cannot read the patch file: not a regular file"},
        {(dir / "huge.json").string(), "huge.json: cannot read the patch file: larger than 64 MiB"},
    };
    for (const auto& [file, message] : unreadable)
        EXPECT_THAT([&] { pqhost::loadPatch(file, PQ_PLUGIN_DIR); },
                    ::testing::ThrowsMessage<pqhost::HostError>(::testing::HasSubstr(message)));
    fs::resize_file(write("huge.wav", ""), pqhost::kFileSizeLimit + 1);
    for (const char* wave : {"/dev/zero", "fifo", "huge.wav"})
        EXPECT_THAT(
            [&] {
                load(std::string(R"({"length": 1, "modules": [{"name": "o", "library": "pq_Modules",
                    "id": "pellquin ArrayLFO", "values": {"Wave": {"wav": ")") +
                     wave + "\"}}}]}");
            },
            ::testing::ThrowsMessage<pqhost::HostError>(
                ::testing::AllOf(::testing::HasSubstr("value of \"Wave\": cannot read wave file"),
                                 ::testing::AnyOf(::testing::HasSubstr("not a regular file"),
                                                  ::testing::HasSubstr("larger than")))))
            << wave;

    // The patch file itself: a directory, or none.
    fs::create_directories(dir / "folder.json");
    EXPECT_THAT([&] { pqhost::loadPatch(dir / "folder.json", PQ_PLUGIN_DIR); },
                ::testing::ThrowsMessage<pqhost::HostError>(
                    ::testing::HasSubstr("folder.json: cannot read the patch file: a directory")));
    EXPECT_THAT([&] { pqhost::loadPatch(dir / "none.json", PQ_PLUGIN_DIR); },
                ::testing::ThrowsMessage<pqhost::HostError>(
                    ::testing::HasSubstr("none.json: cannot read the patch file")));
}

// A render that fails leaves no file behind, not even the faces painted before the fault;
// one that succeeds leaves its WAV and its faces and no temporary file.
TEST_F(PatchFiles, RenderWritesNoPartialFileOnError) {
    const std::string pqhost = std::string(PQ_BINARY_DIR) + "/pqhost";
    const std::string withFace = R"({"length": 0.01, "modules": [
        {"name": "b", "library": "pq_Modules", "id": "QM pq_ClickRectangle", "subtype": 2},
        {"name": "x", "library": "pq_Modules", "id": "PQADSR3"}], "output": ["x.Signal Out"],
        "faces": [{"module": "b", "width": 8, "height": 8, "file": "face.png"}, FACE]})";
    const auto withSecondFace = [&](const std::string& face) {
        std::string text = withFace;
        return text.replace(text.find("FACE"), 4, face);
    };
    struct Case {
        std::string patch;
        std::string out; // relative to the test directory
        bool succeeds;
    };
    const Case cases[] = {
        {R"({"length": 1, "modules": [{"name": "x", "library": "pq_Modules", "id": "pq Tuner"}]})", "out.wav",
         false},
        {withSecondFace(R"({"module": "b", "width": 8, "height": 8, "file": "missing/face.png"})"), "out.wav",
         false},
        {withSecondFace(R"({"module": "b", "width": 8, "height": 8, "file": "out.wav"})"), "out.wav", false},
        {withSecondFace(R"({"module": "b", "width": 8, "height": 8, "file": "."})"), "out.wav", false},
        {withSecondFace(R"({"module": "b", "width": 8, "height": 8, "file": "face2.png"})"), "sub", false},
        {withSecondFace(R"({"module": "b", "width": 8, "height": 8, "file": "face2.png"})"), "p.json", false},
        {withSecondFace(R"({"module": "b", "width": 8, "height": 8, "file": "face2.png"})"), "out.wav", true},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir / "sub");
        const fs::path patch = write("p.json", c.patch);
        const int status = std::system((pqhost + " render " + patch.string() + " -o " +
                                        (dir / c.out).string() + " 2>/dev/null >/dev/null")
                                           .c_str());
        EXPECT_EQ(status == 0, c.succeeds) << c.patch;
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(dir))
            files.insert(entry.path().filename().string());
        const std::set<std::string> expected =
            c.succeeds ? std::set<std::string>{"face.png", "face2.png", "out.wav", "p.json", "sub"}
                       : std::set<std::string>{"p.json", "sub"};
        EXPECT_EQ(files, expected) << c.patch;
        std::ifstream in(patch);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.patch);
    }
}

} // namespace

namespace {
// A single-module text rectangle that writes "XX" in the style "big", painted at the end.
std::string labelPatch(const std::string& skin) {
    return R"({"length": 0.01,)" + skin + R"(
      "modules": [{"name": "t", "library": "pq_Modules", "id": "pq Tuner"},
        {"name": "label", "library": "pq_TextRectangle", "id": "QM pq_TextRectangle", "subtype": 1,
         "values": {"Text": "XX", "Style": "big", "Top Colour": "FF000000"}}],
      "faces": [{"module": "label", "width": 60, "height": 30, "file": "label.png"}]})";
}
bool hasGreen(const pqhost::FaceImage& face) {
    return std::any_of(face.pixels.begin(), face.pixels.end(), [](uint32_t p) {
        return (p >> 24) == 0xFF && ((p >> 8) & 0xFF) > 200 && ((p >> 16) & 0xFF) < 60 && (p & 0xFF) < 60;
    });
}
} // namespace

TEST_F(PatchFiles, TheSkinsStyleSheetReachesTheFaces) {
    write("skin.txt", "FONT_CATEGORY Big\nfont-size 20\nfont-color #00FF00\n");
    for (const bool withSkin : {true, false}) {
        const pqhost::Patch patch = load(labelPatch(withSkin ? R"("skin": "skin.txt",)" : ""));
        pqhost::PatchRunner runner(patch);
        runner.run();
        ASSERT_EQ(runner.faces().size(), 1u);
        EXPECT_EQ(hasGreen(runner.faces()[0].second), withSkin); // without a skin: black text
    }
}

TEST_F(PatchFiles, ASkinThatCannotBeReadIsRefused) {
    fs::create_directories(dir / "folder");
    for (const char* skin :
         {R"("skin": "missing.txt",)", R"("skin": "folder",)", R"("skin": 3,)", R"("skin": "",)"}) {
        try {
            load(labelPatch(skin));
            ADD_FAILURE() << skin;
        } catch (const pqhost::HostError& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr("skin")) << skin;
        }
    }
}
