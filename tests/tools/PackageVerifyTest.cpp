#include "ToolTestSupport.h"

#include <functional>

namespace {

// A package as build writes it: a.txt, bin\ and bin\b.dll.
class Package {
public:
    Package()
    {
        m_temp.Write("src/a.txt", "aaa");
        m_temp.Write("src/bin/b.dll", "bb");
        const RunResult built =
            RunUpdpack({"build", "--product", "Sample", "--key", "Software\\Example", "--value", "InstallDir", "--from",
                        (m_temp.Path() / "src").u8string(), "--out", Dir().u8string()});
        EXPECT_EQ(built.code, 0) << built.err;
        std::memcpy(&m_header, ReadBytes(Dir() / "Updateinf.dat").data(), sizeof m_header);
    }

    fs::path Dir() const { return m_temp.Path() / "pkg"; }
    const TempFolder& Temp() const { return m_temp; }

    void WriteRecords(const std::vector<FileEntry>& records, UpdateInfoHeader header) const
    {
        header.EntryCount = static_cast<std::uint32_t>(records.size());
        std::ofstream(Dir() / "Updateinf.dat", std::ios::binary | std::ios::trunc) << FileBytes(header, records);
    }
    void WriteRecords(const std::vector<FileEntry>& records) const { WriteRecords(records, m_header); }
    const UpdateInfoHeader& Header() const { return m_header; }

    RunResult Verify() const { return RunUpdpack({"verify", Dir().u8string()}); }

private:
    TempFolder m_temp;
    UpdateInfoHeader m_header{};
};

const std::vector<FileEntry> GoodRecords = {Record("a.txt", 3), Record("bin\\", 0), Record("bin\\b.dll", 2)};

// The lines of a report that are not warnings.
std::vector<std::string> ProblemLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (text.substr(start, end - start).find(": warning: ") == std::string::npos)
            lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace

TEST(PackageVerify, APackageThatBuildWroteVerifies)
{
    const Package package;
    const RunResult result = package.Verify();
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out,
              package.Dir().u8string() + ": 3 entries (1 folders, 2 files, 5 bytes), all in data as listed\n");
    EXPECT_EQ(result.err,
              "updpack: " + package.Dir().u8string()
                  + ": warning: Update.exe is missing, so the folder is not a whole package yet\n");

    package.Temp().Write("pkg/Update.exe", "MZ");
    const RunResult whole = package.Verify();
    EXPECT_EQ(whole.code, 0);
    EXPECT_EQ(whole.err, "");
}

TEST(PackageVerify, EachProblemIsOneLineAndFailsTheCheck)
{
    const struct {
        const char* what;
        std::function<void(const Package&)> spoil;
        const char* message;
    } cases[] = {
        {"a listed file is missing", [](const Package& p) { fs::remove(p.Dir() / "data" / "a.txt"); },
         "record 0 (a.txt): missing from data"},
        {"a listed file has another size", [](const Package& p) { p.Temp().Write("pkg/data/a.txt", "aaaa"); },
         "record 0 (a.txt): listed with 3 bytes, but data holds 4"},
        {"a listed folder is a file",
         [](const Package& p) {
             fs::remove_all(p.Dir() / "data" / "bin");
             p.Temp().Write("pkg/data/bin", "");
             p.WriteRecords({Record("a.txt", 3), Record("bin\\", 0)});
         },
         "record 1 (bin\\): listed as a folder, but data holds a file"},
        {"a path the updater refuses",
         [](const Package& p) {
             p.Temp().Write("pkg/data/bin/nul.txt", "");
             p.WriteRecords({Record("a.txt", 3), Record("bin\\", 0), Record("bin\\nul.txt", 0)});
         },
         "record 2 (bin\\nul.txt): path has a reserved device name"},
        {"two paths the ledger takes for one",
         [](const Package& p) {
             p.Temp().Write("pkg/data/bin/ア", "");
             p.Temp().Write("pkg/data/bin/ヂ", "");
             p.WriteRecords(
                 {Record("a.txt", 3), Record("bin\\", 0), Record("bin\\\x83\x41", 0), Record("bin\\\x83\x61", 0)});
         },
         "record 2 (bin\\ア) and record 3 (bin\\ヂ): the uninstall ledger takes the two paths for one"},
        {"two paths Windows takes for one",
         [](const Package& p) {
             p.WriteRecords({Record("a.txt", 3), Record("bin\\", 0), Record("bin\\b.dll", 2), Record("BIN\\B.DLL", 2)});
         },
         "record 2 (bin\\b.dll) and record 3 (BIN\\B.DLL): Windows takes the two names for one"},
        {"a file before its folder",
         [](const Package& p) {
             p.WriteRecords({Record("a.txt", 3), Record("bin\\b.dll", 2), Record("bin\\", 0)});
         },
         "record 1 (bin\\b.dll): its folder bin\\ is not listed before it"},
        {"an empty product name",
         [](const Package& p) {
             UpdateInfoHeader header = p.Header();
             header.ProductName[0] = '\0';
             p.WriteRecords(GoodRecords, header);
         },
         "header: the product name is empty"},
        {"no records",
         [](const Package& p) {
             p.WriteRecords({});
             fs::remove_all(p.Dir() / "data");
             fs::create_directory(p.Dir() / "data");
         },
         "it lists no file or folder"},
        {"no data folder", [](const Package& p) { fs::remove_all(p.Dir() / "data"); }, "data: not a folder"},
        {"a data file shorter than its records",
         [](const Package& p) { fs::resize_file(p.Dir() / "Updateinf.dat", sizeof(UpdateInfoHeader) + 10); },
         "EntryCount 3 needs 1200 bytes, but the file is 406"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Package package;
        package.Temp().Write("pkg/Update.exe", "MZ");
        c.spoil(package);
        const RunResult result = package.Verify();
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.out, "");
        const std::string line = "updpack: " + package.Dir().u8string() + ": " + c.message;
        const std::vector<std::string> problems = ProblemLines(result.err);
        ASSERT_EQ(problems.size(), 1u) << result.err;
        EXPECT_EQ(problems[0].compare(0, line.size(), line), 0) << result.err;
    }
}

TEST(PackageVerify, WhatNoRecordListsIsAWarningOnly)
{
    const Package package;
    package.Temp().Write("pkg/Update.exe", "MZ");
    package.Temp().Write("pkg/data/bin/extra.dll", "x");
    package.Temp().Folder("pkg/data/empty");
    const RunResult result = package.Verify();
    EXPECT_EQ(result.code, 0);
    const std::string prefix = "updpack: " + package.Dir().u8string() + ": warning: ";
    EXPECT_EQ(result.err, prefix + "data/bin/extra.dll is not listed\n" + prefix + "data/empty is not listed\n");
}

// Windows finds a name in any letter case, so verify does on every system.
TEST(PackageVerify, FindsListedNamesAsWindowsDoes)
{
    const Package package;
    package.Temp().Write("pkg/Update.exe", "MZ");
    package.WriteRecords({Record("A.TXT", 3), Record("Bin\\", 0), Record("BIN\\b.DLL", 2)});
    const RunResult result = package.Verify();
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "");
}

TEST(PackageVerify, WantsOnePackageFolder)
{
    const Package package;
    EXPECT_EQ(RunUpdpack({"verify"}).code, 2);
    EXPECT_EQ(RunUpdpack({"verify", package.Dir().u8string(), package.Dir().u8string()}).code, 2);
    const RunResult missing = RunUpdpack({"verify", (package.Temp().Path() / "nothing").u8string()});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("nothing: not a folder"), std::string::npos) << missing.err;
}
