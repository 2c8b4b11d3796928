#include "PackageWriter.h"

#include "PackageVerify.h"
#include "ToolError.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string Show(const fs::path& path)
{
    return path.u8string();
}

// A folder being filled; removed with its content unless it was kept.
class ScratchFolder {
public:
    explicit ScratchFolder(const fs::path& besides)
    {
        const fs::path parent = besides.parent_path().empty() ? fs::path(".") : besides.parent_path();
        fs::create_directories(parent);
        for (unsigned attempt = 0;; ++attempt) {
            fs::path candidate = parent / besides.filename();
            candidate += ".partial" + std::to_string(attempt);
            if (fs::create_directory(candidate)) {
                m_path = std::move(candidate);
                return;
            }
        }
    }
    ~ScratchFolder()
    {
        if (!m_path.empty()) {
            std::error_code ignored;
            fs::remove_all(m_path, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Path() const { return m_path; }

    void MoveTo(const fs::path& destination)
    {
        fs::rename(m_path, destination);
        m_path.clear();
    }

    // Moves what the folder holds into destination, an empty folder that
    // stays; on a failure whatever was moved goes back, and destination is
    // empty again.
    void MoveContentInto(const fs::path& destination)
    {
        std::vector<fs::path> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_path))
            names.push_back(entry.path().filename());
        // The data file last: a folder that has it is a whole package.
        std::sort(names.begin(), names.end(),
                  [](const fs::path& a, const fs::path& b) { return (a == "Updateinf.dat") < (b == "Updateinf.dat"); });
        std::vector<fs::path> moved;
        try {
            for (const fs::path& name : names) {
                fs::rename(m_path / name, destination / name);
                moved.push_back(name);
            }
        } catch (...) {
            for (const fs::path& name : moved) {
                std::error_code ignored;
                fs::rename(destination / name, m_path / name, ignored);
            }
            throw;
        }
    }

private:
    fs::path m_path;
};

void CopyTree(const fs::path& treeRoot, const fs::path& dataDir, const std::vector<PackageItem>& items)
{
    fs::create_directory(dataDir);
    for (const PackageItem& item : items) {
        const fs::path target = dataDir / item.relative;
        if (item.folder) {
            fs::create_directory(target);
            continue;
        }
        fs::copy_file(treeRoot / item.relative, target);
        // The record says the size seen while scanning; the copy must have it too.
        if (fs::file_size(target) != item.size)
            throw ToolError(Show(treeRoot / item.relative) + ": changed while it was being packaged");
    }
}

void WriteUpdateInfo(const fs::path& file, UpdateInfoHeader header, const std::vector<PackageItem>& items)
{
    header.EntryCount = static_cast<std::uint32_t>(items.size());
    std::vector<FileEntry> records(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        FileEntry& record = records[i];
        std::memset(&record, 0, sizeof record);
        std::memcpy(record.Path, items[i].path.data(), std::min(items[i].path.size(), sizeof record.Path - 1));
        record.Size = items[i].size;
        record.Extra = 0;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(records.data()),
              static_cast<std::streamsize>(records.size() * sizeof(FileEntry)));
    out.close();
    if (!out)
        throw ToolError(Show(file) + ": could not be written");
}

} // namespace

void WritePackage(const fs::path& outDir, const fs::path& treeRoot, UpdateInfoHeader header,
                  const std::vector<PackageItem>& items, const fs::path& updater)
{
    // "out/" names the folder out, whose scratch twin is out.partial0 beside it.
    const fs::path target = outDir.has_filename() ? outDir : outDir.parent_path();
    const bool replaceEmpty = fs::is_directory(target) && fs::is_empty(target);
    if (fs::exists(target) && !replaceEmpty)
        throw ToolError(Show(target) + ": already exists; give a new folder, or an empty one");

    if (!updater.empty() && !fs::is_regular_file(updater))
        throw ToolError(Show(updater) + ": not a file");

    ScratchFolder scratch(target);
    CopyTree(treeRoot, scratch.Path() / "data", items);
    WriteUpdateInfo(scratch.Path() / "Updateinf.dat", header, items);
    if (!updater.empty())
        fs::copy_file(updater, scratch.Path() / "Update.exe");
    // What build writes, verify accepts: checked before anyone sees it.
    const PackageReport report = VerifyPackage(scratch.Path());
    if (!report.problems.empty())
        throw ToolError("the package would not verify: " + report.problems.front());
    if (replaceEmpty)
        scratch.MoveContentInto(target);
    else
        scratch.MoveTo(target);
}
