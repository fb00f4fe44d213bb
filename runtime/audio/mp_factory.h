// The library's one factory and its registry of modules.
//
// Every module class is entered once, during library initialisation, by the registration
// list of the deliverable (libraries/<name>/). The registry is read-only once the host can
// reach the factory. [any thread after load]
#pragma once

#include <map>
#include <string>
#include <utility>

#include "runtime/audio/edition.h"
#include "runtime/audio/mp_interfaces.h"

// The library's one export: stores the factory (as IMpUnknown) in *out.
extern "C" __attribute__((visibility("default"))) int32_t MP_GetFactory(void** out);

namespace pq {
// What a deliverable tells its factory about itself (defined in its registration list).
struct LibraryInfo {
    int32_t sdkVersion;
    // Newest edition: " (Release)" follows the compiler version and the text is written only
    // whole. Earlier edition: no suffix, the text is cut to the caller's capacity.
    bool releaseSuffix;
};
extern const LibraryInfo libraryInfo;

// "<compiler> Compiler V<number>" of the toolchain that built this library.
std::u16string compilerText();
} // namespace pq

#if PQ_EDITION_EARLIER

class MpFactory final : public gmpi::IMpFactory {
public:
    // Creates the module with the host handed to it; the object comes with count 0.
    using ModuleCreateFunction = gmpi::IMpUnknown* (*)(gmpi::IMpUnknown* host);

    static MpFactory* instance();

    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return 16; }
    int32_t release() override { return 1; }
    int32_t createInstance(const char16_t* id, int32_t subtype, gmpi::IMpUnknown* host, void** out) override;
    int32_t getSdkInformation(int32_t* version, int32_t capacity, char16_t* text) override;
    virtual ~MpFactory() = default;

    // Enters the create function for subtype 0 or 1 unless one is already there; answers false.
    bool registerModule(const char16_t* id, int32_t subtype, ModuleCreateFunction create);

private:
    struct Entry {
        ModuleCreateFunction create[2] = {nullptr, nullptr};
    };
    std::map<std::u16string, Entry> registry_;
};

#else

class MpFactory final : public gmpi::IMpFactory2 {
public:
    // Creates the module; the object comes with count 1, owned by the caller. May throw.
    using ModuleCreateFunction = gmpi::IMpUnknown* (*)();

    static MpFactory* instance();

    int32_t queryInterface(const gmpi::Guid& iid, void** out) override;
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t createInstance(const char16_t* id, int32_t subtype, gmpi::IMpUnknown* host, void** out) override;
    int32_t getSdkInformation(int32_t* version, int32_t capacity, char16_t* text) override;
    int32_t createInstance2(const char16_t* id, int32_t subtype, void** out) override;
    virtual ~MpFactory() = default;

    // Adds an entry unless (subtype, id) is already registered (the first wins); answers false.
    bool registerModule(const char16_t* id, int32_t subtype, ModuleCreateFunction create);

private:
    ModuleCreateFunction find(const char16_t* id, int32_t subtype) const;
    // Ordered by subtype, then by code units as unsigned 16-bit values (std::u16string order).
    std::map<std::pair<int32_t, std::u16string>, ModuleCreateFunction> registry_;
};

#endif
