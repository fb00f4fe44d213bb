#include "host/module_description.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include "host/host_error.h"

namespace pqhost {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw HostError(path + ": cannot open");
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw HostError(path + ": cannot read");
    return bytes;
}

// True when [offset, offset + size) lies within a file of `fileSize` bytes.
bool within(uint64_t offset, uint64_t size, uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

template <class T> T readAt(const std::string& bytes, uint64_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

} // namespace

std::vector<std::string> readModuleDescriptions(const std::string& path) {
    const std::string file = readFile(path);
    const uint64_t fileSize = file.size();
    const auto bad = [&](const char* why) { return HostError(path + ": " + why); };

    if (fileSize < sizeof(Elf64_Ehdr) || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0)
        throw bad("not an ELF file");
    const auto header = readAt<Elf64_Ehdr>(file, 0);
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
        throw bad("not a little-endian 64-bit ELF file");
    if (header.e_shoff == 0) return {};
    if (header.e_shentsize != sizeof(Elf64_Shdr)) throw bad("unexpected section header size");
    if (!within(header.e_shoff, sizeof(Elf64_Shdr), fileSize)) throw bad("section headers out of the file");

    // Large files keep the section count and the name table's index in section 0.
    const auto first = readAt<Elf64_Shdr>(file, header.e_shoff);
    const uint64_t count = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
    const uint64_t namesIndex = header.e_shstrndx != SHN_XINDEX ? header.e_shstrndx : first.sh_link;
    if (count > fileSize / sizeof(Elf64_Shdr) ||
        !within(header.e_shoff, count * sizeof(Elf64_Shdr), fileSize))
        throw bad("section headers out of the file");
    if (namesIndex >= count) throw bad("no section name table");
    const auto section = [&](uint64_t index) {
        return readAt<Elf64_Shdr>(file, header.e_shoff + index * sizeof(Elf64_Shdr));
    };
    const Elf64_Shdr names = section(namesIndex);
    if (names.sh_type != SHT_STRTAB || !within(names.sh_offset, names.sh_size, fileSize))
        throw bad("section name table out of the file");

    std::vector<std::string> documents;
    const size_t wantedLength = std::strlen(kModuleDescriptionSection);
    for (uint64_t i = 0; i < count; ++i) {
        const Elf64_Shdr s = section(i);
        if (s.sh_name >= names.sh_size) continue;
        // The name must end, NUL included, inside the name table.
        const char* name = file.data() + names.sh_offset + s.sh_name;
        const uint64_t room = names.sh_size - s.sh_name;
        if (room <= wantedLength || std::memcmp(name, kModuleDescriptionSection, wantedLength + 1) != 0)
            continue;
        if (s.sh_type != SHT_PROGBITS) continue;
        if (!within(s.sh_offset, s.sh_size, fileSize)) throw bad("description section out of the file");
        // Documents end with a NUL; alignment may leave more NULs between them.
        const std::string_view contents(file.data() + s.sh_offset, s.sh_size);
        size_t start = 0;
        while (start < contents.size()) {
            size_t end = contents.find('\0', start);
            if (end == std::string_view::npos) end = contents.size();
            if (end > start) documents.emplace_back(contents.substr(start, end - start));
            start = end + 1;
        }
    }
    return documents;
}

} // namespace pqhost
