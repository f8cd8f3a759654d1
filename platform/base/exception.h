#pragma once
// The program's failures: exceptions carrying a message a user can act on.
// The application's top-level handler shows the message; EAbort is silent.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string message() const { return what(); }
};

// A user's abort: unwinds quietly, nobody shows it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// A failure of the table engine or of a dataset.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};
