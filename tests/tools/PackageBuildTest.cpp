#include "ToolTestSupport.h"

#include <functional>

#ifdef _WIN32
#include "ScopedOwners.h"

#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

std::vector<std::string> BuildArgs(const TempFolder& temp, const std::string& product = "サンプル",
                                   const std::string& key = "Software\\Example\\Sample",
                                   const std::string& value = "InstallDir")
{
    return {"build",
            "--product",
            product,
            "--key",
            key,
            "--value",
            value,
            "--from",
            (temp.Path() / "src").u8string(),
            "--out",
            (temp.Path() / "out").u8string()};
}

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

std::string Field(const char* field, std::size_t size)
{
    return std::string(field, size);
}

std::string Padded(const std::string& text, std::size_t size)
{
    std::string field = text;
    field.resize(size, '\0');
    return field;
}

// Which folder a path names: a folder removed and made again is another one.
std::string FolderIdentity(const fs::path& folder)
{
#ifdef _WIN32
    const ScopedHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsValid())
        return "none";
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = GetFileInformationByHandle(handle.Get(), &info);
    return known ? std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":"
            + std::to_string(info.nFileIndexLow)
                 : "unknown";
#else
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0)
        return "none";
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
#endif
}

} // namespace

TEST(PackageBuild, WritesHeaderRecordsInTreeOrderAndAByteIdenticalCopy)
{
    TempFolder temp;
    const std::string dll = AllBytes();
    temp.Write("src/README.txt", "readme");
    temp.Write("src/bin/a.dll", dll);
    temp.Folder("src/bin/sub");
    temp.Write("src/bin.txt", "after the folder bin and all it holds");
    temp.Write("src/表示.txt", "x");

    const RunResult result = RunUpdpack(BuildArgs(temp));
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");

    const std::string bytes = ReadBytes(temp.Path() / "out" / "Updateinf.dat");
    const struct {
        std::string path;
        std::uint32_t size;
    } expected[] = {
        {"README.txt", 6}, {"bin\\", 0},    {"bin\\a.dll", 256},
        {"bin\\sub\\", 0}, {"bin.txt", 37}, {"\x95\x5C\x8E\xA6.txt", 1},
    };
    const std::size_t count = std::size(expected);
    ASSERT_EQ(bytes.size(), sizeof(UpdateInfoHeader) + count * sizeof(FileEntry));

    UpdateInfoHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(Field(header.ProductName, TextFieldSize), Padded("\x83\x54\x83\x93\x83\x76\x83\x8B", TextFieldSize));
    EXPECT_EQ(Field(header.RegistryKey, TextFieldSize), Padded("Software\\Example\\Sample", TextFieldSize));
    EXPECT_EQ(Field(header.RegistryValueName, TextFieldSize), Padded("InstallDir", TextFieldSize));
    EXPECT_EQ(header.EntryCount, count);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(header.Reserved), 8), std::string(8, '\0'));

    for (std::size_t i = 0; i < count; ++i) {
        FileEntry record;
        std::memcpy(&record, bytes.data() + sizeof header + i * sizeof record, sizeof record);
        EXPECT_EQ(Field(record.Path, PathFieldSize), Padded(expected[i].path, PathFieldSize)) << "record " << i;
        EXPECT_EQ(record.Size, expected[i].size) << "record " << i;
        EXPECT_EQ(record.Extra, 0u) << "record " << i;
    }

    const fs::path data = temp.Path() / "out" / "data";
    EXPECT_EQ(ReadBytes(data / "README.txt"), "readme");
    EXPECT_EQ(ReadBytes(data / "bin" / "a.dll"), dll);
    EXPECT_TRUE(fs::is_directory(data / "bin" / "sub"));
    EXPECT_TRUE(fs::is_empty(data / "bin" / "sub"));
    EXPECT_EQ(ReadBytes(data / fs::u8path("表示.txt")), "x");
    EXPECT_EQ(temp.Names().size(), 2u) << "nothing but src and out";
}

TEST(PackageBuild, FillsAnEmptyOutputFolderAndLeavesAFullOneAlone)
{
    TempFolder temp;
    temp.Write("src/a.txt", "a");
    // The user's folder is filled, never removed and made again.
    const std::string identity = FolderIdentity(temp.Folder("out"));
    ASSERT_EQ(RunUpdpack(BuildArgs(temp)).code, 0);
    EXPECT_EQ(FolderIdentity(temp.Path() / "out"), identity);
    EXPECT_TRUE(fs::exists(temp.Path() / "out" / "Updateinf.dat"));
    EXPECT_EQ(ReadBytes(temp.Path() / "out" / "data" / "a.txt"), "a");
    EXPECT_EQ(temp.Names().size(), 2u) << "nothing but src and out";

    const std::string before = ReadBytes(temp.Path() / "out" / "Updateinf.dat");
    temp.Write("src/b.txt", "b");
    const RunResult again = RunUpdpack(BuildArgs(temp));
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(ReadBytes(temp.Path() / "out" / "Updateinf.dat"), before);
    EXPECT_FALSE(fs::exists(temp.Path() / "out" / "data" / "b.txt"));
}

TEST(PackageBuild, RefusesWhatTheUpdaterCouldNotTakeAndWritesNothing)
{
    std::string folder80, file50;
    for (int i = 0; i < 80; ++i)
        folder80 += "表"; // 2 bytes each in code page 932
    for (int i = 0; i < 50; ++i)
        file50 += "示";
    std::string kanji64;
    for (int i = 0; i < 64; ++i)
        kanji64 += "名"; // 128 bytes in code page 932, though only 64 characters

    const struct {
        const char* what;
        std::function<void(const TempFolder&)> tree;
        std::vector<std::string> args; // replaces product, key and value when given
        const char* message;
    } cases[] = {
        {"name outside code page 932",
         [](const TempFolder& t) { t.Write("src/café.txt", "x"); },
         {},
         "café.txt: the name cannot be written in code page 932"},
        {"path over 259 bytes",
         [&](const TempFolder& t) { t.Write("src/" + folder80 + "/" + file50 + ".txt", "x"); },
         {},
         "265 bytes in code page 932, over the limit of 259"},
        {"file of 4 GiB",
         [](const TempFolder& t) { fs::resize_file(t.Write("src/big.bin", ""), 0x100000000ull); },
         {},
         "big.bin: 4294967296 bytes; a file in a package must be smaller than 4 GiB"},
        {"file name ending in the byte 0x5C",
         [](const TempFolder& t) { t.Write("src/表", "x"); },
         {},
         "ends in the byte 0x5C"},
        {"empty tree", [](const TempFolder& t) { t.Folder("src"); }, {}, "is empty"},
        {"product name of 128 bytes",
         [](const TempFolder& t) { t.Write("src/a.txt", "x"); },
         {kanji64, "Software\\Example", "InstallDir"},
         "the product name"},
        {"registry key of 128 bytes",
         [](const TempFolder& t) { t.Write("src/a.txt", "x"); },
         {"Sample", std::string(128, 'k'), "InstallDir"},
         "the registry key"},
        {"value name of 128 bytes",
         [](const TempFolder& t) { t.Write("src/a.txt", "x"); },
         {"Sample", "Software\\Example", std::string(128, 'v')},
         "the registry value name"},
        {"product name outside code page 932",
         [](const TempFolder& t) { t.Write("src/a.txt", "x"); },
         {"Café", "Software\\Example", "InstallDir"},
         "cannot be written in code page 932"},
        {"missing tree", [](const TempFolder&) {}, {}, "src: not a folder"},
        {"the installation's ledger",
         [](const TempFolder& t) {
             t.Write("src/a.txt", "x");
             t.Write("src/UNINSTALLINF.DAT", "y");
         },
         {},
         "UNINSTALLINF.DAT: the installation's uninstall ledger"},
#ifndef _WIN32
        // Names that Windows itself cannot hold, but a Linux tree can.
        {"name of dots only",
         [](const TempFolder& t) { t.Write("src/.../a.txt", "x"); },
         {},
         "the updater would refuse its path"},
        {"names differing in case only",
         [](const TempFolder& t) {
             t.Write("src/Readme.txt", "x");
             t.Write("src/README.txt", "y");
         },
         {},
         "Windows takes the two names for one"},
        {"full-width letters differing in case only",
         [](const TempFolder& t) {
             t.Write("src/bin/Ａ.txt", "x");
             t.Write("src/bin/ａ.txt", "y");
         },
         {},
         "Windows takes the two names for one"},
        {"a file and a folder differing in case only",
         [](const TempFolder& t) {
             t.Write("src/Ж", "x");
             t.Write("src/ж/a.txt", "y");
         },
         {},
         "Windows takes the two names for one"},
        {"name ending in a dot", [](const TempFolder& t) { t.Write("src/sub/c.", "x"); }, {}, "ending in a dot"},
        {"folder ending in a space", [](const TempFolder& t) { t.Write("src/d /a.txt", "x"); }, {}, "ending in a dot"},
        {"device name", [](const TempFolder& t) { t.Write("src/bin/Aux.txt", "x"); }, {}, "reserved device name"},
        {"device name alone", [](const TempFolder& t) { t.Write("src/com1", "x"); }, {}, "reserved device name"},
#endif
        // ア (0x83 0x41) and ヂ (0x83 0x61) are two files, but one ledger record.
        {"names the ledger folds together",
         [](const TempFolder& t) {
             t.Write("src/bin/ア.txt", "x");
             t.Write("src/bin/ヂ.txt", "y");
         },
         {},
         "the uninstall ledger takes the two paths for one"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        c.tree(temp);
        const RunResult result =
            c.args.empty() ? RunUpdpack(BuildArgs(temp)) : RunUpdpack(BuildArgs(temp, c.args[0], c.args[1], c.args[2]));
        EXPECT_EQ(result.code, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
        EXPECT_FALSE(fs::exists(temp.Path() / "out"));
        for (const std::string& name : temp.Names())
            EXPECT_EQ(name, "src") << "left behind";
    }
}

TEST(PackageBuild, AClashNamesBothPaths)
{
    TempFolder temp;
    temp.Write("src/bin/ア.txt", "x");
    temp.Write("src/bin/ヂ.txt", "y");
    const RunResult result = RunUpdpack(BuildArgs(temp));
    EXPECT_EQ(result.code, 1);
    for (const char* name : {"ア.txt", "ヂ.txt"})
        EXPECT_NE(result.err.find((temp.Path() / "src" / "bin" / fs::u8path(name)).u8string()), std::string::npos)
            << result.err;
}

TEST(PackageBuild, PlacesTheGivenUpdaterInThePackage)
{
    TempFolder temp;
    temp.Write("src/a.txt", "a");
    const fs::path updater = temp.Write("Update.exe", "MZ stands in for the program");
    std::vector<std::string> args = BuildArgs(temp);
    args.insert(args.end(), {"--updater", updater.u8string()});
    const RunResult result = RunUpdpack(args);
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(ReadBytes(temp.Path() / "out" / "Update.exe"), "MZ stands in for the program");

    args.back() = (temp.Path() / "no such file").u8string();
    fs::remove_all(temp.Path() / "out");
    const RunResult missing = RunUpdpack(args);
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("no such file: not a file"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(temp.Path() / "out"));
}

TEST(PackageBuild, TakesFieldsOfExactly127Bytes)
{
    TempFolder temp;
    temp.Write("src/a.txt", "x");
    const RunResult result =
        RunUpdpack(BuildArgs(temp, std::string(127, 'p'), std::string(127, 'k'), std::string(127, 'v')));
    EXPECT_EQ(result.code, 0) << result.err;
}
