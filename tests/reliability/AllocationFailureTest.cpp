// Allocation that fails once the user has confirmed: the real driver and the
// real copy pass run with this executable's operator new refusing every
// request, and must still finish, report and write the ledger.

#include "CopyPass.h"
#include "DataFiles.h"
#include "DriverHarness.h"
#include "File.h"
#include "LedgerIndex.h"
#include "Texts.h"
#include "UpdateFiles.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

void* volatile g_kept = nullptr;
bool g_refuseAllocations = false;
unsigned g_refusedAllocations = 0;

void* Allocate(std::size_t size) noexcept
{
    if (g_refuseAllocations) {
        ++g_refusedAllocations;
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

// Refuses every allocation while it lives.
class RefusedAllocations {
public:
    RefusedAllocations()
    {
        g_refusedAllocations = 0;
        g_refuseAllocations = true;
    }
    ~RefusedAllocations() { g_refuseAllocations = false; }
    RefusedAllocations(const RefusedAllocations&) = delete;
    RefusedAllocations& operator=(const RefusedAllocations&) = delete;
};

} // namespace

void* operator new(std::size_t size)
{
    if (void* memory = Allocate(size))
        return memory;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

// What the driver showed, kept without allocating.
struct Shown {
    char text[TextBufferSize];
    bool defaultCaption;
};
Shown g_shown[4];
int g_shownCount = 0;
HWND g_progress = nullptr;

// Refusal starts with the confirmation; the test ends it once the driver returns.
INT_PTR ConfirmAndRefuse(HINSTANCE)
{
    g_refusedAllocations = 0;
    g_refuseAllocations = true;
    return 1;
}

HWND OpenPrepared(HINSTANCE)
{
    return g_progress;
}

void CloseNothing(HWND) {}

void Record(const char* text, const char* caption)
{
    if (g_shownCount < 4) {
        std::snprintf(g_shown[g_shownCount].text, sizeof g_shown[g_shownCount].text, "%s", text);
        g_shown[g_shownCount].defaultCaption = caption == nullptr;
    }
    ++g_shownCount;
}

// A real progress window whose controls keep nothing, so that the pass's
// updates of them allocate nothing in this process.
class QuietProgressWindow {
public:
    QuietProgressWindow()
    {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        m_window.Reset(
            CreateWindowA("STATIC", "progress", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr));
        CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, m_window.Get(),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)), instance, nullptr);
        CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, m_window.Get(),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_TEXT)), instance, nullptr);
    }

    HWND Handle() const { return m_window.Get(); }

private:
    ScopedWindow m_window;
};

const UserInterface RefusingUser{ConfirmAndRefuse, OpenPrepared, CloseNothing, Record};

class AllocationFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.IsLoaded());
        ASSERT_TRUE(m_key.IsOpen());
        CreateDirectoryA(m_install.c_str(), nullptr);
        CreateDirectoryA(m_source.c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(m_source + "big.bin", m_big));
        ASSERT_TRUE(WriteWholeFile(m_source + "a.txt", m_newA));
        ASSERT_TRUE(WriteWholeFile(m_root.Path("Updateinf.dat"), UpdateInfoBytes(m_update, m_key.Path())));
        ASSERT_TRUE(WriteWholeFile(m_install + "a.txt", m_oldA));
        ASSERT_TRUE(WriteWholeFile(LedgerPath(), m_oldLedger));
        ASSERT_TRUE(m_key.SetValue(TestValueName, m_install));
        CancelFlag = 0;
    }

    std::string LedgerPath() const { return m_install + "Uninstallinf.dat"; }

    ScratchFolder m_root{"allocation"};
    const std::string m_install = m_root.Path("install\\");
    const std::string m_source = m_root.Path("data\\");
    ProgramModule m_program{m_root.Path()};
    InstallKey m_key{"allocation"};
    const Bytes m_big = Bytes(250000, 'b');
    const Bytes m_newA = Bytes(300, 'A');
    const Bytes m_oldA = Bytes(100, 'a');
    const std::vector<FileEntry> m_update{MakeEntry("big.bin", 250000, 2), MakeEntry("sub\\", 0),
                                          MakeEntry("a.txt", 300, 1)};
    const Bytes m_oldLedger = LedgerBytes({MakeEntry("a.txt", 100), MakeEntry("old\\", 0)});
};

TEST_F(AllocationFailure, TheSwitchRefusesThisExecutablesAllocations)
{
    bool refused = false;
    {
        const RefusedAllocations refusal;
        try {
            g_kept = ::operator new(16);
        } catch (const std::bad_alloc&) {
            refused = true;
        }
    }
    ::operator delete(g_kept);
    EXPECT_TRUE(refused);
    EXPECT_EQ(g_refusedAllocations, 1u);
}

// Everything the pass needs was allocated before the confirmation.
TEST_F(AllocationFailure, AfterTheConfirmationTheDriverCompletesReportsAndSaves)
{
    QuietProgressWindow progress;
    ASSERT_NE(progress.Handle(), nullptr);
    g_progress = progress.Handle();
    g_shownCount = 0;
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};
    const int result = UpdateDriver(m_program.Handle(), RefusingUser);
    g_refuseAllocations = false;
    FreeEntryArrays();
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};
    EXPECT_EQ(result, 0);

    ASSERT_EQ(g_shownCount, 1);
    EXPECT_STREQ(g_shown[0].text, UpdateCompletedText);
    EXPECT_FALSE(g_shown[0].defaultCaption);
    EXPECT_TRUE(ReadWholeFile(m_install + "big.bin") == m_big);
    EXPECT_TRUE(ReadWholeFile(m_install + "a.txt") == m_newA);
    EXPECT_TRUE(ReadWholeFile(LedgerPath())
                == LedgerBytes({MakeEntry("a.txt", 300, 1), MakeEntry("old\\", 0), MakeEntry("big.bin", 250000, 2),
                                MakeEntry("sub\\", 0)}));
}

// Without its chunk buffer the pass fails before it changes a file, and the
// ledger is still written.
TEST_F(AllocationFailure, APassThatGetsNoMemoryFailsCleanlyAndTheLedgerIsSaved)
{
    CFile file;
    const std::string updateInfo = m_root.Path("Updateinf.dat");
    const std::string ledger = LedgerPath();
    ASSERT_TRUE(LoadUpdateInfo(file, updateInfo.c_str()));
    ASSERT_TRUE(LoadLedger(file, ledger.c_str()));
    QuietProgressWindow progress;
    ASSERT_NE(progress.Handle(), nullptr);
    bool updated = true;
    bool saved = false;
    {
        const RefusedAllocations refusal;
        updated = CopyPass(progress.Handle(), m_install.c_str(), m_source.c_str());
        saved = SaveLedger(file, ledger.c_str());
    }
    FreeEntryArrays();
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};

    EXPECT_FALSE(updated);
    EXPECT_TRUE(saved);
    EXPECT_GT(g_refusedAllocations, 0u);
    EXPECT_EQ(GetFileAttributesA((m_install + "big.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(ReadWholeFile(m_install + "a.txt") == m_oldA);
    EXPECT_TRUE(ReadWholeFile(LedgerPath()) == m_oldLedger);
}

// With no table the index scans, with the same answers, appended records included.
TEST(LedgerIndexWithoutMemory, ScansInRecordOrder)
{
    const std::vector<FileEntry> entries = {MakeEntry("bin\\a.dll", 0), MakeEntry("BIN\\A.DLL", 0),
                                            MakeEntry("Bin\\", 0), MakeEntry("lib\\b.dll", 0),
                                            MakeEntry("LIB\\B.DLL", 0)};
    LedgerIndex index;
    bool reserved = true;
    {
        const RefusedAllocations refusal;
        reserved = index.Reserve(5);
        index.Build(entries.data(), 3);
        EXPECT_EQ(index.Find("bin\\A.dll"), 0u);
        EXPECT_EQ(index.Find("BIN\\"), 2u);
        EXPECT_EQ(index.Find("lib\\b.dll"), LedgerIndex::NotFound);
        index.Add(3);
        index.Add(4);
    }
    EXPECT_FALSE(reserved);
    EXPECT_EQ(g_refusedAllocations, 1u);
    EXPECT_EQ(index.Find("lib\\B.dll"), 3u);
    EXPECT_EQ(index.Find("lib"), LedgerIndex::NotFound);
}

} // namespace
