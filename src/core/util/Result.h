#pragma once

#include <string>

namespace velmar {

// The outcome of an operation that can fail with a message: an empty error means success.
struct Result {
    std::string error;
    explicit operator bool() const { return error.empty(); }
};

} // namespace velmar
