// Errors of the substitute host: one line of text that says what and where.
#pragma once

#include <stdexcept>
#include <string>

namespace pqhost {
class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& what) : std::runtime_error(what) {}
};

std::string toUtf8(const std::u16string& text);
std::u16string toUtf16(const std::string& text);
} // namespace pqhost
