#include "LedgerIndex.h"

#include <new>

namespace {

constexpr std::uint32_t EmptySlot = 0xFFFFFFFFu;

char FoldAsciiUpper(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// FNV-1a of the folded path up to its terminator, or false when the field
// holds none; such a path never matches, so it has no key.
bool FoldedHash(const char* path, std::uint32_t& hash)
{
    hash = 2166136261u;
    for (std::size_t i = 0; i < PathFieldSize; ++i) {
        if (path[i] == '\0')
            return true;
        hash = (hash ^ static_cast<unsigned char>(FoldAsciiUpper(path[i]))) * 16777619u;
    }
    return false;
}

} // namespace

bool LedgerPathsMatch(const char* ledgerPath, const char* updatePath)
{
    for (std::size_t i = 0; i < PathFieldSize; ++i) {
        if (FoldAsciiUpper(ledgerPath[i]) != FoldAsciiUpper(updatePath[i]))
            return false;
        if (ledgerPath[i] == '\0')
            return true;
    }
    return false;
}

bool LedgerIndex::Reserve(std::uint32_t capacity)
{
    m_slots.reset();
    m_slotMask = 0;
    m_capacity = 0;
    // A power of two at least SlotsPerRecord times capacity; past 2^31 slots
    // the table could not be addressed in the 32-bit build anyway.
    std::uint64_t slots = 1;
    while (slots < static_cast<std::uint64_t>(capacity) * SlotsPerRecord)
        slots <<= 1;
    if (slots > 0x80000000u)
        return false;
    m_slots.reset(new (std::nothrow) std::uint32_t[static_cast<std::size_t>(slots)]);
    if (!m_slots)
        return false;
    m_slotMask = static_cast<std::uint32_t>(slots - 1);
    m_capacity = capacity;
    return true;
}

void LedgerIndex::Build(const FileEntry* entries, std::uint32_t count)
{
    m_entries = entries;
    m_count = 0;
    if (m_slots && count > m_capacity)
        m_slots.reset();
    if (m_slots)
        for (std::uint32_t i = 0; i <= m_slotMask; ++i)
            m_slots[i] = EmptySlot;
    for (std::uint32_t i = 0; i < count; ++i)
        Add(i);
}

std::uint32_t LedgerIndex::Scan(const char* path) const
{
    for (std::uint32_t i = 0; i < m_count; ++i)
        if (LedgerPathsMatch(m_entries[i].Path, path))
            return i;
    return NotFound;
}

std::uint32_t LedgerIndex::Find(const char* path) const
{
    if (!m_slots)
        return Scan(path);
    std::uint32_t hash;
    if (!FoldedHash(path, hash))
        return NotFound;
    for (std::uint32_t slot = hash & m_slotMask;; slot = (slot + 1) & m_slotMask) {
        const std::uint32_t record = m_slots[slot];
        if (record == EmptySlot || LedgerPathsMatch(m_entries[record].Path, path))
            return record == EmptySlot ? NotFound : record;
    }
}

void LedgerIndex::Add(std::uint32_t index)
{
    m_count = index + 1;
    if (!m_slots)
        return;
    // More records than reserved would fill the table: scan from here on.
    if (m_count > m_capacity) {
        m_slots.reset();
        return;
    }
    const char* path = m_entries[index].Path;
    std::uint32_t hash;
    if (!FoldedHash(path, hash))
        return;
    for (std::uint32_t slot = hash & m_slotMask;; slot = (slot + 1) & m_slotMask) {
        const std::uint32_t record = m_slots[slot];
        if (record == EmptySlot) {
            m_slots[slot] = index;
            return;
        }
        if (LedgerPathsMatch(m_entries[record].Path, path))
            return;
    }
}
