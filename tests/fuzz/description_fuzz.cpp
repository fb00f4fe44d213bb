// A library file's description section as a host reads it: any bytes as the file, then the
// pins of every document found.
#include <cstdint>

#include "host/host_error.h"
#include "host/module_description.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const pqfuzz::ScratchFile file("library.so");
    file.write(data, size);
    try {
        for (const std::string& xml : pqhost::readModuleDescriptions(file.path()))
            for (const pqhost::DescribedPin& pin : pqhost::describedPins(xml))
                pin.attribute("id");
    } catch (const pqhost::HostError&) {
    }
    return 0;
}
