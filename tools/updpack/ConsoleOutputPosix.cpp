#include "Output.h"

#include <cstdio>

void ConsoleOutput::Out(std::string_view utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void ConsoleOutput::Err(std::string_view utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
}
