// A deliverable opened as a real host opens it: dlopen, MP_GetFactory, factory interfaces.
#pragma once

#include <memory>
#include <string>

#include "runtime/audio/mp_interfaces.h"

namespace pqhost {

class PluginLibrary {
public:
    // Throws HostError with a one-line message when the file cannot be loaded or is not a
    // module library.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary(); // unloads; every module made from it must be released first
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return path_; }
    // The newest factory interface, or null when the library offers only the earlier one.
    gmpi::IMpFactory2* factory2() const { return factory2_; }
    gmpi::IMpFactory* factory() const { return factory_; }

    int32_t sdkVersion() const;
    std::u16string sdkText() const;

    // createInstance: the host object is handed to the module by the factory. Answers the
    // factory's result; *out holds the module (one reference, the caller's) or null.
    int32_t createInstance(const std::u16string& id, int32_t subtype, gmpi::IMpUnknown* host,
                           gmpi::IMpUnknown** out) const;
    // createInstance2 (newest factories only; kMpNoSupport otherwise).
    int32_t createInstance2(const std::u16string& id, int32_t subtype, gmpi::IMpUnknown** out) const;

private:
    std::string path_;
    void* handle_ = nullptr;
    gmpi::IMpFactory* factory_ = nullptr;
    gmpi::IMpFactory2* factory2_ = nullptr;
};

} // namespace pqhost
