#pragma once
// Failures to read or write a file. The message names the file and the system's reason.

#include <stdexcept>

namespace qor {

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file could not be opened or read.
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The file could not be created or written.
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

} // namespace qor
