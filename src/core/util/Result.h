#pragma once

#include <string>

namespace velmar {

// Outcome of an operation that can fail: an empty error means success.
struct Result {
    std::string error;
    explicit operator bool() const { return error.empty(); }
};

} // namespace velmar
