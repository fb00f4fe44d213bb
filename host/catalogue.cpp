#include "host/catalogue.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>

#include <pugixml.hpp>

#include "host/host_error.h"
#include "host/module_description.h"
#include "host/plugin_library.h"

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

const ModuleInfo* LibraryCatalogue::findModule(const std::u16string& id, int32_t subtype) const {
    for (const ModuleInfo& module : modules)
        if (module.id == id && module.subtype == subtype) return &module;
    return nullptr;
}

std::string LibraryCatalogue::noModulesMessage(const std::string& library) const {
    std::string message = library + " carries no module descriptions";
    if (otherDescriptions != 0)
        message += " (only " + std::to_string(otherDescriptions) + " in other forms, which name no modules)";
    return message;
}

const char* datatypeName(int32_t datatype, int32_t subtype) {
    // The names are literals, so each view ends at a NUL.
    return gmpi::datatypeName(datatype, subtype).data();
}

namespace {

// A whole number written plainly (optional minus, digits), within int32_t.
bool parseWhole(std::string_view text, int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && at == end;
}

bool parseFinite(std::string_view text, float& value) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && at == end && std::isfinite(value);
}

int32_t datatypeCode(std::string_view name, int32_t subtype) {
    for (const gmpi::DatatypeName& d : gmpi::datatypeNames(subtype))
        if (d.name == name) return d.code;
    return -1;
}

class DescriptionReader {
public:
    explicit DescriptionReader(std::string where) : where_(std::move(where)) {}

    [[noreturn]] void fail(const std::string& what) const { throw HostError(where_ + ": " + what); }

    std::string_view required(const pugi::xml_node& node, const char* name) const {
        const pugi::xml_attribute a = node.attribute(name);
        if (a.empty()) fail(std::string("<") + node.name() + "> without " + name);
        return a.value();
    }

    ModuleInfo module(const pugi::xml_node& root) const {
        ModuleInfo info;
        const std::string_view identifier = required(root, "identifier");
        if (identifier.empty()) fail("an empty identifier");
        info.id = toUtf16(std::string(identifier));
        if (!parseWhole(required(root, "subtype"), info.subtype) ||
            (info.subtype != gmpi::kSubtypeAudio && info.subtype != gmpi::kSubtypeGuiLegacy &&
             info.subtype != gmpi::kSubtypeGuiGraphics))
            fail("subtype must be 0, 1 or 2, not \"" + std::string(root.attribute("subtype").value()) + "\"");
        info.className = root.attribute("class").value();
        std::set<int32_t> ids;
        std::set<std::string> names;
        for (const pugi::xml_node& node : root.children("Pin")) {
            PinInfo pin = this->pin(node, info.subtype);
            if (!ids.insert(pin.id).second) fail("pin id " + std::to_string(pin.id) + " described twice");
            if (!names.insert(pin.name).second) fail("pin name \"" + pin.name + "\" described twice");
            info.pins.push_back(std::move(pin));
        }
        return info;
    }

private:
    PinInfo pin(const pugi::xml_node& node, int32_t subtype) const {
        PinInfo pin{};
        const std::string_view id = required(node, "id");
        if (!parseWhole(id, pin.id)) fail("pin id \"" + std::string(id) + "\" is no whole number");
        pin.name = required(node, "name");
        if (pin.name.empty()) fail("pin " + std::to_string(pin.id) + " has an empty name");
        const std::string place = "pin \"" + pin.name + "\"";
        const std::string_view datatype = required(node, "datatype");
        pin.datatype = datatypeCode(datatype, subtype);
        if (pin.datatype < 0)
            fail(place + ": datatype \"" + std::string(datatype) + "\" is not one of subtype " +
                 std::to_string(subtype));
        const std::string_view direction = required(node, "direction");
        if (direction == gmpi::directionName(gmpi::kDirectionIn))
            pin.direction = gmpi::kDirectionIn;
        else if (direction == gmpi::directionName(gmpi::kDirectionOut))
            pin.direction = gmpi::kDirectionOut;
        else
            fail(place + ": direction must be in or out, not \"" + std::string(direction) + "\"");
        pin.defaultValue = node.attribute("default").value();
        // Audio-module defaults fill buffers and values: they must be numbers.
        float number = 0;
        const bool numeric = subtype == gmpi::kSubtypeAudio && pin.datatype != gmpi::kDatatypeBlob;
        if (numeric && !pin.defaultValue.empty() && !parseFinite(pin.defaultValue, number))
            fail(place + ": default \"" + pin.defaultValue + "\" is no finite number");
        return pin;
    }

    std::string where_;
};

} // namespace

LibraryCatalogue parseCatalogue(const std::vector<std::string>& documents, const std::string& source) {
    LibraryCatalogue catalogue;
    for (size_t i = 0; i < documents.size(); ++i) {
        const DescriptionReader reader(source + ": description " + std::to_string(i + 1));
        pugi::xml_document document;
        const pugi::xml_parse_result parsed = document.load_buffer(documents[i].data(), documents[i].size(),
                                                                   pugi::parse_default, pugi::encoding_utf8);
        if (!parsed)
            reader.fail(std::string("not well-formed XML (") + parsed.description() + " at byte " +
                        std::to_string(parsed.offset) + ")");
        const pugi::xml_node root = document.document_element();
        if (std::strcmp(root.name(), "Module") != 0) {
            ++catalogue.otherDescriptions;
            continue;
        }
        ModuleInfo module = reader.module(root);
        if (catalogue.findModule(module.id, module.subtype) != nullptr)
            reader.fail("module \"" + toUtf8(module.id) + "\" of subtype " + std::to_string(module.subtype) +
                        " described twice");
        catalogue.modules.push_back(std::move(module));
    }
    return catalogue;
}

LibraryCatalogue readCatalogue(const std::string& path) {
    return parseCatalogue(readModuleDescriptions(path), path);
}

} // namespace pqhost
