#include "host/catalogue.h"

namespace pqhost {

const PinInfo* ModuleInfo::findPin(const std::string& name) const {
    for (const PinInfo& pin : pins)
        if (pin.name == name) return &pin;
    return nullptr;
}

const PinInfo* ModuleInfo::findPin(int32_t pinId) const {
    for (const PinInfo& pin : pins)
        if (pin.id == pinId) return &pin;
    return nullptr;
}

// One entry per module of the pack; pins in the module's id order.
const std::vector<ModuleInfo>& catalogue() {
    static const std::vector<ModuleInfo> modules = {
        {u"pq Tuner", 0, "pqTuner",
         {
             {0, "semitoneSelect", 0, 0, "0"},
             {1, "fineOffset", 6, 0, "0"},
             {2, "pitchOut", 6, 1, ""},
         }},
        {u"PQADSR3", 0, "Envelope3",
         {
             {0, "Trigger", 5, 0, "0.1"},
             {1, "Gate", 5, 0, "0.1"},
             {2, "Attack", 5, 0, "0.075"},
             {3, "Decay", 5, 0, "0.5"},
             {4, "Sustain", 5, 0, "0.7"},
             {5, "Release", 5, 0, "0.4"},
             {6, "Overall Level", 5, 0, "1.0"},
             {7, "Attack Curve", 5, 0, "0.3"},
             {8, "Decay Curve", 5, 0, "0"},
             {9, "Release Curve", 5, 0, "0"},
             {10, "Signal Out", 5, 1, ""},
             {11, "VoiceReset", 6, 0, ""},
         }},
    };
    return modules;
}

const ModuleInfo* findModule(const std::u16string& id, int32_t subtype) {
    for (const ModuleInfo& module : catalogue())
        if (module.id == id && module.subtype == subtype) return &module;
    return nullptr;
}

const char* datatypeName(int32_t datatype, int32_t subtype) {
    if (subtype == 0) {
        switch (datatype) {
        case 0: return "int";
        case 5: return "audio";
        case 6: return "float";
        case 10: return "blob";
        }
    } else {
        switch (datatype) {
        case 1: return "text";
        case 4: return "bool";
        case 6: return "float";
        case 8: return "int";
        case 10: return "blob";
        }
    }
    return "unknown";
}

} // namespace pqhost
