#include "tests/load/load_patch.h"

#include <cmath>

#include <nlohmann/json.hpp>

namespace pqload {

std::string loadPatchJson(int instances, double seconds, int blockSize, int sampleRate) {
    using nlohmann::json;
    json saw = json::array(), sine = json::array();
    for (int i = 0; i < 600; ++i) {
        saw.push_back(-1.0 + 2.0 * i / 600.0);
        sine.push_back(std::sin(2.0 * 3.141592653589793 * i / 600.0));
    }
    json modules = json::array(), connections = json::array(), events = json::array();
    for (int i = 0; i < instances; ++i) {
        const std::string n = std::to_string(i);
        modules.push_back({{"name", "tuner" + n},
                           {"library", "pq_Modules"},
                           {"id", "pq Tuner"},
                           {"values", {{"semitoneSelect", 24 + i % 36}}}});
        modules.push_back(
            {{"name", "env" + n},
             {"library", "pq_Modules"},
             {"id", "PQADSR3"},
             {"values", {{"Attack", 0.3}, {"Decay", 0.3}, {"Sustain", 0.5}, {"Release", 0.4}}}});
        modules.push_back({{"name", "lfo" + n},
                           {"library", "pq_Modules"},
                           {"id", "pellquin ArrayLFO"},
                           {"values", {{"Wave", {{"samples", sine}}}, {"Rate", 0.3}, {"Mode", 0}}}});
        modules.push_back({{"name", "osc" + n},
                           {"library", "pq_Modules"},
                           {"id", "pellquin ArrayOsc"},
                           {"values",
                            {{"Wave A", {{"samples", saw}}},
                             {"Wave B", {{"samples", sine}}},
                             {"Voices A", 6},
                             {"Voices B", 6},
                             {"Spread A", 0.01},
                             {"Spread B", 0.02},
                             {"Level Mode", 1},
                             {"Pitch", 0.5}}}});
        connections.push_back({{"from", "tuner" + n + ".pitchOut"}, {"to", "osc" + n + ".Pitch Offset A"}});
        connections.push_back({{"from", "tuner" + n + ".pitchOut"}, {"to", "osc" + n + ".Pitch Offset B"}});
        connections.push_back({{"from", "env" + n + ".Signal Out"}, {"to", "osc" + n + ".Level"}});
        connections.push_back({{"from", "lfo" + n + ".Signal Out"}, {"to", "osc" + n + ".Morph"}});
        events.push_back({{"pin", "env" + n + ".Gate"},
                          {"gate",
                           {{"start", 0.01 * (i % 10)},
                            {"high", 0.25},
                            {"low", 0.25},
                            {"repeat", std::max(1, int(seconds * 2.0))}}}});
    }
    const json patch = {{"sampleRate", sampleRate},
                        {"blockSize", blockSize},
                        {"length", seconds},
                        {"modules", modules},
                        {"connections", connections},
                        {"events", events},
                        {"output", {"osc0.Signal Out", "env0.Signal Out"}}};
    return patch.dump();
}

} // namespace pqload
