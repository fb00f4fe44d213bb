// Patch files: modules, connections, timed events and what to render, read from JSON and
// checked against what the libraries describe before anything runs.
//
// {
//   "sampleRate": 48000, "blockSize": 64, "length": 2.0,
//   "modules": [ { "name": "env", "library": "pq_ADSR3", "id": "PQADSR3", "subtype": 0,
//                  "values": { "Attack": 0.3, "Sustain": 0.5 } } ],
//   "connections": [ { "from": "tuner.pitchOut", "to": "osc.Pitch" } ],
//   "events": [ { "time": 0.5, "pin": "env.Gate", "value": 1 },
//               { "pin": "env.Gate", "gate": { "start": 0.1, "high": 0.5, "low": 0.25, "repeat": 2 } } ],
//   "output": [ "env.Signal Out" ],
//   "pointer": [ { "time": 0.5, "module": "button", "action": "down", "x": 10, "y": 10, "shift": false } ],
//   "faces": [ { "module": "button", "width": 120, "height": 48, "file": "button.png", "time": 0.6 } ]
// }
//
// GUI modules (subtype 1 or 2) take values on any pin, and their values travel to connected
// GUI pins at once and to audio-module inputs as value events in the next block. Pointer
// events and face pictures happen at the end of the block that holds their time (a face
// without a time is painted at the end); face files lie beside the rendered WAV.
//
// A library is a deliverable's name (looked up in the plug-in directory) or a path to a .so
// relative to the patch file. Blob values are a list of samples, { "samples": [...] }, or
// { "wav": "file.wav" } (a single-cycle wave read from the file's first channel).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/catalogue.h"

namespace pqhost {

struct PinRef {
    size_t module = 0;
    const PinInfo* pin = nullptr;
};

struct PatchModule {
    std::string name;
    std::string library; // as written in the patch
    std::filesystem::path libraryPath;
    std::u16string id;
    int32_t subtype = 0;
    const ModuleInfo* info = nullptr;
    // Initial values by pin id, as the bytes the pin carries (audio inputs: one float).
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> values;
};

struct PatchConnection {
    PinRef from, to;
};

struct PatchEvent {
    int64_t sample; // from the start of the render
    PinRef pin;
    std::vector<uint8_t> bytes;
};

struct PatchPointer {
    enum class Action { Down, Move, Up };
    int64_t sample;
    size_t module;
    Action action;
    float x, y;
    int32_t flags;
};

struct PatchFace {
    int64_t sample;
    size_t module;
    int32_t width, height;
    std::string file;
};

struct Patch {
    std::filesystem::path file;
    // What each library of the patch describes; modules' and pins' infos point into these.
    std::vector<std::shared_ptr<const LibraryCatalogue>> catalogues;
    float sampleRate = 48000.0f;
    int32_t blockSize = 64;
    int64_t lengthSamples = 0;
    std::vector<PatchModule> modules;
    std::vector<PatchConnection> connections;
    std::vector<PatchEvent> events; // sorted by sample, stable
    std::vector<PinRef> outputs;
    std::vector<PatchPointer> pointer; // sorted by sample, stable
    std::vector<PatchFace> faces;      // sorted by sample, stable
};

// Reads and checks a patch. Throws HostError naming the file and the place of the fault.
// `pluginDir` is where deliverables named without a path are found.
Patch loadPatch(const std::filesystem::path& file, const std::filesystem::path& pluginDir);

// Float samples of a wave blob (little-endian 32-bit floats) from a WAV file's first channel.
std::vector<uint8_t> readWaveBlob(const std::filesystem::path& file);

} // namespace pqhost
