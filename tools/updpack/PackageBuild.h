#pragma once

#include "Records.h"

#include <filesystem>
#include <string>

struct BuildRequest {
    std::string productName;       // UTF-8
    std::string registryKey;       // UTF-8
    std::string registryValueName; // UTF-8
    std::filesystem::path from;    // the tree as the installation should hold it
    std::filesystem::path out;     // receives Updateinf.dat and data
};

// The header's three texts in code page 932; throws ToolError naming the
// field that is empty, unrepresentable or too long for its 128 bytes.
UpdateInfoHeader MakeUpdateInfoHeader(const BuildRequest& request);

// Scans, checks and writes the whole package; nothing is written when any
// part of it is refused.
void BuildPackage(const BuildRequest& request);
