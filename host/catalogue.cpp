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
        {u"pq Tuner",
         0,
         "pqTuner",
         {
             {0, "semitoneSelect", 0, 0, "0"},
             {1, "fineOffset", 6, 0, "0"},
             {2, "pitchOut", 6, 1, ""},
         }},
        {u"pellquin ArrayLFO",
         0,
         "ArrayLFO",
         {
             {0, "Mode", 0, 0, "0"},
             {1, "Rate", 5, 0, ""},
             {2, "Gate", 5, 0, ""},
             {3, "Trigger", 5, 0, ""},
             {4, "Fade In", 5, 0, ""},
             {5, "Interpolate", 0, 0, "0"},
             {6, "Wave", 10, 0, ""},
             {7, "Level Mode", 0, 0, "0"},
             {8, "Level Enable", 0, 0, "0"},
             {9, "Level", 5, 0, ""},
             {10, "Spare", 5, 0, ""},
             {11, "Tempo", 5, 0, ""},
             {12, "Signal Out", 5, 1, ""},
         }},
        {u"pellquin ArrayOsc",
         0,
         "ArrayOsc",
         {
             {0, "Wave A", 10, 0, ""},         {1, "Wave B", 10, 0, ""},
             {2, "Pitch", 5, 0, ""},           {3, "Pitch Offset A", 6, 0, "0"},
             {4, "Pitch Offset B", 6, 0, "0"}, {5, "Pitch Mod Depth", 5, 0, ""},
             {6, "Pitch Mod", 5, 0, ""},       {7, "Spare", 5, 0, ""},
             {8, "Ring Mod", 5, 0, ""},        {9, "Ring Mod Depth", 5, 0, ""},
             {10, "Level Mode", 0, 0, "0"},    {11, "Level", 5, 0, ""},
             {12, "Sync", 5, 0, ""},           {13, "Morph", 5, 0, ""},
             {14, "Warp Mode", 0, 0, "0"},     {15, "Warp", 5, 0, ""},
             {16, "Warp Mod Depth", 5, 0, ""}, {17, "Warp Mod", 5, 0, ""},
             {18, "Voices A", 0, 0, "0"},      {19, "Voices B", 0, 0, "0"},
             {20, "Spread A", 5, 0, ""},       {21, "Spread B", 5, 0, ""},
             {22, "Signal Out", 5, 1, ""},
         }},
        {u"Bool Text",
         1,
         "BoolText",
         {
             {0, "Input", 4, 0, "false"},
             {1, "False Text", 1, 0, ""},
             {2, "True Text", 1, 0, ""},
             {3, "Text Out", 1, 1, ""},
         }},
        {u"pellquin DoubleClick Reset",
         1,
         "DoubleClickReset",
         {
             {0, "Button", 4, 0, "false"},
             {1, "Reset Value", 6, 0, "0"},
             {2, "Double-Click Time", 6, 0, "0"},
             {3, "Value Out", 6, 1, "0"},
         }},
        {u"pq_FloatResetX2",
         1,
         "pq_FloatResetX2",
         {
             {0, "Value Out", 6, 1, "0"},
             {1, "Value A", 6, 0, "0"},
             {2, "Value B", 6, 0, "0"},
             {3, "Reset A", 4, 0, "false"},
             {4, "Reset B", 4, 0, "false"},
         }},
        {u"QM pq_ClickRectangle",
         2,
         "pq_ClickRectangleGui",
         {
             {0, "Corner Radius", 6, 0, "0"},
             {1, "Arc Top Left", 4, 0, "false"},
             {2, "Arc Top Right", 4, 0, "false"},
             {3, "Arc Bottom Left", 4, 0, "false"},
             {4, "Arc Bottom Right", 4, 0, "false"},
             {5, "Top Colour", 1, 0, ""},
             {6, "Gradient Colour", 1, 0, ""},
             {7, "Pressed", 4, 1, "false"},
         }},
        // The all-module library's graphics face and the single-module library's composited one.
        {u"QM pq_TextRectangle",
         2,
         "pq_TextRectangle",
         {
             {0, "Text", 1, 0, ""},
             {1, "Style", 1, 0, ""},
             {2, "Greyed", 4, 0, "false"},
             {3, "Corner Radius", 6, 0, "0"},
             {4, "Arc Top Left", 4, 0, "false"},
             {5, "Arc Top Right", 4, 0, "false"},
             {6, "Arc Bottom Left", 4, 0, "false"},
             {7, "Arc Bottom Right", 4, 0, "false"},
             {8, "Top Colour", 1, 0, ""},
             {9, "Gradient Colour", 1, 0, ""},
             {10, "Pressed", 4, 1, "false"},
         }},
        {u"QM pq_TextRectangle",
         1,
         "pq_TextRectangle",
         {
             {0, "Text", 1, 0, ""},
             {1, "Style", 1, 0, ""},
             {2, "Greyed", 4, 0, "false"},
             {3, "Corner Radius", 6, 0, "0"},
             {4, "Arc Top Left", 4, 0, "false"},
             {5, "Arc Top Right", 4, 0, "false"},
             {6, "Arc Bottom Left", 4, 0, "false"},
             {7, "Arc Bottom Right", 4, 0, "false"},
             {8, "Top Colour", 1, 0, ""},
             {9, "Gradient Colour", 1, 0, ""},
             {10, "Pressed", 4, 1, "false"},
         }},
        {u"pq_PresetIncrementFixer",
         2,
         "Pq_presetincrementfixerGui",
         {
             {0, "Value", 8, 0, "0"},
             {1, "Value List", 1, 0, ""},
             {2, "Increment", 4, 0, "false"},
             {3, "Decrement", 4, 0, "false"},
             {4, "Wrap", 4, 0, "false"},
         }},
        {u"pq WaveEditor",
         2,
         "waveEditor",
         {
             {0, "Wave Length", 6, 0, "0"},
             {1, "Wave Select", 8, 0, "0"},
             {2, "Wave Names", 1, 0, ""},
             {3, "Wave Name", 1, 1, ""},
             {4, "Wave1", 10, 0, ""},
             {5, "Wave2", 10, 0, ""},
             {6, "Wave3", 10, 0, ""},
             {7, "Wave4", 10, 0, ""},
             {8, "Wave1 Inactive", 4, 1, "false"},
             {9, "Wave2 Inactive", 4, 1, "false"},
             {10, "Wave3 Inactive", 4, 1, "false"},
             {11, "Wave4 Inactive", 4, 1, "false"},
             {12, "Copy", 4, 0, "false"},
             {13, "Paste", 4, 0, "false"},
             {14, "Generate", 8, 0, "0"},
             {15, "Generator List", 1, 1, ""},
             {16, "Modify", 8, 0, "0"},
             {17, "Modifier List", 1, 1, ""},
             {18, "N", 6, 0, "0"},
             {19, "A", 6, 0, "0"},
             {20, "Line Colour", 1, 0, ""},
         }},
        {u"PQADSR3",
         0,
         "Envelope3",
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
        case 0:
            return "int";
        case 5:
            return "audio";
        case 6:
            return "float";
        case 10:
            return "blob";
        }
    } else {
        switch (datatype) {
        case 1:
            return "text";
        case 4:
            return "bool";
        case 6:
            return "float";
        case 8:
            return "int";
        case 10:
            return "blob";
        }
    }
    return "unknown";
}

} // namespace pqhost
