// Module descriptions that a deliverable carries in its file: plug-in list XML in the ELF
// section "pq_plugin_xml", read the way a host reads a resource, from the file alone
// (the library is not loaded and nothing in it runs).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pqhost {

inline constexpr const char* kModuleDescriptionSection = "pq_plugin_xml";

// The XML documents of the library's description section, in file order (the section may
// hold several, each ended by a NUL). Empty when the library carries none. Throws HostError
// when the file cannot be read or is no well-formed 64-bit ELF file.
std::vector<std::string> readModuleDescriptions(const std::string& path);

// One <Pin .../> element of a description: its attributes by name.
struct DescribedPin {
    std::map<std::string, std::string> attributes;
    std::string attribute(const std::string& name, const std::string& fallback = {}) const;
};

// The pins of every <Pin> element of `xml`, in document order. Attribute values are taken
// as written (the descriptions use no entities).
std::vector<DescribedPin> describedPins(const std::string& xml);

} // namespace pqhost
