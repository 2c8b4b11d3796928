#include "CancellingProgressWindow.h"
#include "CopyPass.h"
#include "DataFiles.h"
#include "RealLocation.h"
#include "resource.h"
#include "FileHolder.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <cstdlib>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the copy pass showed, as recorded by the shared progress window.
ProgressRecording& g_recording = g_progressRecording;

FileEntry Entry(const std::string& path, std::uint32_t size, std::uint32_t extra = 0)
{
    FileEntry entry{};
    std::memcpy(entry.Path, path.c_str(), path.size() + 1);
    entry.Size = size;
    entry.Extra = extra;
    return entry;
}

std::string ReadWhole(const std::string& path)
{
    std::string bytes;
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void WriteWhole(const std::string& path, const std::string& bytes)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        ASSERT_TRUE(WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr));
        done += wrote;
    }
    CloseHandle(file);
}

std::string Pattern(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 + i / 251);
    return bytes;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A scratch installation and update source, with the update and the ledger
// held in test-owned arrays behind the process-wide pointers.
class CopyPassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = m_scratch.Path();
        m_install = m_root + "\\install\\";
        m_source = m_root + "\\data\\";
        CreateDirectoryA(m_install.c_str(), nullptr);
        CreateDirectoryA(m_source.c_str(), nullptr);
        CancelFlag = 0;
        g_recording = {};
        g_LedgerHeader = {};
        g_UpdateInfoHeader = {};
        DrainMessages();
    }

    void TearDown() override
    {
        UpdateEntries = nullptr;
        LedgerEntries = nullptr;
        g_UpdateInfoHeader = {};
        g_LedgerHeader = {};
        CancelFlag = 0;
        DrainMessages();
    }

    void SetUpdate(const std::vector<FileEntry>& entries)
    {
        m_update = entries;
        UpdateEntries = m_update.data();
        g_UpdateInfoHeader.EntryCount = static_cast<std::uint32_t>(m_update.size());
    }

    void SetLedger(const std::vector<FileEntry>& records, std::uint32_t fileCount, std::uint32_t totalSize)
    {
        m_ledger = records;
        m_ledger.resize(records.size() + m_update.size());
        LedgerEntries = m_ledger.data();
        g_LedgerHeader.EntryCount = static_cast<std::uint32_t>(records.size());
        g_LedgerHeader.FileCount = fileCount;
        g_LedgerHeader.TotalSize = totalSize;
    }

    void AddSource(const std::string& relative, const std::string& bytes) { WriteWhole(m_source + relative, bytes); }

    bool Run() { return CopyPass(m_window.Handle(), m_install.c_str(), m_source.c_str()); }

    ScratchFolder m_scratch{"copypass"};
    std::string m_root;
    std::string m_install;
    std::string m_source;
    std::vector<FileEntry> m_update;
    std::vector<FileEntry> m_ledger;
    CancellingProgressWindow m_window;
};

std::vector<unsigned> Halves(unsigned count)
{
    std::vector<unsigned> values;
    for (unsigned k = 0; k < count; ++k)
        values.push_back(k / 2);
    return values;
}

std::vector<unsigned> Steps(unsigned count)
{
    std::vector<unsigned> values;
    for (unsigned k = 0; k < count; ++k)
        values.push_back(k);
    return values;
}

std::vector<unsigned> Then100(std::vector<unsigned> values)
{
    values.push_back(100);
    return values;
}

TEST_F(CopyPassTest, ProgressFollowsBothFormulasAndCopiesEveryByte)
{
    struct Case {
        std::uint32_t size;
        std::vector<unsigned> progress;
    };
    const Case cases[] = {
        {250000, {0, 40, 80, 100}},
        {200000, {0, 50, 100, 100}},
        {0, {0, 100}},
        {10000000, Then100(Steps(101))},
        // Above the switch the value is p / (s / 100); the first formula would give k - 1 here.
        {10000001, Then100(Steps(101))},
        {20000000, Then100(Halves(201))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string name = "f" + std::to_string(c.size) + ".bin";
        const std::string bytes = Pattern(c.size, static_cast<char>(c.size));
        AddSource(name, bytes);
        SetUpdate({Entry(name, c.size)});
        SetLedger({}, 0, 0);
        g_recording = {};
        ASSERT_TRUE(Run());
        EXPECT_EQ(g_recording.progress, c.progress);
        ASSERT_EQ(g_recording.status.size(), 1u);
        // "<path>をコピー中..."
        EXPECT_EQ(g_recording.status[0], name + "\x82\xf0\x83\x52\x83\x73\x81\x5b\x92\x86...");
        EXPECT_TRUE(ReadWhole(m_install + name) == bytes);
        EXPECT_FALSE(Exists(m_install + "~Update-0000.tmp"));
    }
}

TEST_F(CopyPassTest, NoEntriesCreatesTheInstallationFolderAndLeavesTheLedger)
{
    m_install = m_root + "\\deep\\er\\install\\";
    SetUpdate({});
    SetLedger({Entry("a.txt", 5)}, 1, 5);
    ASSERT_TRUE(Run());
    EXPECT_TRUE(Exists(m_install));
    EXPECT_EQ(g_LedgerHeader.EntryCount, 1u);
    EXPECT_EQ(g_LedgerHeader.TotalSize, 5u);
    EXPECT_TRUE(g_recording.progress.empty());
    EXPECT_TRUE(g_recording.status.empty());
}

TEST_F(CopyPassTest, CancelStopsAfterTheFirstFullChunkAndKeepsTheOldFile)
{
    AddSource("first.txt", Pattern(5000, 'a'));
    AddSource("big.bin", Pattern(350000, 'b'));
    AddSource("after.txt", Pattern(10, 'c'));
    WriteWhole(m_install + "big.bin", "installed");
    SetUpdate({Entry("first.txt", 5000), Entry("big.bin", 350000), Entry("after.txt", 10)});
    SetLedger({}, 0, 0);
    PostMessageA(m_window.Handle(), WM_COMMAND, IDCANCEL, 0);

    EXPECT_FALSE(Run());
    EXPECT_EQ(CancelFlag, 1);
    // first.txt: 0 then 100; big.bin: 0 before its first chunk, then the dispatch delivered Cancel.
    EXPECT_EQ(g_recording.progress, (std::vector<unsigned>{0, 100, 0}));
    EXPECT_EQ(ReadWhole(m_install + "big.bin"), "installed");
    EXPECT_FALSE(Exists(m_install + "~Update-0000.tmp"));
    EXPECT_FALSE(Exists(m_install + "after.txt"));
    ASSERT_EQ(g_LedgerHeader.EntryCount, 1u);
    EXPECT_STREQ(LedgerEntries[0].Path, "first.txt");
    EXPECT_EQ(g_LedgerHeader.FileCount, 1u);
    EXPECT_EQ(g_LedgerHeader.TotalSize, 5000u);
}

// Between files one message is dispatched once 50 ms have passed since the
// last, so two messages queued before Cancel hold it back by three intervals.
TEST_F(CopyPassTest, CancelStopsAnUpdateOfSmallFilesBetweenFiles)
{
    constexpr int Files = 400;
    std::vector<FileEntry> update;
    for (int i = 0; i < Files; ++i) {
        const std::string name = "s" + std::to_string(i) + ".txt";
        AddSource(name, "x");
        update.push_back(Entry(name, 1));
    }
    SetUpdate(update);
    SetLedger({}, 0, 0);
    PostMessageA(m_window.Handle(), WM_NULL, 0, 0);
    PostMessageA(m_window.Handle(), WM_NULL, 0, 0);
    PostMessageA(m_window.Handle(), WM_COMMAND, IDCANCEL, 0);

    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Run());
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_EQ(CancelFlag, 1);
    EXPECT_GE(elapsed, 140u);
    const std::uint32_t merged = g_LedgerHeader.EntryCount;
    EXPECT_GT(merged, 0u);
    ASSERT_LT(merged, static_cast<std::uint32_t>(Files));
    // Every merged file is installed, the next one is not.
    EXPECT_TRUE(Exists(m_install + LedgerEntries[merged - 1].Path));
    EXPECT_FALSE(Exists(m_install + "s" + std::to_string(merged) + ".txt"));
}

struct MergeCase {
    const char* name;
    std::vector<FileEntry> ledger;
    std::uint32_t fileCount;
    std::uint32_t totalSize;
    std::vector<FileEntry> update;
    std::vector<FileEntry> expectedLedger;
    std::uint32_t expectedFileCount;
    std::uint32_t expectedTotalSize;
};

class LedgerMergeTest : public CopyPassTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(LedgerMergeTest, MergesEveryFinishedEntry)
{
    const MergeCase& c = GetParam();
    CreateDirectoryA((m_source + "bin").c_str(), nullptr);
    CreateDirectoryA((m_install + "bin").c_str(), nullptr);
    for (const FileEntry& entry : c.update) {
        const std::size_t length = std::strlen(entry.Path);
        if (entry.Path[length - 1] != '\\')
            AddSource(entry.Path, Pattern(entry.Size, 'x'));
    }
    SetUpdate(c.update);
    SetLedger(c.ledger, c.fileCount, c.totalSize);

    ASSERT_TRUE(Run());
    ASSERT_EQ(g_LedgerHeader.EntryCount, c.expectedLedger.size());
    for (std::size_t i = 0; i < c.expectedLedger.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(LedgerEntries[i].Path, c.expectedLedger[i].Path);
        EXPECT_EQ(LedgerEntries[i].Size, c.expectedLedger[i].Size);
        EXPECT_EQ(LedgerEntries[i].Extra, c.expectedLedger[i].Extra);
    }
    EXPECT_EQ(g_LedgerHeader.FileCount, c.expectedFileCount);
    EXPECT_EQ(g_LedgerHeader.TotalSize, c.expectedTotalSize);
}

const std::string Katakana_a = "\x83\x41";      // ア
const std::string Katakana_di = "\x83\x61";     // ヂ
const std::string FullWidthA = "\x82\x60";      // Ａ
const std::string FullWidthSmallA = "\x82\x81"; // ａ
const std::string Hyou = "\x95\x5c";            // 表, trail byte 0x5C

INSTANTIATE_TEST_SUITE_P(
    Cases, LedgerMergeTest,
    ::testing::Values(
        MergeCase{"OtherLetterCaseKeepsTheLedgersPath",
                  {Entry("BIN\\A.DLL", 100, 1)},
                  1,
                  100,
                  {Entry("bin\\a.dll", 130, 2)},
                  {Entry("BIN\\A.DLL", 130, 2)},
                  1,
                  130},
        MergeCase{"SmallerNewSizeLowersTheTotal",
                  {Entry("bin\\a.dll", 500)},
                  1,
                  700,
                  {Entry("bin\\a.dll", 200)},
                  {Entry("bin\\a.dll", 200)},
                  1,
                  400},
        MergeCase{"TrailByteInTheFoldedRangeMatches",
                  {Entry(Katakana_a + ".txt", 3)},
                  1,
                  3,
                  {Entry(Katakana_di + ".txt", 4)},
                  {Entry(Katakana_a + ".txt", 4)},
                  1,
                  4},
        MergeCase{"FullWidthLettersAreNotFolded",
                  {Entry(FullWidthA + ".txt", 3)},
                  1,
                  3,
                  {Entry(FullWidthSmallA + ".txt", 4)},
                  {Entry(FullWidthA + ".txt", 3), Entry(FullWidthSmallA + ".txt", 4)},
                  2,
                  7},
        MergeCase{"SameFileTwiceMatchesTheRecordJustAppended",
                  {},
                  0,
                  0,
                  {Entry("new.txt", 10, 1), Entry("NEW.TXT", 12, 2)},
                  {Entry("new.txt", 12, 2)},
                  1,
                  12},
        MergeCase{"NewFolderRaisesOnlyTheEntryCount", {}, 3, 9, {Entry("bin\\", 77, 5)}, {Entry("bin\\", 77, 5)}, 3, 9},
        MergeCase{"KnownFolderChangesNothing",
                  {Entry("Bin\\", 1, 1)},
                  0,
                  0,
                  {Entry("bin\\", 2, 2)},
                  {Entry("Bin\\", 1, 1)},
                  0,
                  0},
        MergeCase{"TrailingTrailByte5CIsAFolder",
                  {},
                  0,
                  0,
                  {Entry("bin\\" + Hyou, 42, 0)},
                  {Entry("bin\\" + Hyou, 42, 0)},
                  0,
                  0},
        MergeCase{
            "TotalSizeWraps", {}, 1, 0xFFFFFF00u, {Entry("big.txt", 0x200)}, {Entry("big.txt", 0x200)}, 2, 0x100}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return std::string(info.param.name); });

TEST_F(CopyPassTest, FolderEndingInTrailByte5CIsCreatedWhole)
{
    const std::string folder = "bin\\" + Hyou;
    SetUpdate({Entry("bin\\", 0), Entry(folder, 0)});
    SetLedger({}, 0, 0);
    ASSERT_TRUE(Run());
    const DWORD attributes = GetFileAttributesA((m_install + folder).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // The one folder made inside bin is the whole name, nothing for its lead byte alone.
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((m_install + "bin\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
            names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, std::vector<std::string>{Hyou});
}

TEST_F(CopyPassTest, ReadOnlyDestinationIsReplaced)
{
    WriteWhole(m_install + "a.txt", "old");
    SetFileAttributesA((m_install + "a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    AddSource("a.txt", "new contents");
    SetUpdate({Entry("a.txt", 12)});
    SetLedger({}, 0, 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(ReadWhole(m_install + "a.txt"), "new contents");
}

TEST_F(CopyPassTest, DestinationInUseFailsAndLeavesItWhole)
{
    AddSource("first.txt", "1");
    AddSource("busy.dll", Pattern(150000, 'n'));
    WriteWhole(m_install + "busy.dll", "old library");
    SetUpdate({Entry("first.txt", 1), Entry("busy.dll", 150000)});
    SetLedger({}, 0, 0);
    const HANDLE holder =
        CreateFileA((m_install + "busy.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    EXPECT_FALSE(Run());
    CloseHandle(holder);
    EXPECT_EQ(ReadWhole(m_install + "busy.dll"), "old library");
    EXPECT_FALSE(Exists(m_install + "~Update-0000.tmp"));
    ASSERT_EQ(g_LedgerHeader.EntryCount, 1u);
    EXPECT_STREQ(LedgerEntries[0].Path, "first.txt");
}

TEST_F(CopyPassTest, MissingSourceFailsWithoutTouchingTheDestination)
{
    WriteWhole(m_install + "a.txt", "installed");
    SetUpdate({Entry("a.txt", 5)});
    SetLedger({}, 0, 0);
    EXPECT_FALSE(Run());
    EXPECT_EQ(ReadWhole(m_install + "a.txt"), "installed");
    EXPECT_FALSE(Exists(m_install + "~Update-0000.tmp"));
    EXPECT_EQ(g_LedgerHeader.EntryCount, 0u);
}

// Nothing the update does not list changes: not a file that carries a name
// some temporary scheme might pick, nor one the update installed just before.
TEST_F(CopyPassTest, FilesTheUpdateDoesNotListAreNeverTouched)
{
    struct Case {
        const char* name;
        std::vector<std::string> listed;
        std::vector<std::string> unrelated;
    } const cases[] = {
        {"installed beside keep.txt", {"keep.txt"}, {"keep.txt.~up", "~Update-0000.tmp", "keep.tmp"}},
        {"listed temporary-looking names first", {"a.~up", "~Update-0000.tmp", "a"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder root("untouched");
        m_install = root.Path("install\\");
        m_source = root.Path("data\\");
        CreateDirectoryA(m_install.c_str(), nullptr);
        CreateDirectoryA(m_source.c_str(), nullptr);
        std::vector<FileEntry> update;
        for (const std::string& name : c.listed) {
            AddSource(name, "new " + name);
            WriteWhole(m_install + name, "old " + name);
            update.push_back(Entry(name, static_cast<std::uint32_t>(4 + name.size())));
        }
        for (const std::string& name : c.unrelated)
            WriteWhole(m_install + name, "unrelated " + name);
        SetUpdate(update);
        SetLedger({}, 0, 0);
        ASSERT_TRUE(Run());
        for (const std::string& name : c.listed)
            EXPECT_EQ(ReadWhole(m_install + name), "new " + name);
        for (const std::string& name : c.unrelated)
            EXPECT_EQ(ReadWhole(m_install + name), "unrelated " + name);
        EXPECT_EQ(g_LedgerHeader.EntryCount, c.listed.size());
    }
}

// A failure leaves the destination as it was, attributes included.
TEST_F(CopyPassTest, FailureKeepsTheDestinationsAttributes)
{
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    enum class Fault { MissingSource, HeldOpen, Cancel };
    for (const Fault fault : {Fault::MissingSource, Fault::HeldOpen, Fault::Cancel}) {
        SCOPED_TRACE(static_cast<int>(fault));
        const std::string destination = m_install + "a.dll";
        SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteWhole(destination, "old");
        ASSERT_TRUE(SetFileAttributesA(destination.c_str(), attributes));
        DeleteFileA((m_source + "a.dll").c_str());
        if (fault != Fault::MissingSource)
            AddSource("a.dll", Pattern(250000, 'n'));
        SetUpdate({Entry("a.dll", 250000)});
        SetLedger({}, 0, 0);
        CancelFlag = 0;
        if (fault == Fault::Cancel)
            PostMessageA(m_window.Handle(), WM_COMMAND, IDCANCEL, 0);
        std::unique_ptr<FileHolder> holder;
        if (fault == Fault::HeldOpen)
            holder = std::make_unique<FileHolder>(destination, INFINITE);
        EXPECT_FALSE(Run());
        holder.reset();
        EXPECT_EQ(ReadWhole(destination), "old");
        EXPECT_EQ(GetFileAttributesA(destination.c_str()) & attributes, attributes);
        EXPECT_FALSE(Exists(m_install + "~Update-0000.tmp"));
        EXPECT_EQ(g_LedgerHeader.EntryCount, 0u);
        DrainMessages();
    }
}

TEST_F(CopyPassTest, BrieflyHeldDestinationIsReplaced)
{
    WriteWhole(m_install + "a.dll", "old");
    AddSource("a.dll", "new");
    SetUpdate({Entry("a.dll", 3)});
    SetLedger({}, 0, 0);
    const FileHolder holder(m_install + "a.dll", 300);
    ASSERT_TRUE(Run());
    EXPECT_EQ(ReadWhole(m_install + "a.dll"), "new");
    EXPECT_EQ(g_LedgerHeader.EntryCount, 1u);
}

// A file where the folder should be: the tree cannot be made, so the pass fails unmerged.
TEST_F(CopyPassTest, FolderThatCannotBeCreatedEndsThePass)
{
    WriteWhole(m_install + "bin", "a file");
    SetUpdate({Entry("doc\\", 0), Entry("bin\\", 0), Entry("bin\\sub\\", 0)});
    SetLedger({}, 0, 0);
    EXPECT_FALSE(Run());
    ASSERT_EQ(g_LedgerHeader.EntryCount, 1u);
    EXPECT_STREQ(LedgerEntries[0].Path, "doc\\");
    EXPECT_EQ(ReadWhole(m_install + "bin"), "a file");
}

TEST_F(CopyPassTest, PathsMustFitWithEitherFolder)
{
    const std::string install(200, 'i');
    const std::string source(100, 's');
    // A file also needs room for its temporary (16 bytes) beside it in its folder.
    const std::string deepest(259 - 200 - 16 - 1, 'd');
    const std::string fitsFolder(259 - 200 - 1, 'd');
    struct Case {
        std::string path;
        bool fits;
    };
    const Case cases[] = {
        {deepest + "\\a", true},
        {deepest + "d\\a", false},
        {std::string(259 - 200, 'f'), true},
        {std::string(259 - 200 + 1, 'f'), false},
        {fitsFolder + "\\", true},
        {fitsFolder + "x\\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.size());
        SetUpdate({Entry(c.path, 1)});
        EXPECT_EQ(UpdateFitsFolders(install.c_str(), source.c_str()), c.fits);
    }
    SetUpdate({Entry(std::string(100, 'p'), 1)});
    EXPECT_FALSE(UpdateFitsFolders("C:\\", std::string(160, 's').c_str()));
}

// Cases in the folders that links.sh planted, one folder per case; the links
// lead to "outside", whose files must stay as they were, byte for byte.
class LinkedPassTest : public CopyPassTest {
protected:
    void UseCase(const std::string& name)
    {
        const char* planted = std::getenv("UPDATER_PASS_LINKS_DIR");
        if (planted == nullptr)
            GTEST_SKIP() << "UPDATER_PASS_LINKS_DIR is not set";
        m_root = std::string("Z:") + planted;
        for (char& c : m_root)
            if (c == '/')
                c = '\\';
        m_outside = m_root + "\\outside\\";
        m_install = m_root + "\\" + name + "\\install\\";
        m_source = m_root + "\\" + name + "\\data\\";
    }

    // Whether path itself, not a link's target, lies inside the installation.
    bool LiesInInstall(const std::string& path)
    {
        CRealLocation install;
        EXPECT_TRUE(FindRealFolder(install, m_install.c_str()));
        const HANDLE handle = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        const bool within = handle != INVALID_HANDLE_VALUE && LiesWithin(handle, install);
        CloseHandle(handle);
        return within;
    }

    bool RunWithMarker(DWORD& error)
    {
        SetLastError(0xBADC0DE);
        const bool result = Run();
        error = GetLastError();
        return result;
    }

    std::string m_outside;
};

TEST_F(LinkedPassTest, FolderLinkLeadingOutEndsThePassAndWritesNothingThere)
{
    // Listed as a folder entry, and as the folder of a file entry alone.
    for (const char* name : {"folderout", "parentout"}) {
        UseCase(name);
        CreateDirectoryA((m_source + "bin").c_str(), nullptr);
        AddSource("bin\\a.dll", "library");
        if (std::string(name) == "folderout")
            SetUpdate({Entry("bin\\", 0), Entry("bin\\a.dll", 7)});
        else
            SetUpdate({Entry("bin\\a.dll", 7)});
        SetLedger({}, 0, 0);
        DWORD error = 0;
        EXPECT_FALSE(RunWithMarker(error)) << name;
        EXPECT_EQ(error, ErrorLiesOutside) << name;
        EXPECT_EQ(GetFileAttributesA((m_outside + "a.dll").c_str()), INVALID_FILE_ATTRIBUTES) << name;
        EXPECT_EQ(GetFileAttributesA((m_outside + "a.dll.~up").c_str()), INVALID_FILE_ATTRIBUTES) << name;
        EXPECT_EQ(g_LedgerHeader.EntryCount, 0u) << name;
    }
}

// Each level is checked before the next is created, so nothing is created
// through a link that leads out.
TEST_F(LinkedPassTest, FolderBelowALinkLeadingOutIsNotCreatedThere)
{
    UseCase("folderout");
    SetUpdate({Entry("bin\\sub\\", 0)});
    SetLedger({}, 0, 0);
    DWORD error = 0;
    EXPECT_FALSE(RunWithMarker(error));
    EXPECT_EQ(error, ErrorLiesOutside);
    EXPECT_EQ(GetFileAttributesA((m_outside + "sub").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_LedgerHeader.EntryCount, 0u);
}

TEST_F(LinkedPassTest, SourceLinkLeadingOutOfDataIsNotCopied)
{
    UseCase("sourcelink");
    SetUpdate({Entry("a.dll", 7)});
    SetLedger({}, 0, 0);
    DWORD error = 0;
    EXPECT_FALSE(RunWithMarker(error));
    EXPECT_EQ(error, ErrorLiesOutside);
    EXPECT_EQ(GetFileAttributesA((m_install + "a.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((m_install + "a.dll.~up").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadWhole(m_outside + "secret.dll"), "secret\n");
}

TEST_F(LinkedPassTest, LinkToAFolderInsideIsWrittenThrough)
{
    UseCase("inside");
    CreateDirectoryA((m_source + "lib").c_str(), nullptr);
    AddSource("lib\\a.dll", "library");
    SetUpdate({Entry("lib\\", 0), Entry("lib\\a.dll", 7)});
    SetLedger({}, 0, 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(ReadWhole(m_install + "sub\\a.dll"), "library");
    EXPECT_EQ(g_LedgerHeader.EntryCount, 2u);
}

TEST_F(LinkedPassTest, LinkedInstallationUpdatesAsBefore)
{
    UseCase("linkedinstall");
    AddSource("a.dll", "library");
    SetUpdate({Entry("a.dll", 7)});
    SetLedger({}, 0, 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(ReadWhole(m_root + "\\linkedinstall\\moved\\a.dll"), "library");
}

TEST_F(LinkedPassTest, DestinationLinkIsReplacedNotWrittenThrough)
{
    UseCase("destlink");
    const std::string target = m_outside + "dest.dll";
    const DWORD attributes = GetFileAttributesA(target.c_str());
    ASSERT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);
    AddSource("a.dll", "library");
    SetUpdate({Entry("a.dll", 7)});
    SetLedger({}, 0, 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(ReadWhole(m_install + "a.dll"), "library");
    EXPECT_TRUE(LiesInInstall(m_install + "a.dll"));
    EXPECT_EQ(ReadWhole(target), "dest\n");
    EXPECT_EQ(GetFileAttributesA(target.c_str()), attributes);
}

// A link planted at the first temporary name is skipped, never written,
// renamed or removed; its target outside stays as it was.
TEST_F(LinkedPassTest, LinkAtATemporaryNameIsLeftAlone)
{
    UseCase("tmplink");
    const std::string link = m_install + "~Update-0000.tmp";
    const std::string target = m_outside + "keep.dll";
    AddSource("a.dll", "library");
    SetUpdate({Entry("a.dll", 7)});
    SetLedger({}, 0, 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(ReadWhole(m_install + "a.dll"), "library");
    EXPECT_EQ(ReadWhole(target), "keep\n");
    EXPECT_EQ(ReadWhole(link), "keep\n");
    EXPECT_FALSE(LiesInInstall(link));
    EXPECT_EQ(GetFileAttributesA((m_install + "~Update-0001.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
