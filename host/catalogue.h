// What a library says about its modules: identifier, subtype, class and pins, learnt from the
// module descriptions its file carries (host/module_description.h), as a real host learns
// them, without loading the library.
//
// A description in the pack's module form is one XML document:
//
//   <Module identifier="pq Tuner" subtype="0" class="pqTuner">
//     <Pin id="0" name="semitoneSelect" datatype="int" direction="in" default="0"/>
//   </Module>
//
// datatype is int, audio, float or blob for audio modules (subtype 0) and text, bool, float,
// int or blob for GUI modules (subtypes 1 and 2); direction is in or out; default is
// optional. Documents in other forms (plug-in lists) are counted and otherwise left alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/audio/mp_abi.h"

namespace pqhost {

struct PinInfo {
    int32_t id;
    std::string name;
    int32_t datatype;         // a gmpi::kDatatype... or gmpi::kGuiPin... code, by the module's side
    int32_t direction;        // gmpi::kDirectionIn or gmpi::kDirectionOut
    std::string defaultValue; // as text, empty when none; a number for audio-module pins
};

struct ModuleInfo {
    std::u16string id;
    int32_t subtype; // gmpi::kSubtype...
    std::string className;
    std::vector<PinInfo> pins; // in description order
    const PinInfo* findPin(const std::string& name) const;
    const PinInfo* findPin(int32_t id) const;
};

// The modules one library describes.
struct LibraryCatalogue {
    std::vector<ModuleInfo> modules;
    size_t otherDescriptions = 0; // documents in other forms
    const ModuleInfo* findModule(const std::u16string& id, int32_t subtype) const;
    // "<library> carries no module descriptions" (saying how many it carries in other forms),
    // for a catalogue without modules.
    std::string noModulesMessage(const std::string& library) const;
};

// The catalogue of the library file at `path`. Throws HostError when the file cannot be read
// or is no ELF file, and when a module description is malformed (naming the library, the
// document and the fault). A library that carries no descriptions gives an empty catalogue.
LibraryCatalogue readCatalogue(const std::string& path);

// The catalogue of description documents as a library's section holds them; `source` names
// them in error messages.
LibraryCatalogue parseCatalogue(const std::vector<std::string>& documents, const std::string& source);


// The word for a datatype code of a module of `subtype` ("unknown" for no known code).
const char* datatypeName(int32_t datatype, int32_t subtype);

} // namespace pqhost
