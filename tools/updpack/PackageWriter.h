#pragma once

#include "PackageTree.h"
#include "Records.h"

#include <filesystem>
#include <vector>

// Writes outDir/Updateinf.dat and the copy of the tree in outDir/data, whole or
// not at all: everything goes to a new folder beside outDir that is renamed to
// outDir at the end. outDir must not exist yet, or be an empty folder.
void WritePackage(const std::filesystem::path& outDir, const std::filesystem::path& treeRoot, UpdateInfoHeader header,
                  const std::vector<PackageItem>& items);
