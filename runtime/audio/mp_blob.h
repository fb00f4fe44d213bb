// A byte array owned by its holder, compared by size and bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class MpBlob {
public:
    MpBlob() = default;
    MpBlob(const void* bytes, size_t count) { assign(bytes, count); }
    MpBlob(const MpBlob& other) { assign(other.data_, other.size_); }
    MpBlob& operator=(const MpBlob& other) {
        if (this != &other) assign(other.data_, other.size_);
        return *this;
    }
    ~MpBlob() { delete[] data_; }

    // Takes a copy of `count` bytes. The array is reused while it is large enough, so a
    // wave of a length already seen (or reserved) never allocates on the audio thread.
    void assign(const void* bytes, size_t count) {
        if (count > capacity_) {
            char* grown = new char[count];
            delete[] data_;
            data_ = grown;
            capacity_ = count;
        }
        size_ = count;
        if (count != 0 && bytes != nullptr && bytes != data_) std::memmove(data_, bytes, count);
        else if (count != 0 && bytes == nullptr) std::memset(data_, 0, count);
    }
    // Allocates room for `count` bytes ahead of time (outside the audio thread).
    void reserve(size_t count) {
        if (count <= capacity_) return;
        char* grown = new char[count];
        if (size_ != 0) std::memcpy(grown, data_, size_);
        delete[] data_;
        data_ = grown;
        capacity_ = count;
    }

    size_t size() const { return size_; }
    const char* data() const { return data_; }
    char* data() { return data_; }

    bool operator==(const MpBlob& other) const {
        return size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, size_) == 0);
    }
    bool operator!=(const MpBlob& other) const { return !(*this == other); }

private:
    size_t size_ = 0;
    char* data_ = nullptr;
    size_t capacity_ = 0;
};
