#include "PackageDelta.h"

#include "FileNames.h"
#include "NameFold.h"
#include "ToolError.h"
#include "TreeIndex.h"

#include <algorithm>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

bool SameBytes(const fs::path& a, const fs::path& b)
{
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    if (!first || !second)
        throw ToolError((first ? b : a).u8string() + ": cannot be read");
    std::vector<char> bufferA(65536), bufferB(65536);
    for (;;) {
        first.read(bufferA.data(), static_cast<std::streamsize>(bufferA.size()));
        second.read(bufferB.data(), static_cast<std::streamsize>(bufferB.size()));
        const std::streamsize got = first.gcount();
        if (got != second.gcount() || !std::equal(bufferA.begin(), bufferA.begin() + got, bufferB.begin()))
            return false;
        if (got == 0 || first.eof() || second.eof())
            return first.eof() && second.eof();
    }
}

bool IsLedgerOfAnInstallation(const TreeIndex::Entry& entry)
{
    return !entry.folder && WindowsFoldKey(entry.path) == WindowsFoldKey(LedgerFileName);
}

} // namespace

PackageDelta SelectDelta(const fs::path& base, const fs::path& treeRoot, const std::vector<PackageItem>& items)
{
    const TreeIndex old(base);
    PackageDelta delta;
    std::set<const TreeIndex::Entry*> matched;
    std::vector<bool> keep(items.size(), false);
    // Folders that enclose the current item, outermost first.
    std::vector<std::size_t> enclosing;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const PackageItem& item = items[i];
        while (!enclosing.empty()
               && item.path.compare(0, items[enclosing.back()].path.size(), items[enclosing.back()].path) != 0)
            enclosing.pop_back();
        const TreeIndex::Entry* found = old.Find(item.path);
        if (found && found->folder == item.folder && !IsLedgerOfAnInstallation(*found))
            matched.insert(found);
        else
            found = nullptr;
        if (item.folder) {
            keep[i] = found == nullptr;
        } else if (found && found->size == item.size && SameBytes(base / found->relative, treeRoot / item.relative)) {
            ++delta.skippedFiles;
            delta.skippedBytes += item.size;
        } else {
            keep[i] = true;
            ++delta.keptFiles;
            delta.keptBytes += item.size;
        }
        // An installation that lacks a folder of the kept item gets it too.
        if (keep[i])
            for (std::size_t folder : enclosing)
                keep[folder] = true;
        if (item.folder)
            enclosing.push_back(i);
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!keep[i])
            continue;
        delta.items.push_back(items[i]);
        if (items[i].folder)
            ++delta.keptFolders;
    }
    for (const TreeIndex::Entry& entry : old.Entries())
        if (!entry.folder && matched.count(&entry) == 0 && !IsLedgerOfAnInstallation(entry))
            delta.baseOnly.push_back(entry.relative.generic_u8string());
    for (const fs::path& unlisted : old.Unlisted())
        delta.baseOnly.push_back(unlisted.generic_u8string());
    return delta;
}
