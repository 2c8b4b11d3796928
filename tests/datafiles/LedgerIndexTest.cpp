#include "LedgerIndex.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
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
    index.Build(reinterpret_cast<const FileEntry*>(ledgerPath), 1);
    EXPECT_EQ(index.Find(shorter.c_str()), LedgerIndex::NotFound);
    EXPECT_EQ(index.Find(ledgerPath), LedgerIndex::NotFound);

    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(LedgerIndex, FindsTheFirstMatchingRecordInRecordOrder)
{
    const std::vector<FileEntry> entries = {
        Entry("bin\\a.dll"), Entry("BIN\\A.DLL"), Entry("bin\\"), Entry("\x83\x41.txt"), Entry("Bin\\"),
    };
    LedgerIndex index;
    index.Build(entries.data(), static_cast<std::uint32_t>(entries.size()));

    EXPECT_EQ(index.Find("Bin\\a.DLL"), 0u);
    EXPECT_EQ(index.Find("BIN\\"), 2u);
    EXPECT_EQ(index.Find("\x83\x61.TXT"), 3u);
    EXPECT_EQ(index.Find("\x82\x60"), LedgerIndex::NotFound);
    EXPECT_EQ(index.Find("bin"), LedgerIndex::NotFound);

    // An appended duplicate never displaces the first; a new path is found at once.
    index.Add(Entry("bin\\A.dll"), 5);
    index.Add(Entry("lib\\b.dll"), 6);
    EXPECT_EQ(index.Find("bin\\a.dll"), 0u);
    EXPECT_EQ(index.Find("LIB\\B.DLL"), 6u);
    index.Add(Entry("lib\\B.dll"), 7);
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

    LedgerIndex index;
    index.Build(entries.data(), static_cast<std::uint32_t>(entries.size()));
    const char* const queries[] = {
        "a", "A", "b\\", "b\\C", "\x83\x41", "\x83\x61", "\x82\x60", "\x82\x81", "[X]", "{X}", "a ", "A.", "c", "",
    };
    std::vector<std::string> longQueries = {std::string(PathFieldSize - 1, 'a'), std::string(PathFieldSize - 1, 'A')};
    std::vector<const char*> all(std::begin(queries), std::end(queries));
    for (const std::string& q : longQueries)
        all.push_back(q.c_str());

    for (const char* query : all) {
        std::uint32_t scanned = LedgerIndex::NotFound;
        for (std::uint32_t i = 0; i < entries.size() && scanned == LedgerIndex::NotFound; ++i)
            if (LedgerPathsMatch(entries[i].Path, query))
                scanned = i;
        EXPECT_EQ(index.Find(query), scanned) << query;
    }
}

} // namespace
