#include "ToolTestSupport.h"

namespace {

LedgerHeader Ledger(std::uint32_t entries, std::uint32_t files, std::uint32_t total)
{
    LedgerHeader header;
    std::memset(&header, 0, sizeof header);
    header.EntryCount = entries;
    header.FileCount = files;
    header.TotalSize = total;
    return header;
}

UpdateInfoHeader Update(std::uint32_t entries, const std::string& product = "Sample")
{
    UpdateInfoHeader header;
    std::memset(&header, 0, sizeof header);
    std::memcpy(header.ProductName, product.data(), std::min(product.size(), sizeof header.ProductName));
    std::memcpy(header.RegistryKey, "Software\\Example", 16);
    std::memcpy(header.RegistryValueName, "InstallDir", 10);
    header.EntryCount = entries;
    return header;
}

// Two file sizes whose sum wraps in 32 bits: the ledger's total is 16.
const std::vector<FileEntry> LedgerRecords = {
    Record("app\\", 0),
    Record("app\\a.exe", 0xFFFFFFF0u, 7),
    Record("app\\\x95\x5C\x8E\xA6.txt", 0x20),
};

} // namespace

TEST(DataFileShow, PrintsALedgerAndChecksItsCountersAgainstTheRecords)
{
    const char* records = "\n"
                          "      Size       Extra  Path\n"
                          "         0           0  app\\\n"
                          "4294967280           7  app\\a.exe\n"
                          "        32           0  app\\表示.txt\n";
    const struct {
        const char* what;
        LedgerHeader header;
        std::string counters;
    } cases[] = {
        {"counters agree", Ledger(3, 2, 16),
         "File count          2\n"
         "Total size          16\n"},
        {"counters disagree", Ledger(3, 3, 100),
         "File count          3 MISMATCH: the records hold 2 files\n"
         "Total size          100 MISMATCH: the file records add up to 16 (32-bit sum)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path file = temp.Write("Uninstallinf.dat", FileBytes(c.header, LedgerRecords));
        const RunResult result = RunUpdpack({"show", file.u8string()});
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out,
                  std::string("Uninstallinf.dat: uninstall ledger, 6256 bytes\n"
                              "Entries             3 (1 folder, 2 files, 4294967312 bytes)\n")
                      + c.counters + records);
    }
}

TEST(DataFileShow, PrintsUpdateInformationAndWhatIsMissingFromIt)
{
    TempFolder temp;
    // Told by option, not by name; one of two records is missing.
    const fs::path file =
        temp.Write("package.bin", FileBytes(Update(2, "\x83\x54\x83\x93\x83\x76\x83\x8B"), {Record("bin\\", 0)}));
    const RunResult result = RunUpdpack({"show", "--update", file.u8string()});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out,
              "package.bin: update information, 664 bytes\n"
              "Product name        サンプル\n"
              "Registry key        Software\\Example\n"
              "Registry value      InstallDir\n"
              "Entries             2 (1 folder, 0 files, 0 bytes)\n"
              "The file holds only 1 of its 2 records.\n"
              "\n"
              "      Size       Extra  Path\n"
              "         0           0  bin\\\n");

    const RunResult checked = RunUpdpack({"show", "--update", "--check", file.u8string()});
    EXPECT_EQ(checked.code, 1);
    EXPECT_EQ(checked.out, result.out);
    EXPECT_NE(checked.err.find("EntryCount 2 needs 932 bytes, but the file is 664"), std::string::npos) << checked.err;
}

TEST(DataFileCheck, ExitsNonZeroOnAFileTheUpdaterWouldRefuse)
{
    const std::vector<FileEntry> good = {Record("bin\\", 0), Record("bin\\a.dll", 5)};
    UpdateInfoHeader unterminated = Update(0);
    std::memset(unterminated.ProductName, 'x', sizeof unterminated.ProductName);

    const struct {
        const char* what;
        const char* name;
        std::string bytes;
        int code;
        const char* message; // expected on stderr; nothing at all when null
    } cases[] = {
        {"good update information", "Updateinf.dat", FileBytes(Update(2), good), 0, nullptr},
        {"bytes after the last record are not read", "Updateinf.dat", FileBytes(Update(2), good) + "junk", 0, nullptr},
        {"good ledger", "Uninstallinf.dat", FileBytes(Ledger(3, 2, 16), LedgerRecords), 0, nullptr},
        {"ledger counters are the updater's to fix", "Uninstallinf.dat", FileBytes(Ledger(3, 9, 9), LedgerRecords), 0,
         nullptr},
        {"shorter than the header", "Updateinf.dat", std::string(100, '\0'), 1,
         "the file is 100 bytes, shorter than its 396-byte header"},
        {"ledger shorter than the header", "uninstallINF.dat", std::string(5451, '\0'), 1,
         "shorter than its 5452-byte header"},
        {"count beyond the file", "Updateinf.dat", FileBytes(Update(3), good), 1,
         "EntryCount 3 needs 1200 bytes, but the file is 932"},
        {"ledger count beyond the file", "Uninstallinf.dat", FileBytes(Ledger(4, 2, 16), LedgerRecords), 1,
         "EntryCount 4 needs"},
        {"count over the limit", "Updateinf.dat", FileBytes(Update(MaxRecordCount + 1), {}), 1,
         "EntryCount 16025998 is over the limit of 16025997"},
        {"unterminated product name", "Updateinf.dat", FileBytes(unterminated, {}), 1, "header: "},
        {"path climbing out", "Updateinf.dat", FileBytes(Update(1), {Record("..\\evil.dll", 1)}), 1,
         "record 0 (..\\evil.dll): "},
        {"absolute path", "Updateinf.dat", FileBytes(Update(2), {Record("a.txt", 1), Record("C:\\x.dll", 1)}), 1,
         "record 1 (C:\\x.dll): "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path file = temp.Write(c.name, c.bytes);
        const RunResult result = RunUpdpack({"check", file.u8string()});
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.out, "");
        if (c.message)
            EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        else
            EXPECT_EQ(result.err, "");
    }
}

TEST(DataFileCheck, ReportsAFileThatCannotBeRead)
{
    TempFolder temp;
    const RunResult result = RunUpdpack({"check", (temp.Path() / "Updateinf.dat").u8string()});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("Updateinf.dat: cannot be read"), std::string::npos) << result.err;
}
