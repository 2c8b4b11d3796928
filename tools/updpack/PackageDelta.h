#pragma once

#include "PackageTree.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What a delta keeps of a whole tree, and what it leaves to the base.
struct PackageDelta {
    std::vector<PackageItem> items; // in the order of the whole tree
    std::uint32_t keptFiles = 0;
    std::uint64_t keptBytes = 0;
    std::uint32_t keptFolders = 0;
    std::uint32_t skippedFiles = 0;
    std::uint64_t skippedBytes = 0;
    std::vector<std::string> baseOnly; // files of the base that the tree lacks, UTF-8, '/' between names
};

// Keeps the files of items (the whole tree below treeRoot) that base lacks or
// holds with other bytes, and the folder entries of every folder they lie in;
// a folder that base lacks is kept too. Names are looked up in base the way
// Windows looks them up. A base that is an installation holds its ledger,
// Uninstallinf.dat, beside the files: it is no part of the comparison.
PackageDelta SelectDelta(const std::filesystem::path& base, const std::filesystem::path& treeRoot,
                         const std::vector<PackageItem>& items);
