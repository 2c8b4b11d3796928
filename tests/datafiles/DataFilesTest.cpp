#include "DataFiles.h"
#include "ScratchFolder.h"
#include "Validation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::size_t EntrySize = sizeof(FileEntry);

template <typename T>
void Append(Bytes& bytes, const T& value)
{
    const auto* first = reinterpret_cast<const unsigned char*>(&value);
    bytes.insert(bytes.end(), first, first + sizeof value);
}

FileEntry Entry(const std::string& path, std::uint32_t size = 0, std::uint32_t extra = 0)
{
    FileEntry entry{};
    std::memcpy(entry.Path, path.data(), path.size() < PathFieldSize ? path.size() : PathFieldSize);
    entry.Size = size;
    entry.Extra = extra;
    return entry;
}

struct UpdateImage {
    UpdateInfoHeader header{};
    std::vector<FileEntry> entries;

    static UpdateImage Good()
    {
        UpdateImage image;
        std::snprintf(image.header.ProductName, TextFieldSize, "%s", "\x83\x65\x83\x58\x83\x67\x90\xBB\x95\x69");
        std::snprintf(image.header.RegistryKey, TextFieldSize, "%s", "Software\\Maker\\Product");
        std::snprintf(image.header.RegistryValueName, TextFieldSize, "%s", "InstallDir");
        image.entries = {Entry("bin\\", 0, 1), Entry("bin\\a.dll", 1234, 2), Entry("\x95\x5C.txt", 5, 3)};
        image.header.EntryCount = static_cast<std::uint32_t>(image.entries.size());
        return image;
    }

    Bytes Serialize() const
    {
        Bytes bytes;
        Append(bytes, header);
        for (const FileEntry& entry : entries)
            Append(bytes, entry);
        return bytes;
    }
};

// A ledger whose every byte differs from its neighbours', so that a byte
// moved, dropped or zeroed on the way through shows.
Bytes PatternedLedger(std::uint32_t entryCount, std::size_t surplus = 0)
{
    Bytes bytes(RequiredFileSize(sizeof(LedgerHeader), entryCount) + surplus);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    LedgerHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    header.EntryCount = entryCount;
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
    void TearDown() override { ResetGlobals(); }

    static void ResetGlobals()
    {
        FreeEntryArrays();
        g_UpdateInfoHeader = UpdateInfoHeader{};
        g_LedgerHeader = LedgerHeader{};
    }

    bool LoadUpdate(const Bytes& bytes)
    {
        EXPECT_TRUE(WriteWholeFile(m_updatePath, bytes));
        CFile file;
        return LoadUpdateInfo(file, m_updatePath.c_str());
    }

    bool LoadLedgerBytes(const Bytes& bytes)
    {
        EXPECT_TRUE(WriteWholeFile(m_ledgerPath, bytes));
        CFile file;
        return LoadLedger(file, m_ledgerPath.c_str());
    }

    bool Save()
    {
        CFile file;
        return SaveLedger(file, m_ledgerPath.c_str());
    }

    ScratchFolder m_folder{"datafiles"};
    const std::string m_updatePath = m_folder.Path("Updateinf.dat");
    const std::string m_ledgerPath = m_folder.Path("Uninstallinf.dat");
};

bool SameBytes(const void* a, const void* b, std::size_t size)
{
    return std::memcmp(a, b, size) == 0;
}

TEST_F(DataFiles, LoadsTheUpdateInformationAsWritten)
{
    UpdateImage image = UpdateImage::Good();
    image.entries.push_back(Entry("\x95\x5C\\", 0, 4));             // 表\ is a folder
    image.entries.push_back(Entry("\x83\x7C\\\x83\x7C.txt", 7, 5)); // ポ's trail byte is 0x7C
    image.header.EntryCount = static_cast<std::uint32_t>(image.entries.size());
    Bytes bytes = image.Serialize();
    bytes.insert(bytes.end(), 100, 0xEE); // surplus bytes are not read

    ASSERT_TRUE(LoadUpdate(bytes));
    EXPECT_TRUE(SameBytes(&g_UpdateInfoHeader, &image.header, sizeof image.header));
    ASSERT_NE(UpdateEntries, nullptr);
    EXPECT_TRUE(SameBytes(UpdateEntries, image.entries.data(), image.entries.size() * EntrySize));
}

TEST_F(DataFiles, MissingFilesAreNotLoaded)
{
    CFile file;
    EXPECT_FALSE(LoadUpdateInfo(file, m_updatePath.c_str()));
    EXPECT_FALSE(LoadLedger(file, m_ledgerPath.c_str()));
    EXPECT_EQ(UpdateEntries, nullptr);
    EXPECT_EQ(LedgerEntries, nullptr);
}

struct UpdateFault {
    const char* name;
    std::function<void(UpdateImage&)> change;
    long cutTo; // file length after the change, or -1 to keep it
};

const UpdateFault UpdateFaults[] = {
    {"header cut short", [](UpdateImage&) {}, 300},
    {"header without its count", [](UpdateImage&) {}, 384},
    {"last record cut short",
     [](UpdateImage& u) {
         u.entries.push_back(Entry("x"));
         ++u.header.EntryCount;
     },
     396 + 4 * 268 - 1},
    {"count beyond the records", [](UpdateImage& u) { ++u.header.EntryCount; }, -1},
    {"count of 2^32 - 1", [](UpdateImage& u) { u.header.EntryCount = 0xFFFFFFFFu; }, -1},
    {"unterminated product name", [](UpdateImage& u) { std::memset(u.header.ProductName, 'x', TextFieldSize); }, -1},
    {"unterminated registry key", [](UpdateImage& u) { std::memset(u.header.RegistryKey, 'x', TextFieldSize); }, -1},
    {"unterminated value name", [](UpdateImage& u) { std::memset(u.header.RegistryValueName, 'x', TextFieldSize); },
     -1},
    {"unterminated path", [](UpdateImage& u) { std::memset(u.entries[1].Path, 'a', PathFieldSize); }, -1},
    {"empty path", [](UpdateImage& u) { u.entries[1] = Entry(""); }, -1},
    {"drive letter", [](UpdateImage& u) { u.entries[1] = Entry("C:\\Windows\\a.dll"); }, -1},
    {"leading separator", [](UpdateImage& u) { u.entries[1] = Entry("\\a.dll"); }, -1},
    {"stream name", [](UpdateImage& u) { u.entries[1] = Entry("a.dll:x"); }, -1},
    {"parent folder", [](UpdateImage& u) { u.entries[1] = Entry("bin\\..\\..\\a.dll"); }, -1},
    {"parent folder with a trailing space", [](UpdateImage& u) { u.entries[1] = Entry(".. \\a.dll"); }, -1},
    {"two separators", [](UpdateImage& u) { u.entries[1] = Entry("bin\\\\a.dll"); }, -1},
    {"forward slash", [](UpdateImage& u) { u.entries[1] = Entry("bin/a.dll"); }, -1},
    {"bar", [](UpdateImage& u) { u.entries[1] = Entry("a|b.dll"); }, -1},
    {"control byte", [](UpdateImage& u) { u.entries[1] = Entry("a\x1b.dll"); }, -1},
    {"name ending in a dot", [](UpdateImage& u) { u.entries[1] = Entry("c."); }, -1},
    {"folder ending in a space", [](UpdateImage& u) { u.entries[1] = Entry("sub\\d \\a.dll"); }, -1},
    {"lead byte at the end", [](UpdateImage& u) { u.entries[1] = Entry("a\x95"); }, -1},
    {"lead byte before a non-trail byte", [](UpdateImage& u) { u.entries[1] = Entry("\x81\x20.dll"); }, -1},
    {"lone 0xA0", [](UpdateImage& u) { u.entries[1] = Entry("a\xA0.dll"); }, -1},
    {"device name", [](UpdateImage& u) { u.entries[1] = Entry("bin\\Aux.dll"); }, -1},
};

TEST_F(DataFiles, RefusedUpdateInformationLoadsNothing)
{
    const UpdateImage good = UpdateImage::Good();
    for (const UpdateFault& fault : UpdateFaults) {
        SCOPED_TRACE(fault.name);
        UpdateImage image = good;
        fault.change(image);
        Bytes bytes = image.Serialize();
        if (fault.cutTo >= 0)
            bytes.resize(static_cast<std::size_t>(fault.cutTo));

        ResetGlobals();
        EXPECT_FALSE(LoadUpdate(bytes));
        const UpdateInfoHeader zero{};
        EXPECT_TRUE(SameBytes(&g_UpdateInfoHeader, &zero, sizeof zero));
        EXPECT_EQ(UpdateEntries, nullptr);

        // Over an earlier load, a refused file changes nothing either.
        ASSERT_TRUE(LoadUpdate(good.Serialize()));
        const FileEntry* before = UpdateEntries;
        EXPECT_FALSE(LoadUpdate(bytes));
        EXPECT_TRUE(SameBytes(&g_UpdateInfoHeader, &good.header, sizeof good.header));
        EXPECT_EQ(UpdateEntries, before);
        EXPECT_TRUE(SameBytes(UpdateEntries, good.entries.data(), good.entries.size() * EntrySize));
    }
}

// The file is as long as its count asks, so only the count itself can refuse it.
TEST_F(DataFiles, CountsBeyondTheDataModelAreRefusedBeforeAnyArrayIsFilled)
{
    UpdateImage image = UpdateImage::Good();
    image.entries.clear();
    image.header.EntryCount = MaxRecordCount + 1;
    if (!WriteSparseFile(m_updatePath, image.Serialize(),
                         RequiredFileSize(sizeof(UpdateInfoHeader), MaxRecordCount + 1)))
        GTEST_SKIP() << "cannot create a sparse file of 4 GiB here";
    CFile file;
    EXPECT_FALSE(LoadUpdateInfo(file, m_updatePath.c_str()));
    EXPECT_EQ(UpdateEntries, nullptr);

    struct Case {
        const char* name;
        std::uint32_t ledgerCount;
    } const cases[] = {
        {"ledger count alone too large", MaxRecordCount + 1},
        {"sum one too large", MaxRecordCount - 2},
        {"sum wraps to 1 in 32 bits", 0xFFFFFFFEu},
    };
    ASSERT_TRUE(LoadUpdate(UpdateImage::Good().Serialize())); // three records
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes header = PatternedLedger(0);
        LedgerHeader* ledger = reinterpret_cast<LedgerHeader*>(header.data());
        ledger->EntryCount = c.ledgerCount;
        if (!WriteSparseFile(m_ledgerPath, header, RequiredFileSize(sizeof(LedgerHeader), c.ledgerCount))) {
            std::printf("%s: cannot create a sparse ledger of that length; checking the short file\n", c.name);
            ASSERT_TRUE(WriteWholeFile(m_ledgerPath, header));
        }
        EXPECT_FALSE(LoadLedger(file, m_ledgerPath.c_str()));
        const LedgerHeader zero{};
        EXPECT_TRUE(SameBytes(&g_LedgerHeader, &zero, sizeof zero));
        EXPECT_EQ(LedgerEntries, nullptr);
    }
}

TEST_F(DataFiles, ShortLedgerIsRefusedAndChangesNothing)
{
    ASSERT_TRUE(LoadUpdate(UpdateImage::Good().Serialize()));
    const Bytes good = PatternedLedger(2);
    ASSERT_TRUE(LoadLedgerBytes(good));
    const FileEntry* before = LedgerEntries;

    struct Case {
        const char* name;
        std::size_t length;
    } const cases[] = {
        {"empty file", 0},
        {"header cut short", sizeof(LedgerHeader) - 1},
        {"last record cut short", good.size() - 1},
        {"one record of two", sizeof(LedgerHeader) + EntrySize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(LoadLedgerBytes(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(c.length))));
        EXPECT_TRUE(SameBytes(&g_LedgerHeader, good.data(), sizeof(LedgerHeader)));
        EXPECT_EQ(LedgerEntries, before);
        EXPECT_TRUE(SameBytes(LedgerEntries, good.data() + sizeof(LedgerHeader), 2 * EntrySize));
    }
}

// The ledger belongs to the installation: records an update would be refused
// for are carried through as they are.
TEST_F(DataFiles, LedgerRecordsAreNotJudgedByTheirContent)
{
    Bytes bytes = PatternedLedger(0);
    for (const FileEntry& entry : {Entry(""), Entry("C:\\x"), Entry("..\\x"), Entry(std::string(PathFieldSize, 'a'))})
        Append(bytes, entry);
    reinterpret_cast<LedgerHeader*>(bytes.data())->EntryCount = 4;
    ASSERT_TRUE(LoadLedgerBytes(bytes));
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadWholeFile(m_ledgerPath), bytes);
}

TEST_F(DataFiles, LedgerComesBackByteForByteWithoutItsSurplus)
{
    UpdateImage update = UpdateImage::Good();
    ASSERT_TRUE(LoadUpdate(update.Serialize()));
    const std::uint32_t count = 5;
    const Bytes original = PatternedLedger(count, 1000);
    ASSERT_TRUE(LoadLedgerBytes(original));
    ASSERT_NE(LedgerEntries, nullptr);
    EXPECT_TRUE(SameBytes(&g_LedgerHeader, original.data(), sizeof(LedgerHeader)));

    ASSERT_TRUE(Save());
    const Bytes unchanged(original.begin(), original.end() - 1000);
    EXPECT_EQ(ReadWholeFile(m_ledgerPath), unchanged);

    // As the copy pass would: one record changed, three appended, counters moved.
    LedgerEntries[2].Size = 0xABCDEF01u;
    for (std::uint32_t i = 0; i < 3; ++i)
        LedgerEntries[count + i] = update.entries[i];
    g_LedgerHeader.EntryCount = count + 3;
    g_LedgerHeader.FileCount += 2;
    g_LedgerHeader.TotalSize += 1239;
    ASSERT_TRUE(Save());

    Bytes expected = unchanged;
    std::memcpy(expected.data(), &g_LedgerHeader, sizeof(LedgerHeader));
    std::memcpy(expected.data() + sizeof(LedgerHeader) + 2 * EntrySize + 260, &LedgerEntries[2].Size, 4);
    for (std::uint32_t i = 0; i < 3; ++i)
        Append(expected, update.entries[i]);
    const Bytes saved = ReadWholeFile(m_ledgerPath);
    EXPECT_EQ(saved.size(), sizeof(LedgerHeader) + (count + 3) * EntrySize);
    EXPECT_EQ(saved, expected);
    // Only the three counters of the header moved.
    EXPECT_TRUE(SameBytes(saved.data(), original.data(), 128));
    EXPECT_TRUE(SameBytes(saved.data() + 140, original.data() + 140, sizeof(LedgerHeader) - 140));
    EXPECT_FALSE(FileExists(m_folder.Path("~Update-0000.tmp")));
}

TEST_F(DataFiles, EmptyUpdateAndEmptyLedger)
{
    UpdateImage update = UpdateImage::Good();
    update.entries.clear();
    update.header.EntryCount = 0;
    ASSERT_TRUE(LoadUpdate(update.Serialize()));
    EXPECT_EQ(g_UpdateInfoHeader.EntryCount, 0u);

    const Bytes ledger = PatternedLedger(0);
    ASSERT_TRUE(LoadLedgerBytes(ledger));
    EXPECT_EQ(g_LedgerHeader.EntryCount, 0u);
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadWholeFile(m_ledgerPath), ledger);

    // An empty ledger still has room for every update record.
    ResetGlobals();
    ASSERT_TRUE(LoadUpdate(UpdateImage::Good().Serialize()));
    ASSERT_TRUE(LoadLedgerBytes(ledger));
    ASSERT_NE(LedgerEntries, nullptr);
    LedgerEntries[2] = UpdateImage::Good().entries[2];
    g_LedgerHeader.EntryCount = 3;
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadWholeFile(m_ledgerPath).size(), sizeof(LedgerHeader) + 3 * EntrySize);
}

TEST_F(DataFiles, SaveThatCannotCompleteKeepsTheOldLedger)
{
    ASSERT_TRUE(LoadUpdate(UpdateImage::Good().Serialize()));
    const Bytes old = PatternedLedger(3);
    ASSERT_TRUE(LoadLedgerBytes(old));
    g_LedgerHeader.EntryCount = 4;
    g_LedgerHeader.FileCount = 99;

    {
        SCOPED_TRACE("ledger held open without sharing");
        ScopedHandle holder(
            CreateFileA(m_ledgerPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.IsValid());
        SetLastError(0xBADC0DEu);
        EXPECT_FALSE(Save());
        // Held for the whole save: Windows reports a sharing violation, Wine denied access.
        const DWORD error = GetLastError();
        EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    }
    EXPECT_EQ(ReadWholeFile(m_ledgerPath), old);
    EXPECT_FALSE(FileExists(m_folder.Path("~Update-0000.tmp")));

    {
        SCOPED_TRACE("every temporary name taken");
        std::vector<std::string> taken;
        for (unsigned i = 0; i < 16; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "~Update-%04u.tmp", i);
            taken.push_back(m_folder.Path(name));
            ASSERT_TRUE(WriteWholeFile(taken.back(), Bytes{static_cast<unsigned char>(i)}));
        }
        SetLastError(0xBADC0DEu);
        EXPECT_FALSE(Save());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
        EXPECT_EQ(ReadWholeFile(m_ledgerPath), old);
        for (unsigned i = 0; i < 16; ++i)
            EXPECT_EQ(ReadWholeFile(taken[i]), Bytes{static_cast<unsigned char>(i)});
    }
}

// The temporary is no longer than the ledger's name, so a ledger path of the
// full 259 bytes is saved like any other.
TEST_F(DataFiles, LedgerPathOfTheFullLengthIsSaved)
{
    ASSERT_TRUE(LoadUpdate(UpdateImage::Good().Serialize()));
    const Bytes old = PatternedLedger(3);
    ASSERT_TRUE(LoadLedgerBytes(old));
    g_LedgerHeader.FileCount = 99;
    const std::string name = "\\Uninstallinf.dat";
    const std::string folder = m_folder.Path(std::string(259 - name.size() - m_folder.Path().size() - 1, 'd'));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string ledger = folder + name;
    ASSERT_EQ(ledger.size(), 259u);
    ASSERT_TRUE(WriteWholeFile(ledger, old));
    CFile file;
    ASSERT_TRUE(SaveLedger(file, ledger.c_str()));
    const Bytes saved = ReadWholeFile(ledger);
    ASSERT_EQ(saved.size(), old.size());
    LedgerHeader header;
    std::memcpy(&header, saved.data(), sizeof header);
    EXPECT_EQ(header.FileCount, 99u);
}

// A ledger that is a link leading out of the installation is never read (an
// elevated run would copy an outside file into it) and, when saved, the link
// itself is replaced: the outside file keeps its bytes.
TEST_F(DataFiles, LedgerLinkLeadingOutIsRefusedAndReplacedAsALink)
{
    const char* planted = std::getenv("UPDATER_LEDGER_LINKS_DIR");
    if (planted == nullptr)
        GTEST_SKIP() << "UPDATER_LEDGER_LINKS_DIR is not set";
    std::string root = std::string("Z:") + planted;
    for (char& c : root)
        if (c == '/')
            c = '\\';
    const std::string outside = root + "\\outside\\ledger.dat";
    const std::string ledger = root + "\\inst\\Uninstallinf.dat";
    CRealLocation install;
    ASSERT_TRUE(FindRealFolder(install, (root + "\\inst").c_str()));

    ASSERT_TRUE(LoadUpdate(UpdateImage::Good().Serialize()));
    const Bytes secret = PatternedLedger(2);
    ASSERT_TRUE(WriteWholeFile(outside, secret));
    CFile file;
    SetLastError(0xBADC0DEu);
    EXPECT_FALSE(LoadLedger(file, ledger.c_str(), &install));
    EXPECT_EQ(GetLastError(), ErrorLiesOutside);
    EXPECT_EQ(g_LedgerHeader.EntryCount, 0u);

    ASSERT_TRUE(LoadLedgerBytes(PatternedLedger(1)));
    ASSERT_TRUE(SaveLedger(file, ledger.c_str(), &install));
    EXPECT_EQ(ReadWholeFile(outside), secret);
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadWholeFile(ledger), ReadWholeFile(m_ledgerPath));
    const HANDLE handle = CreateFileA(ledger.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_TRUE(LiesWithin(handle, install));
    CloseHandle(handle);
}

} // namespace
