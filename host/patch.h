// Patch files: modules, connections, timed events and what to render, read from JSON and
// checked against what the libraries describe before anything runs.
//
// {
//   "sampleRate": 48000, "blockSize": 64, "length": 2.0, "skin": "style.txt",
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
// GUI pins at once and to audio-module inputs as value events in the next block: the values
// the modules set and those the patch gives their pins alike (a host holds one value per GUI
// pin). A GUI module takes its initial values in pin order, as a loading host gives them. Pointer
// events and face pictures happen at the end of the block that holds their time (a face
// without a time is painted at the end); face files lie inside the rendered WAV's folder (no
// absolute path, no ".."). A face that pointer events reach is laid out from the start at the
// size of its first picture (256 x 100 without one).
//
// Unknown keys are errors (a top-level "$schema" naming the patch schema is allowed). The patch
// file and the wave files it names are regular files of at most 64 MiB.
//
// "skin" names the host skin's style sheet (relative to the patch, at most 16 MiB): faces
// that draw text find their text styles in it.
//
// A library is a deliverable's name (looked up in the plug-in directory) or a path to a .so
// relative to the patch file. Blob values are a list of samples, { "samples": [...] }, or
// { "wav": "file.wav" } (a single-cycle wave read from the file's first channel).
//
// A selection list of a GUI module (the wave editor's Generate and Modify) takes its entry's
// index or the entry's text: { "time": 0.1, "pin": "editor.Generate", "value": "RAMP UP" }.
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

// A selection list's entry named by its text (an integer pin such as the wave editor's
// Generate, whose entries are the comma-separated items of a text pin the module sets). The
// host turns the text into the entry's index when it delivers the value, from the list the
// module shows at that moment.
struct PatchSelection {
    int64_t sample; // the first block's start for an initial value
    size_t module;
    const PinInfo* pin;
    const PinInfo* list;
    std::string entry;
    std::string place; // where the patch names it, for messages
    bool initial;      // an initial value rather than a timed event
};

struct Patch {
    std::filesystem::path file;
    std::string source;     // the patch file's text as read, which --save edits and writes
    std::string styleSheet; // the skin's style sheet, empty when the patch names none
    // What each library of the patch describes; modules' and pins' infos point into these.
    std::vector<std::shared_ptr<const LibraryCatalogue>> catalogues;
    float sampleRate = 48000.0f;
    int32_t blockSize = 64;
    int64_t lengthSamples = 0;
    std::vector<PatchModule> modules;
    std::vector<PatchConnection> connections;
    std::vector<PatchEvent> events; // sorted by sample, stable
    std::vector<PinRef> outputs;
    std::vector<PatchPointer> pointer;      // sorted by sample, stable
    std::vector<PatchFace> faces;           // sorted by sample, stable
    std::vector<PatchSelection> selections; // sorted by sample, stable
};

// The largest patch file, and the largest wave file a patch names, that the host reads.
constexpr uint64_t kFileSizeLimit = uint64_t(64) << 20;
// The text pin that lists the entries of selection pin `pin`, or null when it is no
// selection list.
const PinInfo* selectionListOf(const ModuleInfo& module, const PinInfo& pin);
// The index of `entry` among the comma-separated items of `list` (spaces around items and
// letter case do not count; "----" separators are counted but never chosen), or -1.
int32_t selectionIndex(const std::u16string& list, const std::string& entry);

// Reads and checks a patch. Throws HostError naming the file and the place of the fault.
// `pluginDir` is where deliverables named without a path are found.
Patch loadPatch(const std::filesystem::path& file, const std::filesystem::path& pluginDir);

// Why `name` cannot name a face file (absolute, or with ".."), or empty when it can: face
// files lie in the rendered WAV's folder.
std::string faceFileProblem(const std::string& name);

// The name of `known` nearest to `name` (a slip of case or of a few letters), or empty.
std::string nearestName(const std::string& name, const std::vector<std::string>& known);

// Float samples of a wave blob (little-endian 32-bit floats) from a WAV file's first channel.
std::vector<uint8_t> readWaveBlob(const std::filesystem::path& file);

} // namespace pqhost
