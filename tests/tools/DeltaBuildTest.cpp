#include "ToolTestSupport.h"

namespace {

std::vector<std::string> DeltaArgs(const TempFolder& temp)
{
    return {"build",
            "--product",
            "Sample",
            "--key",
            "Software\\Example\\Sample",
            "--value",
            "InstallDir",
            "--base",
            (temp.Path() / "old").u8string(),
            "--from",
            (temp.Path() / "new").u8string(),
            "--out",
            (temp.Path() / "out").u8string()};
}

std::vector<std::string> RecordPaths(const fs::path& updateInfo)
{
    const std::string bytes = ReadBytes(updateInfo);
    std::vector<std::string> paths;
    for (std::size_t at = sizeof(UpdateInfoHeader); at + sizeof(FileEntry) <= bytes.size(); at += sizeof(FileEntry))
        paths.push_back(std::string(bytes.c_str() + at));
    return paths;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace

TEST(DeltaBuild, PackagesWhatTheBaseLacksOrHoldsOtherwiseWithItsFolders)
{
    TempFolder temp;
    const struct {
        const char* path;
        const char* oldBytes; // null: not in the base
        const char* newBytes; // null: not in the new tree
    } files[] = {
        {"same.txt", "same", "same"},    {"changed.txt", "abcd", "abce"}, // same size, other bytes
        {"grown.txt", "ab", "abc"},      {"bin/lib.dll", "lib", "lib"},
        {"bin/new.dll", nullptr, "new"}, {"docs/a.txt", "a", "a"},
        {"deep/er/f.txt", nullptr, "f"}, {"READ.ME", "r", nullptr}, // the base's letter case ...
        {"read.me", nullptr, "r"},                                  // ... is the same file to Windows
        {"Ａ.txt", "w", nullptr},        {"ａ.txt", nullptr, "w"},
        {"ア.txt", "k", nullptr}, // one ledger record, but two files to Windows
        {"ヂ.txt", nullptr, "k"},        {"gone.txt", "g", nullptr},
        {"old/x.txt", "x", nullptr},     {"Uninstallinf.dat", "the installation's ledger", nullptr},
    };
    for (const auto& file : files) {
        if (file.oldBytes)
            temp.Write(std::string("old/") + file.path, file.oldBytes);
        if (file.newBytes)
            temp.Write(std::string("new/") + file.path, file.newBytes);
    }
    temp.Folder("new/newdir");

    const RunResult result = RunUpdpack(DeltaArgs(temp));
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out,
              "base     " + (temp.Path() / "old").u8string()
                  + "\n"
                    "kept     5 files, 12 bytes, and 4 folders\n"
                    "skipped  5 files, 10 bytes, the same in the base\n");
    const std::vector<std::string> expected = {
        "bin\\",           "bin\\new.dll", "changed.txt", "deep\\",       "deep\\er\\",
        "deep\\er\\f.txt", "grown.txt",    "newdir\\",    "\x83\x61.txt", // ヂ.txt
    };
    EXPECT_EQ(RecordPaths(temp.Path() / "out" / "Updateinf.dat"), expected);
    EXPECT_EQ(ReadBytes(temp.Path() / "out" / "data" / "bin" / "new.dll"), "new");
    EXPECT_FALSE(fs::exists(temp.Path() / "out" / "data" / "same.txt"));
    EXPECT_FALSE(fs::exists(temp.Path() / "out" / "data" / "docs"));

    const std::vector<std::string> warnings = Lines(result.err);
    EXPECT_EQ(warnings.size(), 3u) << result.err;
    for (const char* file : {"gone.txt", "old/x.txt", "ア.txt"})
        EXPECT_NE(std::find(warnings.begin(), warnings.end(),
                            std::string("updpack: warning: ") + file + " is in the base but not in "
                                + (temp.Path() / "new").u8string() + "; an update cannot remove it"),
                  warnings.end())
            << file << " in:\n"
            << result.err;

    // What build wrote, verify accepts.
    const RunResult verified = RunUpdpack({"verify", (temp.Path() / "out").u8string()});
    EXPECT_EQ(verified.code, 0) << verified.err;
}

TEST(DeltaBuild, AFileWhereTheBaseHasAFolderIsKept)
{
    TempFolder temp;
    temp.Write("old/item/a.txt", "a");
    temp.Write("new/item", "a");
    const RunResult result = RunUpdpack(DeltaArgs(temp));
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(RecordPaths(temp.Path() / "out" / "Updateinf.dat"), std::vector<std::string>{"item"});
    EXPECT_NE(result.err.find("warning: item/a.txt is in the base"), std::string::npos) << result.err;
}

TEST(DeltaBuild, RefusesWhenNothingDiffersOrTheBaseIsNoFolder)
{
    TempFolder temp;
    temp.Write("old/a.txt", "a");
    temp.Write("new/a.txt", "a");
    temp.Folder("new/bin");
    temp.Folder("old/bin");
    const RunResult same = RunUpdpack(DeltaArgs(temp));
    EXPECT_EQ(same.code, 1);
    EXPECT_NE(same.err.find("no file differs from the base"), std::string::npos) << same.err;
    EXPECT_FALSE(fs::exists(temp.Path() / "out"));

    fs::remove_all(temp.Path() / "old");
    const RunResult missing = RunUpdpack(DeltaArgs(temp));
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("old: not a folder"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(temp.Path() / "out"));
}
