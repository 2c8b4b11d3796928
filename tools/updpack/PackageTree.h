#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// One entry of an update: a folder or a file of the tree being packaged.
struct PackageItem {
    std::filesystem::path relative; // native form, below the tree's root
    std::string path;               // code page 932, backslashes; a folder's ends with one
    bool folder = false;
    std::uint32_t size = 0; // 0 for folders
};

// Lists the tree below root in the order of the update: within a folder, its
// names in ascending byte order of their code page 932 form; each folder comes
// right before what it holds (depth first). Throws ToolError naming the first
// name, path or file that the updater could not take.
std::vector<PackageItem> ScanPackageTree(const std::filesystem::path& root);
