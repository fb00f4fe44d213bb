// A host written from the published binary boundary alone: it includes none of the
// project's headers, declares the slots itself, and drives the tuner through both factory
// editions.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace boundary {

struct Guid {
    uint32_t a;
    uint16_t b, c;
    uint8_t d[8];
};
bool same(const Guid& x, const Guid& y) {
    return std::memcmp(&x, &y, 16) == 0;
}
const Guid kUnknown = {0, 0, 0xC000, {0, 0, 0, 0, 0, 0, 0, 0x46}};
const Guid kFactory = {0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};
const Guid kFactory2 = {0x91C3D2EE, 0xC701, 0x4F35, {0x91, 0xA6, 0x09, 0x4D, 0xC7, 0xE0, 0x59, 0x76}};
const Guid kAudioHost = {0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};
const Guid kPlugin = {0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};
const Guid kPlugin2 = {0x1E07E3E8, 0x8118, 0x457F, {0xA6, 0x3C, 0xD4, 0xF2, 0x82, 0xA0, 0xF5, 0x19}};

struct Event {
    int32_t time, type, pinId, size;
    int32_t data[2];
    char* extraData;
    Event* next;
};

struct Unknown {
    virtual int32_t queryInterface(const Guid&, void**) = 0;
    virtual int32_t addRef() = 0;
    virtual int32_t release() = 0;
};
struct Factory : Unknown {
    virtual int32_t createInstance(const char16_t*, int32_t, Unknown*, void**) = 0;
    virtual int32_t getSdkInformation(int32_t*, int32_t, char16_t*) = 0;
};
struct Factory2 : Factory {
    virtual int32_t createInstance2(const char16_t*, int32_t, void**) = 0;
};
struct Plugin : Unknown {
    virtual int32_t open() = 0;
    virtual int32_t setBuffer(int32_t, float*) = 0;
    virtual int32_t process(int32_t, const Event*) = 0;
};
struct Plugin2 : Unknown {
    virtual int32_t setHost(Unknown*) = 0;
    virtual int32_t open() = 0;
    virtual int32_t setBuffer(int32_t, float*) = 0;
    virtual int32_t process(int32_t, const Event*) = 0;
};

struct Host final : Unknown {
    int32_t queryInterface(const Guid& iid, void** out) override {
        *out = same(iid, kAudioHost) || same(iid, kUnknown) ? this : nullptr;
        return *out ? 0 : -2;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    virtual int32_t setPin(int32_t time, int32_t pinId, int32_t size, const void* data) {
        if (pinId == 2 && size == 4) std::memcpy(&pitch, data, 4), ++values;
        return 0;
    }
    virtual int32_t setPinStreaming(int32_t, int32_t, bool) { return 0; }
    virtual int32_t sleep() { return ++sleeps, 0; }
    virtual int32_t slot6() { return -2; }
    virtual int32_t getBlockSize(int32_t* n) { return *n = 32, 0; }
    virtual int32_t getSampleRate(float* r) { return *r = 48000, 0; }
    virtual int32_t getHandle(int32_t* h) { return *h = 1, 0; }
    float pitch = -99;
    int values = 0, sleeps = 0;
};

} // namespace boundary

namespace {

std::string plugin(const char* name) {
    return std::string(PQ_PLUGIN_DIR) + "/" + name + ".so";
}

// Sends selection 12 and expects exactly 1.0 back.
template <class P> void drive(P* plugin, boundary::Host& host) {
    ASSERT_EQ(plugin->open(), 0);
    boundary::Event select{0, 100, 0, 4, {12, 0}, nullptr, nullptr};
    plugin->process(32, &select);
    EXPECT_EQ(host.values, 1);
    EXPECT_EQ(host.pitch, 1.0f);
    EXPECT_EQ(host.sleeps, 1);
}

TEST(AbiOnlyHost, NewestFactoryBothOperations) {
    void* lib = dlopen(plugin("pq_Modules").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr);
    auto entry = reinterpret_cast<int32_t (*)(void**)>(dlsym(lib, "MP_GetFactory"));
    void* unknown = nullptr;
    ASSERT_EQ(entry(&unknown), 0);
    void* f = nullptr;
    ASSERT_EQ(static_cast<boundary::Unknown*>(unknown)->queryInterface(boundary::kFactory2, &f), 0);
    auto* factory = static_cast<boundary::Factory2*>(f);
    {
        boundary::Host host;
        void* object = nullptr;
        ASSERT_EQ(factory->createInstance2(u"pq Tuner", 0, &object), 0);
        void* p2 = nullptr;
        ASSERT_EQ(static_cast<boundary::Unknown*>(object)->queryInterface(boundary::kPlugin2, &p2), 0);
        auto* plugin2 = static_cast<boundary::Plugin2*>(p2);
        ASSERT_EQ(plugin2->setHost(&host), 0);
        drive(plugin2, host);
        plugin2->release();
        EXPECT_EQ(static_cast<boundary::Unknown*>(object)->release(), 0);
    }
    {
        boundary::Host host;
        void* object = nullptr;
        ASSERT_EQ(factory->createInstance(u"pq Tuner", 0, &host, &object), 0);
        drive(static_cast<boundary::Plugin*>(object), host);
        EXPECT_EQ(static_cast<boundary::Unknown*>(object)->release(), 0);
    }
    dlclose(lib);
}

TEST(AbiOnlyHost, EarlierFactory) {
    void* lib = dlopen(plugin("pq_Tuner").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr);
    auto entry = reinterpret_cast<int32_t (*)(void**)>(dlsym(lib, "MP_GetFactory"));
    void* unknown = nullptr;
    ASSERT_EQ(entry(&unknown), 0);
    void* f = nullptr;
    EXPECT_EQ(static_cast<boundary::Unknown*>(unknown)->queryInterface(boundary::kFactory2, &f), -2);
    ASSERT_EQ(static_cast<boundary::Unknown*>(unknown)->queryInterface(boundary::kFactory, &f), 0);
    auto* factory = static_cast<boundary::Factory*>(f);
    boundary::Host host;
    void* object = nullptr;
    ASSERT_EQ(factory->createInstance(u"pq Tuner", 0, &host, &object), 0);
    void* p = nullptr;
    ASSERT_EQ(static_cast<boundary::Unknown*>(object)->queryInterface(boundary::kPlugin, &p), 0);
    auto* plugin = static_cast<boundary::Plugin*>(p);
    drive(plugin, host);
    EXPECT_EQ(plugin->release(), 1);
    EXPECT_EQ(static_cast<boundary::Unknown*>(object)->release(), 0);
    dlclose(lib);
}

} // namespace
