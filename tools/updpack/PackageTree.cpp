#include "PackageTree.h"

#include "CodePage.h"
#include "FileNames.h"
#include "MbcsClassifier.h"
#include "NameFold.h"
#include "Records.h"
#include "ToolError.h"
#include "Validation.h"

#include <algorithm>
#include <cstring>

namespace fs = std::filesystem;

namespace {

struct Child {
    fs::path name;
    std::string name932;
    bool folder;
};

std::string Show(const fs::path& path)
{
    return path.u8string();
}

class TreeScanner {
public:
    explicit TreeScanner(const fs::path& root) : m_root(root) {}

    void ScanFolder(const fs::path& relative, const std::string& prefix)
    {
        for (const Child& child : SortedChildren(relative, prefix))
            Add(relative / child.name, prefix + child.name932, child.folder);
    }

    std::vector<PackageItem> TakeItems() { return std::move(m_items); }

private:
    std::vector<Child> SortedChildren(const fs::path& relative, const std::string& prefix)
    {
        std::vector<Child> children;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_root / relative)) {
            const fs::path name = entry.path().filename();
            const fs::file_status status = entry.symlink_status();
            if (!fs::is_directory(status) && !fs::is_regular_file(status))
                throw ToolError(Show(entry.path())
                                + ": not a plain file or folder (links and devices are not packaged)");
            const std::optional<std::string> name932 = NativeNameToCp932(name);
            if (!name932)
                throw ToolError(Show(entry.path()) + ": the name cannot be written in code page 932");
            if (const auto clash = m_clashes.Add(prefix + *name932, Show(entry.path())))
                throw ToolError(DescribeClash(clash->earlier, Show(entry.path()), clash->kind));
            children.push_back({name, *name932, fs::is_directory(status)});
        }
        std::sort(children.begin(), children.end(),
                  [](const Child& a, const Child& b) { return a.name932 < b.name932; });
        return children;
    }

    void Add(const fs::path& relative, std::string path, bool folder)
    {
        const fs::path source = m_root / relative;
        if (folder)
            path += '\\';
        if (path.size() >= PathFieldSize)
            throw ToolError(Show(source) + ": its path in the package is " + std::to_string(path.size())
                            + " bytes in code page 932, over the limit of " + std::to_string(PathFieldSize - 1));
        char field[PathFieldSize] = {};
        std::memcpy(field, path.data(), path.size());
        const RecordProblem problem = CheckUpdatePath(field, m_classifier);
        if (problem != RecordProblem::None)
            throw ToolError(Show(source) + ": the updater would refuse its path: " + DescribeProblem(problem));
        // A tree copied from an installation holds its ledger: packaged, it
        // would replace the one that the updater reads and writes back.
        if (relative.parent_path().empty()
            && WindowsFoldKey(path.substr(0, path.size() - folder)) == WindowsFoldKey(LedgerFileName))
            throw ToolError(Show(source)
                            + ": the installation's uninstall ledger, which the updater keeps itself; not packaged");

        PackageItem item;
        item.relative = relative;
        item.path = path;
        item.folder = folder;
        if (!folder) {
            // The updater takes every path ending in the byte 0x5C for a folder,
            // even when that byte is the second half of a character such as 表.
            if (path.back() == '\\')
                throw ToolError(Show(source)
                                + ": its name ends in the byte 0x5C, which the updater would take for a folder");
            const std::uintmax_t size = fs::file_size(source);
            if (size > 0xFFFFFFFFu)
                throw ToolError(Show(source) + ": " + std::to_string(size)
                                + " bytes; a file in a package must be smaller than 4 GiB");
            item.size = static_cast<std::uint32_t>(size);
        }
        m_items.push_back(std::move(item));
        if (folder)
            ScanFolder(relative, path);
    }

    const fs::path m_root;
    const MbcsClassifier m_classifier = MbcsClassifier::ForKnownCodePage(932);
    std::vector<PackageItem> m_items;
    PathClashes m_clashes;
};

} // namespace

std::vector<PackageItem> ScanPackageTree(const fs::path& root)
{
    if (!fs::is_directory(root))
        throw ToolError(Show(root) + ": not a folder");
    TreeScanner scanner(root);
    scanner.ScanFolder(fs::path(), std::string());
    std::vector<PackageItem> items = scanner.TakeItems();
    // An update of folders alone is valid; one of nothing at all is a mistake.
    if (items.empty())
        throw ToolError(Show(root) + ": is empty, so there is nothing to package");
    if (items.size() > MaxRecordCount)
        throw ToolError(Show(root) + ": " + std::to_string(items.size()) + " files and folders, over the limit of "
                        + std::to_string(MaxRecordCount));
    return items;
}
