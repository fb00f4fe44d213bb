// What the host knows of the pack's modules: identifier, subtype and pins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/audio/mp_abi.h"

namespace pqhost {

enum class PinRate { Audio, Control };

struct PinInfo {
    int32_t id;
    std::string name;
    int32_t datatype;  // audio side: 0 int, 5 audio, 6 float, 10 blob; GUI side: 1 text, 4 bool, 6 float, 8
                       // int, 10 blob
    int32_t direction; // 0 in, 1 out
    std::string defaultValue; // as text, empty when none
};

struct ModuleInfo {
    std::u16string id;
    int32_t subtype; // 0 audio, 1 legacy GUI, 2 graphics GUI
    std::string className;
    std::vector<PinInfo> pins;
    const PinInfo* findPin(const std::string& name) const;
    const PinInfo* findPin(int32_t id) const;
};

const std::vector<ModuleInfo>& catalogue();
const ModuleInfo* findModule(const std::u16string& id, int32_t subtype);
const char* datatypeName(int32_t datatype, int32_t subtype);

} // namespace pqhost
