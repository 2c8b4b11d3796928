#pragma once

#include <stdexcept>

// A failure of the requested work: reported on stderr, exit code 1. The
// message names the culprit (a file, a field, a record).
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The command line itself is wrong: reported with a hint, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
