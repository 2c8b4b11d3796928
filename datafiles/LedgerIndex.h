#pragma once

// Finds the first ledger record whose Path matches a path with the ledger's
// own comparison: byte by byte up to the terminator (or the field's end), with
// only A to Z folded to a to z. Its memory is one table allocated up front, so
// that nothing is allocated while the pass runs; when that table cannot be had
// it scans the records in order instead, with the same answers.

#include "Records.h"

#include <cstdint>
#include <memory>

bool LedgerPathsMatch(const char* ledgerPath, const char* updatePath);

class LedgerIndex {
public:
    static constexpr std::uint32_t NotFound = 0xFFFFFFFFu;
    // Slots per record, so that probes stay short at half load.
    static constexpr std::uint32_t SlotsPerRecord = 2;

    // Allocates the table for up to capacity records, once; false when it
    // could not be had, and the index scans instead. Never throws.
    bool Reserve(std::uint32_t capacity);
    // Indexes records [0, count) of entries, which must stay in place.
    void Build(const FileEntry* entries, std::uint32_t count);
    // Number of the first record that matches path, or NotFound.
    std::uint32_t Find(const char* path) const;
    // Records that entries[index] has been appended, as the next record;
    // an earlier match stays first. Allocates nothing.
    void Add(std::uint32_t index);

private:
    std::uint32_t Scan(const char* path) const;

    std::unique_ptr<std::uint32_t[]> m_slots;
    std::uint32_t m_slotMask = 0;
    std::uint32_t m_capacity = 0;
    const FileEntry* m_entries = nullptr;
    std::uint32_t m_count = 0;
};
