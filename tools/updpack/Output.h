#pragma once

#include <string_view>

// Where the tool's texts go; all of them are UTF-8. Tests capture them.
class Output {
public:
    virtual ~Output() = default;
    virtual void Out(std::string_view utf8) = 0;
    virtual void Err(std::string_view utf8) = 0;
};

// The process's standard output and error.
class ConsoleOutput : public Output {
public:
    void Out(std::string_view utf8) override;
    void Err(std::string_view utf8) override;
};
