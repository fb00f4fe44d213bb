// The wave blob: one single-cycle wave as little-endian 32-bit floats, no header. Trailing
// bytes beyond a multiple of four belong to no sample.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pq {

inline size_t waveSampleCount(size_t bytes) {
    return bytes / 4;
}

// Copies the blob's samples into `samples` (resized to their count; no allocation while the
// vector's capacity suffices). Answers false when a sample is NaN or infinite: such a wave is
// not played and the caller keeps what it had.
inline bool decodeWave(const char* bytes, size_t size, std::vector<float>& samples) {
    const size_t count = bytes == nullptr ? 0 : waveSampleCount(size);
    samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t word;
        std::memcpy(&word, bytes + 4 * i, 4);
        if constexpr (std::endian::native == std::endian::big)
            word = (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) | (word << 24);
        const float value = std::bit_cast<float>(word);
        if (!std::isfinite(value)) return false;
        samples[i] = value;
    }
    return true;
}

} // namespace pq
