// The one home of the conversions between the 16-bit text of pins and identifiers and UTF-8
// text, for modules and hosts alike. Pairs of surrogates are joined; a lone surrogate, or a
// malformed UTF-8 sequence, becomes U+FFFD. Exactly `count` units are read, so text need not
// be terminated. [any thread]
#pragma once

#include <cstddef>
#include <string>

namespace pq {
std::string utf16ToUtf8(const char16_t* text, size_t count);
std::u16string utf8ToUtf16(const char* text, size_t count);

inline std::string toUtf8(const std::u16string& text) { return utf16ToUtf8(text.data(), text.size()); }
inline std::u16string toUtf16(const std::string& text) { return utf8ToUtf16(text.data(), text.size()); }
} // namespace pq
