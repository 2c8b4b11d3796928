#include "LedgerIndex.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

FileEntry Entry(const char* path)
{
    FileEntry entry{};
    std::memcpy(entry.Path, path, std::strlen(path) + 1);
    return entry;
}

// Only A to Z fold; bytes are compared plainly, so a trail byte in A to Z folds too.
TEST(LedgerPathsMatch, FoldsOnlyAsciiCapitals)
{
    struct Case {
        const char* ledger;
        const char* update;
        bool match;
    } const cases[] = {
        {"bin\\a.dll", "bin\\a.dll", true},
        {"BIN\\A.DLL", "bin\\a.dll", true},
        {"bin\\a.dll", "Bin\\A.Dll", true},
        {"\x83\x41", "\x83\x61", true},  // ア and ヂ differ only in a trail byte A/a
        {"\x82\x60", "\x82\x81", false}, // full-width Ａ and ａ
        {"[", "{", false},               // 0x5B and 0x7B lie outside A to Z
        {"@", "`", false},
        {"\xC1", "\xE1", false},
        {"bin\\a", "bin\\a.dll", false},
        {"bin\\a.dll", "bin\\a", false},
        {"", "", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LedgerPathsMatch(c.ledger, c.update), c.match) << c.ledger << " / " << c.update;
}

// The ledger's field ends at the end of a page followed by one that cannot be
// read, so any read past its 260 bytes would crash the test.
TEST(LedgerIndex, UnterminatedLedgerPathNeverMatchesAndIsNotReadPastItsField)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));

    char* ledgerPath = pages + page - PathFieldSize;
    std::memset(ledgerPath, 'a', PathFieldSize);
    const std::string shorter(PathFieldSize - 1, 'a');
    const std::string same(PathFieldSize, 'A');
    EXPECT_FALSE(LedgerPathsMatch(ledgerPath, shorter.c_str()));
    EXPECT_FALSE(LedgerPathsMatch(ledgerPath, same.c_str()));

    // The record's Size and Extra lie in the unreadable page; only Path may be read.
    LedgerIndex index;
    ASSERT_TRUE(index.Reserve(1));
    index.Build(reinterpret_cast<const FileEntry*>(ledgerPath), 1);
    EXPECT_EQ(index.Find(shorter.c_str()), LedgerIndex::NotFound);
    EXPECT_EQ(index.Find(ledgerPath), LedgerIndex::NotFound);

    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(LedgerIndex, FindsTheFirstMatchingRecordInRecordOrder)
{
    const std::vector<FileEntry> entries = {
        Entry("bin\\a.dll"), Entry("BIN\\A.DLL"), Entry("bin\\"),      Entry("\x83\x41.txt"),
        Entry("Bin\\"),      Entry("bin\\A.dll"), Entry("lib\\b.dll"), Entry("lib\\B.dll"),
    };
    LedgerIndex index;
    ASSERT_TRUE(index.Reserve(static_cast<std::uint32_t>(entries.size())));
    index.Build(entries.data(), 5);

    EXPECT_EQ(index.Find("Bin\\a.DLL"), 0u);
    EXPECT_EQ(index.Find("BIN\\"), 2u);
    EXPECT_EQ(index.Find("\x83\x61.TXT"), 3u);
    EXPECT_EQ(index.Find("\x82\x60"), LedgerIndex::NotFound);
    EXPECT_EQ(index.Find("bin"), LedgerIndex::NotFound);
    EXPECT_EQ(index.Find("lib\\b.dll"), LedgerIndex::NotFound);

    // An appended duplicate never displaces the first; a new path is found at once.
    index.Add(5);
    index.Add(6);
    EXPECT_EQ(index.Find("bin\\a.dll"), 0u);
    EXPECT_EQ(index.Find("LIB\\B.DLL"), 6u);
    index.Add(7);
    EXPECT_EQ(index.Find("lib\\b.dll"), 6u);
}

// The index must answer exactly as a scan with LedgerPathsMatch would.
TEST(LedgerIndex, AgreesWithAScanOfTheLedger)
{
    const char* const paths[] = {
        "a", "A", "b\\", "B\\c", "\x83\x41", "\x83\x61", "\x82\x60", "\x82\x81", "[x]", "{x}", "a ", "a.",
    };
    std::vector<FileEntry> entries;
    for (const char* path : paths)
        entries.push_back(Entry(path));
    FileEntry unterminated{};
    std::memset(unterminated.Path, 'a', PathFieldSize);
    entries.push_back(unterminated);

    const char* const queries[] = {
        "a", "A", "b\\", "b\\C", "\x83\x41", "\x83\x61", "\x82\x60", "\x82\x81", "[X]", "{X}", "a ", "A.", "c", "",
    };
    std::vector<std::string> longQueries = {std::string(PathFieldSize - 1, 'a'), std::string(PathFieldSize - 1, 'A')};
    std::vector<const char*> all(std::begin(queries), std::end(queries));
    for (const std::string& q : longQueries)
        all.push_back(q.c_str());

    const std::uint32_t count = static_cast<std::uint32_t>(entries.size());
    // Reserved for all, reserved for fewer than Build is given, and none: the
    // last two scan.
    for (const std::uint32_t reserved : {count, count - 1, 0u}) {
        LedgerIndex index;
        if (reserved > 0) {
            ASSERT_TRUE(index.Reserve(reserved));
        }
        index.Build(entries.data(), count);
        for (const char* query : all) {
            std::uint32_t scanned = LedgerIndex::NotFound;
            for (std::uint32_t i = 0; i < entries.size() && scanned == LedgerIndex::NotFound; ++i)
                if (LedgerPathsMatch(entries[i].Path, query))
                    scanned = i;
            EXPECT_EQ(index.Find(query), scanned) << query << " reserved " << reserved;
        }
    }
}

// Appended beyond what was reserved, the index keeps answering, by scanning.
TEST(LedgerIndex, RecordsAppendedBeyondTheReservationAreStillFound)
{
    std::vector<FileEntry> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back(Entry(("f" + std::to_string(i % 30)).c_str()));
    LedgerIndex index;
    ASSERT_TRUE(index.Reserve(20));
    index.Build(entries.data(), 10);
    for (std::uint32_t i = 10; i < entries.size(); ++i)
        index.Add(i);
    EXPECT_EQ(index.Find("F29"), 29u);
    EXPECT_EQ(index.Find("f5"), 5u);
    EXPECT_EQ(index.Find("f30"), LedgerIndex::NotFound);
}

// A reservation too large for the table's 32-bit slot numbers is refused
// without an allocation, and the index scans.
TEST(LedgerIndex, AReservationBeyondTheAddressableTableIsRefused)
{
    const std::vector<FileEntry> entries = {Entry("a"), Entry("A")};
    LedgerIndex index;
    EXPECT_FALSE(index.Reserve(0xFFFFFFFEu));
    index.Build(entries.data(), 2);
    EXPECT_EQ(index.Find("a"), 0u);
}

} // namespace
