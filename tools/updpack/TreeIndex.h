#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A folder tree as found on disk, looked up by code page 932 path the way
// Windows looks a name up (NameFold.h), so the Linux and the Windows build
// find the same entries. Links are not followed and not listed as entries.
class TreeIndex {
public:
    struct Entry {
        std::filesystem::path relative; // native form, below the root
        std::string path;               // code page 932, backslashes; a folder's ends with one
        bool folder = false;
        std::uintmax_t size = 0; // 0 for folders
    };

    // Throws ToolError when root is not a folder.
    explicit TreeIndex(const std::filesystem::path& root);

    // The entry for a path as a record holds it (a folder's with its trailing
    // separator or without), or null.
    const Entry* Find(std::string_view path) const;

    // Every file and folder, each folder before what it holds.
    const std::vector<Entry>& Entries() const { return m_entries; }
    // Names that code page 932 cannot write, links and devices: below the root, native form.
    const std::vector<std::filesystem::path>& Unlisted() const { return m_unlisted; }

private:
    void Scan(const std::filesystem::path& relative, const std::string& prefix);

    std::filesystem::path m_root;
    std::vector<Entry> m_entries;
    std::vector<std::filesystem::path> m_unlisted;
    std::map<std::u32string, std::size_t> m_byKey;
};

// A record's path without a folder's trailing separator (a trail byte 0x5C is kept).
std::string_view WithoutTrailingSeparator(std::string_view path);
