// What each deliverable's file says about its modules, read without loading it, against what
// the modules register when they are made: ids, datatypes and directions of the pins they
// attach, names from their pin tables. Run once per edition, for the libraries of that
// edition. Also: the descriptions hosts rely on, and what the host makes of bad ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

#include "host/catalogue.h"
#include "host/module_creation.h"
#include "host/host_error.h"
#include "host/plugin_library.h"
#include "modules/envelope/envelope3.h"
#include "modules/guiutil/bool_text.h"
#include "modules/guiutil/click_rectangle.h"
#include "modules/guiutil/double_click_reset.h"
#include "modules/guiutil/float_reset_x2.h"
#include "modules/guiutil/preset_increment_fixer.h"
#include "modules/guiutil/text_rectangle.h"
#include "modules/tuner/pq_tuner.h"
#include "modules/wavetable/array_lfo.h"
#include "modules/wavetable/array_osc.h"
#include "modules/waveeditor/wave_editor.h"
#include "runtime/audio/edition.h"

namespace {

struct RegisteredPin {
    int32_t datatype;
    int32_t direction; // -1 for GUI pins, which do not know theirs
    bool operator==(const RegisteredPin&) const = default;
};

struct Registered {
    std::map<int32_t, RegisteredPin> pins;
    std::span<const pq::PinDescription> table;
};

// Makes the module as its constructor runs in this edition and collects what it attached.
template <class Module> Registered registered() {
    auto module = std::make_unique<Module>();
    Registered r{{}, Module::kPins};
    if constexpr (std::is_base_of_v<MpBase, Module>) {
        for (const auto& [id, pin] : module->pins())
            r.pins[id] = {pin->getDatatype(), pin->getDirection()};
    } else {
        for (const auto& [id, pin] : static_cast<GuiPinOwner&>(*module).pins)
            r.pins[id] = {pin->getDatatype(), -1};
    }
    return r;
}

const std::map<std::string, std::function<Registered()>> kModules = {
    {"Envelope3", registered<Envelope3>},
    {"ArrayLFO", registered<ArrayLFO>},
    {"ArrayOsc", registered<ArrayOsc>},
    {"pqTuner", registered<pqTuner>},
    {"BoolText", registered<BoolText>},
    {"DoubleClickReset", registered<DoubleClickReset>},
    {"pq_FloatResetX2", registered<pq_FloatResetX2>},
    {"pq_TextRectangle", registered<pq_TextRectangle>},
    {"waveEditor", registered<waveEditor>},
#if !PQ_EDITION_EARLIER
    {"pq_ClickRectangleGui", registered<pq_ClickRectangleGui>},
    {"Pq_presetincrementfixerGui", registered<Pq_presetincrementfixerGui>},
#endif
};

std::vector<std::string> librariesOfThisEdition() {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(PQ_PLUGIN_DIR)) {
        if (entry.path().extension() != ".so") continue;
        pqhost::PluginLibrary library(entry.path().string());
        if ((library.factory2() == nullptr) == pq::kEarlierEdition) paths.push_back(entry.path().string());
    }
    return paths;
}

TEST(LibraryDescriptions, MatchWhatTheModulesRegister) {
    const auto libraries = librariesOfThisEdition();
    EXPECT_FALSE(libraries.empty());
    for (const std::string& path : libraries) {
        SCOPED_TRACE(path);
        const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(path);
        ASSERT_FALSE(catalogue.modules.empty());
        pqhost::PluginLibrary library(path);
        EXPECT_EQ(pqhost::creatableModules(library, catalogue).size(), catalogue.modules.size());
        for (const pqhost::ModuleInfo& module : catalogue.modules) {
            SCOPED_TRACE(module.className);
            const auto maker = kModules.find(module.className);
            ASSERT_NE(maker, kModules.end());
            const Registered r = maker->second();
            ASSERT_EQ(module.pins.size(), r.pins.size());
            ASSERT_EQ(module.pins.size(), r.table.size());
            for (size_t i = 0; i < module.pins.size(); ++i) {
                const pqhost::PinInfo& described = module.pins[i];
                SCOPED_TRACE(described.name);
                const auto pin = r.pins.find(described.id);
                ASSERT_NE(pin, r.pins.end());
                const bool guiPin = module.subtype != gmpi::kSubtypeAudio;
                EXPECT_EQ((RegisteredPin{described.datatype, guiPin ? -1 : described.direction}),
                          pin->second);
                EXPECT_EQ(described.name, r.table[i].name);
                EXPECT_EQ(described.id, r.table[i].id);
                EXPECT_EQ(described.direction, r.table[i].direction);
                EXPECT_EQ(described.defaultValue, r.table[i].defaultValue);
            }
        }
    }
}

// A copy of a deliverable with its description section replaced (or removed: empty text).
std::string libraryWithDescription(const std::string& text) {
    const std::string dir = ::testing::TempDir() + "/pq_descriptions." + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string out = dir + "/pq_Tuner.so";
    std::string command;
    if (text.empty()) {
        command = "objcopy --remove-section=pq_plugin_xml " PQ_PLUGIN_DIR "/pq_Tuner.so " + out;
    } else {
        const std::string section = dir + "/section.xml";
        FILE* f = std::fopen(section.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size() + 1, f); // with its NUL
        std::fclose(f);
        command =
            "objcopy --update-section pq_plugin_xml=" + section + " " PQ_PLUGIN_DIR "/pq_Tuner.so " + out;
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
}

std::string run(const std::string& command, int& status) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    status = WEXITSTATUS(::pclose(pipe));
    return output;
}

TEST(LibraryDescriptions, ALibraryWithoutThemIsSaidToCarryNone) {
    const struct {
        std::string section, said;
    } cases[] = {
        {"", "carries no module descriptions: "},
        {"<PluginList/>", "carries no module descriptions (only 1 in other forms, which name no modules): "},
    };
    for (const auto& c : cases) {
        const std::string library = libraryWithDescription(c.section);
        EXPECT_TRUE(pqhost::readCatalogue(library).modules.empty());
        for (const char* command : {"info", "validate"}) {
            int status = 0;
            const std::string output =
                run(std::string(PQ_BINARY_DIR) + "/pqhost " + command + " " + library, status);
            EXPECT_EQ(status, 1) << output;
            EXPECT_THAT(output, ::testing::HasSubstr(c.said)) << output;
        }
    }
}

// Descriptions come from a file anybody may have written: every fault is one clear error.
TEST(LibraryDescriptions, MalformedOnesAreRefusedWithTheirFault) {
    const auto module = [](const std::string& pins,
                           const std::string& head = R"(identifier="x" subtype="0")") {
        return "<Module " + head + ">" + pins + "</Module>";
    };
    const struct {
        std::string document;
        std::string fault;
    } cases[] = {
        {"<Module identifier=\"x\" subtype=\"0\">", "not well-formed XML"},
        {module("", R"(subtype="0")"), "<Module> without identifier"},
        {module("", R"(identifier="" subtype="0")"), "an empty identifier"},
        {module("", R"(identifier="x" subtype="3")"), "subtype must be 0, 1 or 2"},
        {module("", R"(identifier="x" subtype="0x1")"), "subtype must be 0, 1 or 2"},
        {module(R"(<Pin id="1.5" name="a" datatype="int" direction="in"/>)"),
         "pin id \"1.5\" is no whole number"},
        {module(R"(<Pin id="99999999999" name="a" datatype="int" direction="in"/>)"), "is no whole number"},
        {module(R"(<Pin id="0" name="" datatype="int" direction="in"/>)"), "empty name"},
        {module(R"(<Pin id="0" name="a" datatype="text" direction="in"/>)"),
         "datatype \"text\" is not one of"},
        {module(R"(<Pin id="0" name="a" datatype="int" direction="up"/>)"), "direction must be in or out"},
        {module(R"(<Pin id="0" name="a" datatype="audio" direction="in" default="loud"/>)"),
         "default \"loud\" is no finite number"},
        {module(R"(<Pin id="0" name="a" datatype="float" direction="in" default="nan"/>)"),
         "no finite number"},
        {module(
             R"(<Pin id="0" name="a" datatype="int" direction="in"/><Pin id="0" name="b" datatype="int" direction="in"/>)"),
         "pin id 0 described twice"},
        {module(
             R"(<Pin id="0" name="a" datatype="int" direction="in"/><Pin id="1" name="a" datatype="int" direction="in"/>)"),
         "pin name \"a\" described twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document);
        try {
            pqhost::parseCatalogue({c.document}, "lib.so");
            ADD_FAILURE() << "accepted";
        } catch (const pqhost::HostError& e) {
            EXPECT_THAT(e.what(), ::testing::StartsWith("lib.so: description 1: "));
            EXPECT_THAT(e.what(), ::testing::HasSubstr(c.fault));
        }
    }
    EXPECT_THROW(pqhost::parseCatalogue({module(""), module("")}, "lib.so"), pqhost::HostError);
    // Other forms are counted and left alone; a GUI module's pins use the GUI datatypes.
    const auto other = pqhost::parseCatalogue(
        {"<PluginList/>", module(R"(<Pin id="0" name="a" datatype="text" direction="out"/>)",
                                 R"(identifier="g" subtype="1" class="G")")},
        "lib.so");
    EXPECT_EQ(other.otherDescriptions, 1u);
    ASSERT_EQ(other.modules.size(), 1u);
    EXPECT_EQ(other.modules[0].pins[0].datatype, gmpi::kGuiPinText);

    // The same through the command line, from a library file.
    int status = 0;
    const std::string broken = libraryWithDescription(module("", R"(identifier="x" subtype="7")"));
    const std::string output = run(std::string(PQ_BINARY_DIR) + "/pqhost info " + broken, status);
    EXPECT_EQ(status, 1) << output;
    EXPECT_THAT(output, ::testing::HasSubstr("description 1: subtype must be 0, 1 or 2")) << output;
}

} // namespace
