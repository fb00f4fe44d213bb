// Readers that take a path get the fuzzer's bytes through a file of this process's own.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace pqfuzz {

class ScratchFile {
public:
    explicit ScratchFile(const char* name) {
        std::string pattern = (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
        pattern += "/pqfuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        folder_ = pattern;
        path_ = folder_ / name;
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& folder() const { return folder_; }
    void write(const uint8_t* data, size_t size) const {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (f == nullptr) std::abort();
        if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

} // namespace pqfuzz
