// Errors of the substitute host: one line of text that says what and where.
#pragma once

#include <stdexcept>
#include <string>

#include "runtime/gui/utf8.h"

namespace pqhost {
class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& what) : std::runtime_error(what) {}
};

// Identifiers and texts in messages and patches.
using pq::toUtf16;
using pq::toUtf8;
} // namespace pqhost
