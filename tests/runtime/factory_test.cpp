// The factory and its registry, in the edition of the test executable.
#include <gtest/gtest.h>

#include <stdexcept>

#include "runtime/audio/mp_registration.h"
#include "runtime/runtime.h"
#include "tests/runtime/test_module.h"

namespace {

struct FirstModule : pqtest::QuietModule {};
struct SecondModule : pqtest::QuietModule {};
struct ThrowingModule : pqtest::QuietModule {
    ThrowingModule() { throw std::runtime_error("no memory"); }
};
// Refuses its host when it is handed over.
struct RefusingModule : pqtest::QuietModule {
    static inline int destroyed = 0;
    ~RefusingModule() override { ++destroyed; }
#if PQ_EDITION_EARLIER
    int32_t attachHost(gmpi::IMpUnknown*) { throw std::runtime_error("host Interfaces not supported"); }
#else
    int32_t setHost(gmpi::IMpUnknown*) override { throw std::runtime_error("host Interfaces not supported"); }
#endif
};

gmpi::IMpFactory* factory() {
    static const bool registered = [] {
        pq::registerModule<FirstModule>(u"t", 0);
        pq::registerModule<SecondModule>(u"t", 0); // the first registration wins
        pq::registerModule<ThrowingModule>(u"throws", 0);
        pq::registerModule<RefusingModule>(u"refuses", 0);
        return true;
    }();
    (void)registered;
    void* out = nullptr;
    EXPECT_EQ(MP_GetFactory(&out), gmpi::kMpOk);
    return static_cast<gmpi::IMpFactory*>(out);
}

TEST(Factory, AnswersItsInterfacesWithOnePointer) {
    gmpi::IMpFactory* f = factory();
    void* out = nullptr;
    EXPECT_EQ(f->queryInterface(gmpi::MP_IID_UNKNOWN, &out), gmpi::kMpOk);
    EXPECT_EQ(out, f);
    EXPECT_EQ(f->queryInterface(gmpi::MP_IID_FACTORY, &out), gmpi::kMpOk);
    EXPECT_EQ(out, f);
    const int32_t second = f->queryInterface(gmpi::MP_IID_FACTORY2, &out);
#if PQ_EDITION_EARLIER
    EXPECT_EQ(second, gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(f->addRef(), 16);
#else
    EXPECT_EQ(second, gmpi::kMpOk);
    EXPECT_EQ(out, f);
    EXPECT_EQ(f->addRef(), 1);
#endif
    EXPECT_EQ(f->release(), 1);
    EXPECT_EQ(f->queryInterface(gmpi::MP_IID_PLUGIN, &out), gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
}

TEST(Factory, CreatesByExactIdentifierAndSubtype) {
    gmpi::IMpFactory* f = factory();
    void* out = nullptr;
    ASSERT_EQ(f->createInstance(u"t", 0, nullptr, &out), gmpi::kMpOk);
    auto* first = static_cast<gmpi::IMpUnknown*>(out);
    EXPECT_NE(dynamic_cast<FirstModule*>(first), nullptr);
    ASSERT_EQ(f->createInstance(u"t", 0, nullptr, &out), gmpi::kMpOk);
    auto* second = static_cast<gmpi::IMpUnknown*>(out);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->release(), 0); // the caller owns exactly one reference
    EXPECT_EQ(second->release(), 0);

    struct Case {
        const char16_t* id;
        int32_t subtype;
    };
    for (const Case c : {Case{u"t ", 0}, Case{u"T", 0}, Case{u"t", 1}, Case{u"t", 2}, Case{u"", 0}, Case{nullptr, 0}}) {
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(f->createInstance(c.id, c.subtype, nullptr, &out), gmpi::kMpNoSupport);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(f->createInstance(u"t", 0, nullptr, nullptr), gmpi::kMpFail);
}

TEST(Factory, ConstructorThatThrowsAnswersFail) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory()->createInstance(u"throws", 0, nullptr, &out), gmpi::kMpFail);
    EXPECT_EQ(out, nullptr);
}

#if PQ_EDITION_EARLIER
TEST(Factory, ModuleRefusingItsHostIsDeletedAndFails) {
    const int before = RefusingModule::destroyed;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory()->createInstance(u"refuses", 0, nullptr, &out), gmpi::kMpFail);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(RefusingModule::destroyed, before + 1);
}
#else
TEST(Factory, CreateInstance2LeavesTheHostToTheCaller) {
    auto* f = static_cast<gmpi::IMpFactory2*>(factory());
    void* out = nullptr;
    ASSERT_EQ(f->createInstance2(u"refuses", 0, &out), gmpi::kMpOk);
    EXPECT_EQ(static_cast<gmpi::IMpUnknown*>(out)->release(), 0);
    EXPECT_EQ(f->createInstance2(u"t", 1, &out), gmpi::kMpNoSupport);
    EXPECT_EQ(out, nullptr);
}

// The object is released when its host hand-over fails: a caller told that creation failed
// could never free it.
TEST(Factory, FailedHostHandOverReleasesTheObject) {
    const int before = RefusingModule::destroyed;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory()->createInstance(u"refuses", 0, nullptr, &out), gmpi::kMpFail);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(RefusingModule::destroyed, before + 1);
}
#endif

TEST(Factory, SdkInformation) {
    gmpi::IMpFactory* f = factory();
    const std::u16string compiler = pq::compilerText();
    int32_t version = 0;
    char16_t text[64];
    std::fill(std::begin(text), std::end(text), u'#');
    ASSERT_EQ(f->getSdkInformation(&version, 64, text), gmpi::kMpOk);
#if PQ_EDITION_EARLIER
    EXPECT_EQ(version, 30400);
    EXPECT_EQ(std::u16string(text), compiler);
    // Cut to the caller's capacity, terminator included.
    std::fill(std::begin(text), std::end(text), u'#');
    f->getSdkInformation(&version, 5, text);
    EXPECT_EQ(std::u16string(text), compiler.substr(0, 4));
#else
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::u16string(text), compiler + u" (Release)");
    // Too small a buffer is left untouched.
    const int32_t exact = static_cast<int32_t>(compiler.size() + 11);
    std::fill(std::begin(text), std::end(text), u'#');
    f->getSdkInformation(&version, exact - 1, text);
    EXPECT_EQ(text[0], u'#');
    f->getSdkInformation(&version, exact, text);
    EXPECT_EQ(std::u16string(text), compiler + u" (Release)");
#endif
    EXPECT_EQ(f->getSdkInformation(&version, 0, nullptr), gmpi::kMpOk);
}

} // namespace
