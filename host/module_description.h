// Module descriptions that a deliverable carries in its file: plug-in list XML in the ELF
// section "pq_plugin_xml", read the way a host reads a resource, from the file alone
// (the library is not loaded and nothing in it runs).
#pragma once

#include <string>
#include <vector>

namespace pqhost {

inline constexpr const char* kModuleDescriptionSection = "pq_plugin_xml";

// The XML documents of the library's description section, in file order (the section may
// hold several, each ended by a NUL). Empty when the library carries none. Throws HostError
// when the file cannot be read or is no well-formed 64-bit ELF file.
std::vector<std::string> readModuleDescriptions(const std::string& path);

} // namespace pqhost
