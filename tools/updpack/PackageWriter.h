#pragma once

#include "PackageTree.h"
#include "Records.h"

#include <filesystem>
#include <vector>

// Writes outDir/Updateinf.dat, the copy of the tree in outDir/data and, when
// updater is not empty, a copy of it as outDir/Update.exe, whole or not at
// all: everything goes to a new folder beside outDir, is verified there, and
// then takes outDir's place; into an empty outDir, the user's own folder,
// its content is moved instead. outDir must not exist yet, or be empty.
void WritePackage(const std::filesystem::path& outDir, const std::filesystem::path& treeRoot, UpdateInfoHeader header,
                  const std::vector<PackageItem>& items, const std::filesystem::path& updater);
