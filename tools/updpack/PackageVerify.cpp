#include "PackageVerify.h"

#include "CodePage.h"
#include "DataFile.h"
#include "NameFold.h"
#include "TreeIndex.h"
#include "Validation.h"

#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string RecordLabel(std::size_t index, const std::string& path)
{
    return "record " + std::to_string(index) + " (" + Cp932ToUtf8(path) + ")";
}

// The path of the folder that holds path, with its trailing separator; empty at the root.
std::string EnclosingFolder(const std::string& path, const MbcsClassifier& classifier)
{
    const std::string name(WithoutTrailingSeparator(path));
    std::size_t end = 0;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (name[i] == '\\' && classifier.Classify(name.c_str(), i) == MbcsSingle)
            end = i + 1;
    return name.substr(0, end);
}

void CheckHeaderTexts(const DataFile& data, std::vector<std::string>& problems)
{
    const struct {
        const char* field;
        const char* what;
    } texts[] = {{data.update.ProductName, "the product name"},
                 {data.update.RegistryKey, "the registry key"},
                 {data.update.RegistryValueName, "the registry value name"}};
    for (const auto& text : texts)
        if (text.field[0] == '\0')
            problems.push_back(std::string("header: ") + text.what + " is empty");
}

} // namespace

PackageReport VerifyPackage(const fs::path& packageDir)
{
    PackageReport report;
    std::vector<std::string>& problems = report.problems;
    const DataFile data = LoadDataFile(packageDir / "Updateinf.dat", DataFileKind::UpdateInfo);
    problems = CheckDataFile(data);
    CheckHeaderTexts(data, problems);
    if (data.records.empty() && data.EntryCount() == 0)
        problems.push_back("it lists no file or folder, so there is nothing to update");

    const fs::path dataDir = packageDir / "data";
    std::optional<TreeIndex> tree;
    if (fs::is_directory(fs::symlink_status(dataDir)))
        tree.emplace(dataDir);
    else
        problems.push_back("data: not a folder");

    PathClashes clashes;
    std::set<std::u32string> folders;
    std::set<const TreeIndex::Entry*> listed;
    const RecordTally tally = TallyRecords(data.records);
    const MbcsClassifier shiftJis = MbcsClassifier::ForKnownCodePage(932);
    for (std::size_t i = 0; i < data.records.size(); ++i) {
        const std::string path = RecordPath(data.records[i]);
        const std::string label = RecordLabel(i, path);
        // Paths that the updater refuses are reported by CheckDataFile already.
        if (CheckUpdatePath(data.records[i].Path, shiftJis) != RecordProblem::None)
            continue;
        const bool folder = path.back() == '\\';
        if (const auto clash = clashes.Add(WithoutTrailingSeparator(path), label))
            problems.push_back(DescribeClash(clash->earlier, label, clash->kind));
        const std::string enclosing = EnclosingFolder(path, shiftJis);
        if (!enclosing.empty() && folders.count(WindowsFoldKey(WithoutTrailingSeparator(enclosing))) == 0)
            problems.push_back(label + ": its folder " + Cp932ToUtf8(enclosing)
                               + " is not listed before it, so an installation without that folder fails");
        if (folder)
            folders.insert(WindowsFoldKey(WithoutTrailingSeparator(path)));
        if (!tree)
            continue;
        const TreeIndex::Entry* found = tree->Find(path);
        if (found)
            listed.insert(found);
        if (!found)
            problems.push_back(label + ": missing from data");
        else if (found->folder != folder)
            problems.push_back(label
                               + (folder ? ": listed as a folder, but data holds a file"
                                         : ": listed as a file, but data holds a folder"));
        else if (!folder && found->size != data.records[i].Size)
            problems.push_back(label + ": listed with " + std::to_string(data.records[i].Size)
                               + " bytes, but data holds " + std::to_string(found->size));
    }

    if (tree) {
        for (const TreeIndex::Entry& entry : tree->Entries())
            if (listed.count(&entry) == 0)
                report.warnings.push_back("data/" + entry.relative.generic_u8string() + " is not listed");
        for (const fs::path& unlisted : tree->Unlisted())
            report.warnings.push_back("data/" + unlisted.generic_u8string()
                                      + " is not listed (not a plain file or folder, or a name code page 932 "
                                        "cannot write)");
    }
    if (!fs::is_regular_file(packageDir / "Update.exe"))
        report.warnings.push_back("Update.exe is missing, so the folder is not a whole package yet");
    report.summary = std::to_string(data.records.size()) + " entries (" + std::to_string(tally.folders) + " folders, "
        + std::to_string(tally.files) + " files, " + std::to_string(tally.bytes) + " bytes)";
    return report;
}
