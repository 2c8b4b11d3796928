#include "TreeIndex.h"

#include "CodePage.h"
#include "MbcsClassifier.h"
#include "NameFold.h"
#include "ToolError.h"

#include <algorithm>

namespace fs = std::filesystem;

std::string_view WithoutTrailingSeparator(std::string_view path)
{
    static const MbcsClassifier shiftJis = MbcsClassifier::ForKnownCodePage(932);
    if (path.empty() || path.back() != '\\')
        return path;
    const std::string terminated(path);
    if (shiftJis.Classify(terminated.c_str(), terminated.size() - 1) == MbcsTrail)
        return path;
    return path.substr(0, path.size() - 1);
}

TreeIndex::TreeIndex(const fs::path& root) : m_root(root)
{
    if (!fs::is_directory(fs::symlink_status(root)))
        throw ToolError(root.u8string() + ": not a folder");
    Scan(fs::path(), std::string());
}

const TreeIndex::Entry* TreeIndex::Find(std::string_view path) const
{
    const auto found = m_byKey.find(WindowsFoldKey(WithoutTrailingSeparator(path)));
    return found == m_byKey.end() ? nullptr : &m_entries[found->second];
}

void TreeIndex::Scan(const fs::path& relative, const std::string& prefix)
{
    std::vector<fs::directory_entry> children(fs::directory_iterator(m_root / relative), fs::directory_iterator());
    // In name order, so every report lists them alike.
    std::sort(children.begin(), children.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename() < b.path().filename();
    });
    for (const fs::directory_entry& child : children) {
        const fs::path childRelative = relative / child.path().filename();
        const fs::file_status status = child.symlink_status();
        const std::optional<std::string> name932 = NativeNameToCp932(child.path().filename());
        if (!name932 || (!fs::is_directory(status) && !fs::is_regular_file(status))) {
            m_unlisted.push_back(childRelative);
            continue;
        }
        Entry entry;
        entry.relative = childRelative;
        entry.folder = fs::is_directory(status);
        entry.path = prefix + *name932;
        const std::string key = entry.path;
        if (entry.folder)
            entry.path += '\\';
        else
            entry.size = fs::file_size(child.path());
        // A case-sensitive file system may hold two names that Windows takes
        // for one; the first is found, and the second stays unmatched.
        m_byKey.emplace(WindowsFoldKey(key), m_entries.size());
        m_entries.push_back(entry);
        if (entry.folder)
            Scan(childRelative, entry.path);
    }
}
