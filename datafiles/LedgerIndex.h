#pragma once

// Finds the first ledger record whose Path matches a path, in constant time,
// with the ledger's own comparison: byte by byte up to the terminator (or the
// field's end), with only A to Z folded to a to z.

#include "Records.h"

#include <cstdint>
#include <string>
#include <unordered_map>

bool LedgerPathsMatch(const char* ledgerPath, const char* updatePath);

class LedgerIndex {
public:
    static constexpr std::uint32_t NotFound = 0xFFFFFFFFu;

    // Indexes records [0, count) of entries.
    void Build(const FileEntry* entries, std::uint32_t count);
    // Number of the first record that matches path, or NotFound.
    std::uint32_t Find(const char* path) const;
    // Records that entries[index] has been appended; an earlier match stays first.
    void Add(const FileEntry& entry, std::uint32_t index);

private:
    std::unordered_map<std::string, std::uint32_t> m_firstByFoldedPath;
};
