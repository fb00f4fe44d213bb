// The GUI deliverables loaded as a host loads them: identifiers, subtypes and editions.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <string>

#include "host/gui/gui_module_instance.h"
#include "runtime/audio/mp_interfaces.h"

namespace {
struct Library {
    void* handle = nullptr;
    gmpi::IMpFactory* factory = nullptr;
    explicit Library(const std::string& name) {
        const std::string path = std::string(PQ_PLUGIN_DIR) + "/" + name + ".so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return;
        using Entry = int32_t (*)(void**);
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "MP_GetFactory"));
        void* unknown = nullptr;
        if (entry == nullptr || entry(&unknown) != gmpi::kMpOk) return;
        void* f = nullptr;
        static_cast<gmpi::IMpUnknown*>(unknown)->queryInterface(gmpi::MP_IID_FACTORY, &f);
        factory = static_cast<gmpi::IMpFactory*>(f);
    }
    ~Library() {
        if (handle != nullptr) dlclose(handle);
    }
};

// Bool Text through a library's factory: creation with the host, a value and its answer.
void checkBoolText(const char* library, const char16_t* id) {
    Library lib(library);
    ASSERT_NE(lib.factory, nullptr) << library;
    {
        pqhost::GuiModuleInstance gui;
        void* out = nullptr;
        ASSERT_EQ(lib.factory->createInstance(id, 1, gui.hostObject(), &out), gmpi::kMpOk);
        ASSERT_TRUE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), 1));
        gui.deliverText(2, u"on");
        gui.deliverBool(0, true);
        ASSERT_EQ(gui.sent().size(), 1u);
        EXPECT_EQ(gui.sent()[0].pinId, 3);
        EXPECT_EQ(gui.sent()[0].bytes.size(), 4u);
    }
    void* out = &out;
    EXPECT_EQ(lib.factory->createInstance(id, 2, nullptr, &out), gmpi::kMpNoSupport);
}
} // namespace

TEST(GuiLibraries, SingleModuleLibrariesCreateTheirModuleWithTheHost) {
    checkBoolText("pq_BoolText", u"Bool Text");
    for (auto [library, id] : {std::pair{"pq_DoubleClickReset", u"pellquin DoubleClick Reset"},
                               std::pair{"pq_FloatResetX2", u"pq_FloatResetX2"}}) {
        Library lib(library);
        ASSERT_NE(lib.factory, nullptr) << library;
        int32_t version = 0;
        lib.factory->getSdkInformation(&version, 0, nullptr);
        EXPECT_EQ(version, 30400);
        pqhost::GuiModuleInstance gui;
        void* out = nullptr;
        ASSERT_EQ(lib.factory->createInstance(id, 1, gui.hostObject(), &out), gmpi::kMpOk) << library;
        EXPECT_TRUE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), 1));
        // A host without GUI services cannot create it.
        EXPECT_EQ(lib.factory->createInstance(id, 1, nullptr, &out), gmpi::kMpFail);
        EXPECT_EQ(out, nullptr);
    }
}

TEST(GuiLibraries, AllModuleLibraryRegistersTheGuiModules) {
    if (!std::filesystem::exists(std::string(PQ_PLUGIN_DIR) + "/pq_Modules.so")) GTEST_SKIP() << "not built";
    checkBoolText("pq_Modules", u"Bool Text");
    Library lib("pq_Modules");
    ASSERT_NE(lib.factory, nullptr);
    struct Entry {
        const char16_t* id;
        int32_t subtype;
    } entries[] = {{u"QM pq_ClickRectangle", 2},
                   {u"pellquin DoubleClick Reset", 1},
                   {u"pq_FloatResetX2", 1},
                   {u"pq_PresetIncrementFixer", 2}};
    for (const auto& e : entries) {
        pqhost::GuiModuleInstance gui;
        void* out = nullptr;
        ASSERT_EQ(lib.factory->createInstance(e.id, e.subtype, gui.hostObject(), &out), gmpi::kMpOk);
        EXPECT_TRUE(gui.attach(static_cast<gmpi::IMpUnknown*>(out), e.subtype));
        EXPECT_EQ(gui.hasFace(), e.subtype == 2 && std::u16string(e.id) == u"QM pq_ClickRectangle");
        EXPECT_EQ(lib.factory->createInstance(e.id, 3 - e.subtype, gui.hostObject(), &out),
                  gmpi::kMpNoSupport);
    }
}
