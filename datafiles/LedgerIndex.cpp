#include "LedgerIndex.h"

#include <utility>

namespace {

char FoldAsciiUpper(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The folded path up to its terminator, or false when the field holds none;
// such a path never matches, so it has no key.
bool FoldedKey(const char* path, std::string& key)
{
    std::size_t length = 0;
    while (length < PathFieldSize && path[length] != '\0')
        ++length;
    if (length == PathFieldSize)
        return false;
    key.assign(path, length);
    for (char& c : key)
        c = FoldAsciiUpper(c);
    return true;
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

void LedgerIndex::Build(const FileEntry* entries, std::uint32_t count)
{
    m_firstByFoldedPath.clear();
    m_firstByFoldedPath.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        Add(entries[i], i);
}

std::uint32_t LedgerIndex::Find(const char* path) const
{
    std::string key;
    if (!FoldedKey(path, key))
        return NotFound;
    const auto found = m_firstByFoldedPath.find(key);
    return found == m_firstByFoldedPath.end() ? NotFound : found->second;
}

void LedgerIndex::Add(const FileEntry& entry, std::uint32_t index)
{
    std::string key;
    if (FoldedKey(entry.Path, key))
        m_firstByFoldedPath.emplace(std::move(key), index);
}
