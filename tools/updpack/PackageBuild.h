#pragma once

#include "Output.h"
#include "Records.h"

#include <filesystem>
#include <string>

struct BuildRequest {
    std::string productName;       // UTF-8
    std::string registryKey;       // UTF-8
    std::string registryValueName; // UTF-8
    std::filesystem::path from;    // the tree as the installation should hold it
    std::filesystem::path out;     // receives Updateinf.dat and data
    std::filesystem::path base;    // when given: package only what differs from this tree
    std::filesystem::path updater; // when given: copied into the package as Update.exe
};

// The header's three texts in code page 932; throws ToolError naming the
// field that is empty, unrepresentable or too long for its 128 bytes.
UpdateInfoHeader MakeUpdateInfoHeader(const BuildRequest& request);

// Scans, checks and writes the whole package; nothing is written when any
// part of it is refused. A delta build says what it kept and skipped, and
// warns of the base's files that the package cannot remove.
void BuildPackage(const BuildRequest& request, Output& output);
