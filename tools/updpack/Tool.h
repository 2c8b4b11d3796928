#pragma once

#include "Output.h"

#include <string>
#include <vector>

// The whole tool: args are the command line after the program's name, in UTF-8.
// Returns the exit code: 0 done, 1 failed, 2 the command line is wrong.
int RunTool(const std::vector<std::string>& args, Output& output);

extern const char* const UsageText;
