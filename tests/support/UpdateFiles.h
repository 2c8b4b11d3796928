#pragma once

// The bytes of update information and ledger files, and snapshots of folder
// trees, for tests that run whole updates.

#include "Records.h"
#include "ScratchFolder.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline FileEntry MakeEntry(const std::string& path, std::uint32_t size, std::uint32_t extra = 0)
{
    FileEntry entry{};
    std::memcpy(entry.Path, path.data(), std::min(path.size(), sizeof entry.Path));
    if (path.size() < sizeof entry.Path)
        entry.Path[path.size()] = '\0';
    entry.Size = size;
    entry.Extra = extra;
    return entry;
}

template <typename Header>
Bytes DataFileBytes(const Header& header, const std::vector<FileEntry>& entries)
{
    Bytes bytes(sizeof header + entries.size() * sizeof(FileEntry));
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!entries.empty())
        std::memcpy(bytes.data() + sizeof header, entries.data(), entries.size() * sizeof(FileEntry));
    return bytes;
}

constexpr char TestProductName[] = "Reliability";
constexpr char TestValueName[] = "InstallDir";

// An update information file whose installation is the value TestValueName
// of the key registryKey under HKEY_CURRENT_USER.
// Bytes of a given size that differ with the seed and repeat only over long stretches.
inline Bytes Content(std::size_t size, unsigned char seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(seed + i * 7 + i / 251);
    return bytes;
}

inline Bytes UpdateInfoBytes(const std::vector<FileEntry>& entries, const std::string& registryKey)
{
    UpdateInfoHeader header{};
    std::strcpy(header.ProductName, TestProductName);
    std::snprintf(header.RegistryKey, sizeof header.RegistryKey, "%s", registryKey.c_str());
    std::strcpy(header.RegistryValueName, TestValueName);
    header.EntryCount = static_cast<std::uint32_t>(entries.size());
    return DataFileBytes(header, entries);
}

// A ledger of entries with counters that match them; the uninterpreted
// header bytes hold a pattern, so that a write-back which loses them shows.
inline Bytes LedgerBytes(const std::vector<FileEntry>& entries)
{
    LedgerHeader header{};
    for (std::size_t i = 0; i < sizeof header.Reserved1; ++i)
        header.Reserved1[i] = static_cast<unsigned char>(i * 3 + 1);
    header.EntryCount = static_cast<std::uint32_t>(entries.size());
    for (const FileEntry& entry : entries) {
        if (std::strlen(entry.Path) > 0 && entry.Path[std::strlen(entry.Path) - 1] != '\\') {
            header.FileCount += 1;
            header.TotalSize += entry.Size;
        }
    }
    return DataFileBytes(header, entries);
}

// Every file and folder below root, by relative path, with its content.
inline void TakeSnapshot(const std::string& root, const std::string& relative, std::map<std::string, Bytes>& snapshot)
{
    WIN32_FIND_DATAA found;
    const ScopedFind search(FindFirstFileA((root + "\\" + relative + "*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = relative + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            snapshot[child + "\\"] = {};
            TakeSnapshot(root, child + "\\", snapshot);
        } else {
            snapshot[child] = ReadWholeFile(root + "\\" + child);
        }
    } while (FindNextFileA(search.Get(), &found));
}

inline std::map<std::string, Bytes> Snapshot(const std::string& root)
{
    std::map<std::string, Bytes> snapshot;
    TakeSnapshot(root, "", snapshot);
    return snapshot;
}
