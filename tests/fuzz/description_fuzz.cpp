// A library file's description section as a host reads it: any bytes as the file, then every
// document found read as module descriptions.
#include <cstdint>

#include "host/catalogue.h"
#include "host/host_error.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const pqfuzz::ScratchFile file("library.so");
    file.write(data, size);
    try {
        const pqhost::LibraryCatalogue catalogue = pqhost::readCatalogue(file.path());
        for (const pqhost::ModuleInfo& module : catalogue.modules)
            for (const pqhost::PinInfo& pin : module.pins)
                (void)module.findPin(pin.name);
    } catch (const pqhost::HostError&) {
    }
    return 0;
}
