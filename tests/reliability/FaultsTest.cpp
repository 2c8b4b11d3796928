// Faults in the middle of an update. After each: no installed file is
// half-written (each is its old or its new content whole), no temporary copy
// is left, the ledger on disk is the old one or the new one whole, and each
// step's result says what really happened.

#include "Harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

struct InstalledFile {
    std::string path;
    Bytes oldBytes; // empty: not installed before the update
    Bytes newBytes;
};

// An installation with a ledger, and an update of files and one folder.
class Installation {
public:
    Installation(const std::string& install, const std::string& root)
        : m_install(install), m_source(root + "\\data\\"), m_updateInfo(root + "\\Updateinf.dat"), m_rig(root, install)
    {
        CreateDirectoryA(m_source.c_str(), nullptr);
        CreateDirectoryA((m_source + "sub").c_str(), nullptr);
    }

    void Add(const std::string& path, Bytes oldBytes, Bytes newBytes)
    {
        m_files.push_back({path, std::move(oldBytes), std::move(newBytes)});
    }

    // Writes both trees, both data files and, with extraLedgerRecords, a
    // ledger that long.
    void Write(std::size_t extraLedgerRecords = 0)
    {
        std::vector<FileEntry> update{MakeEntry("sub\\", 0)};
        std::vector<FileEntry> ledger;
        for (std::size_t i = 0; i < extraLedgerRecords; ++i)
            ledger.push_back(MakeEntry("old\\record" + std::to_string(i), 10));
        for (const InstalledFile& file : m_files) {
            update.push_back(MakeEntry(file.path, static_cast<std::uint32_t>(file.newBytes.size()), 7));
            ASSERT_TRUE(WriteWholeFile(m_source + file.path, file.newBytes));
            if (!file.oldBytes.empty()) {
                ledger.push_back(MakeEntry(file.path, static_cast<std::uint32_t>(file.oldBytes.size())));
                ASSERT_TRUE(WriteWholeFile(m_install + file.path, file.oldBytes));
            }
        }
        ASSERT_TRUE(m_rig.IsReady());
        ASSERT_TRUE(WriteWholeFile(m_updateInfo, UpdateInfoBytes(update, m_rig.KeyPath())));
        m_oldLedger = LedgerBytes(ledger);
        ASSERT_TRUE(WriteWholeFile(LedgerPath(), m_oldLedger));
    }

    RunResult Run(const std::function<void()>& beforeSave = {}) const { return m_rig.Run(beforeSave); }
    HWND Window() const { return m_rig.Window(); }

    // The checks every fault must pass; returns how many files are new.
    std::size_t ExpectNothingLost(const RunResult& result) const
    {
        EXPECT_TRUE(result.confirmed) << result.refusal;
        EXPECT_TRUE(TemporaryLeftovers(Snapshot(m_install)).empty());
        std::size_t updated = 0;
        for (const InstalledFile& file : m_files) {
            SCOPED_TRACE(file.path);
            const Bytes installed = ReadWholeFile(m_install + file.path);
            if (installed == file.newBytes)
                ++updated;
            else if (file.oldBytes.empty())
                EXPECT_FALSE(FileExists(m_install + file.path)) << "a new file is half-written";
            else
                EXPECT_TRUE(installed == file.oldBytes) << "an installed file is half-written";
        }
        // The pass says true exactly when every file is in place.
        EXPECT_EQ(result.copied, updated == m_files.size());
        const Bytes onDisk = ReadWholeFile(LedgerPath());
        EXPECT_TRUE(onDisk == m_oldLedger || onDisk == result.ledgerAtSave) << "the ledger is neither old nor new";
        EXPECT_EQ(result.saved, onDisk == result.ledgerAtSave);
        return updated;
    }

    std::string LedgerPath() const { return m_install + "Uninstallinf.dat"; }
    const Bytes& OldLedger() const { return m_oldLedger; }
    const std::string& Install() const { return m_install; }
    const std::string& Source() const { return m_source; }

private:
    std::string m_install;
    std::string m_source;
    std::string m_updateInfo;
    std::vector<InstalledFile> m_files;
    Bytes m_oldLedger;
    DriverRig m_rig;
};

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CancelFlag = 0;
        CreateDirectoryA(m_install.c_str(), nullptr);
        CreateDirectoryA((m_install + "sub").c_str(), nullptr);
    }
    void TearDown() override
    {
        CancelFlag = 0;
        DrainMessages();
    }

    // Three files, the middle one larger than a chunk.
    void AddThreeFiles()
    {
        m_installation.Add("a.txt", Content(1000, 'a'), Content(1500, 'A'));
        m_installation.Add("b.dll", Content(150000, 'b'), Content(250000, 'B'));
        m_installation.Add("sub\\c.txt", Content(10, 'c'), Content(20, 'C'));
    }

    ScratchFolder m_root{"faults"};
    std::string m_install = m_root.Path("install\\");
    Installation m_installation{m_install, m_root.Path()};
};

// Faults of one file in the middle of the update, each set up on the same
// installation: the pass stops at that file (or replaces it), and the ledger
// written back holds exactly what was merged before.
struct FileFault {
    const char* name;
    // Returns what it must hold open for the run.
    ScopedHandle (*setUp)(const std::string& install, const std::string& source);
    bool copied;
    std::size_t updated;
    std::vector<FileEntry> ledger;
};

const FileFault FileFaults[] = {
    {"destination in use",
     [](const std::string& install, const std::string&) {
         return ScopedHandle(
             CreateFileA((install + "b.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
     },
     false,
     1,
     {MakeEntry("a.txt", 1500, 7), MakeEntry("b.dll", 150000), MakeEntry("sub\\c.txt", 10), MakeEntry("sub\\", 0)}},
    {"read-only destination",
     [](const std::string& install, const std::string&) {
         EXPECT_TRUE(SetFileAttributesA((install + "b.dll").c_str(), FILE_ATTRIBUTE_READONLY));
         return ScopedHandle();
     },
     true,
     3,
     {MakeEntry("a.txt", 1500, 7), MakeEntry("b.dll", 250000, 7), MakeEntry("sub\\c.txt", 20, 7),
      MakeEntry("sub\\", 0)}},
    {"missing source",
     [](const std::string&, const std::string& source) {
         EXPECT_TRUE(DeleteFileA((source + "b.dll").c_str()));
         return ScopedHandle();
     },
     false,
     1,
     {MakeEntry("a.txt", 1500, 7), MakeEntry("b.dll", 150000), MakeEntry("sub\\c.txt", 10), MakeEntry("sub\\", 0)}},
};

TEST(FileFaults, StopOrReplaceAndTheLedgerOnDiskHoldsWhatWasMerged)
{
    for (const FileFault& fault : FileFaults) {
        SCOPED_TRACE(fault.name);
        ScratchFolder root("file-fault");
        const std::string install = root.Path("install\\");
        CreateDirectoryA(install.c_str(), nullptr);
        CreateDirectoryA((install + "sub").c_str(), nullptr);
        Installation installation(install, root.Path());
        installation.Add("a.txt", Content(1000, 'a'), Content(1500, 'A'));
        installation.Add("b.dll", Content(150000, 'b'), Content(250000, 'B'));
        installation.Add("sub\\c.txt", Content(10, 'c'), Content(20, 'C'));
        installation.Write();
        CancelFlag = 0;
        RunResult result;
        {
            const ScopedHandle held = fault.setUp(install, installation.Source());
            result = installation.Run();
        }
        EXPECT_EQ(result.copied, fault.copied);
        EXPECT_TRUE(result.saved);
        EXPECT_EQ(installation.ExpectNothingLost(result), fault.updated);
        EXPECT_TRUE(ReadWholeFile(installation.LedgerPath()) == LedgerBytes(fault.ledger));
        SetFileAttributesA((install + "b.dll").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// Cancel clicked while a large file is being copied takes effect within a
// fraction of a second, though the pass no longer looks at every chunk.
TEST_F(FaultTest, CancelInTheMiddleOfALargeFileStopsPromptly)
{
    constexpr std::size_t Large = 300u * 1024 * 1024;
    m_installation.Add("a.txt", Content(1000, 'a'), Content(1500, 'A'));
    m_installation.Add("large.bin", Content(5000, 'l'), Content(Large, 'L'));
    m_installation.Add("sub\\c.txt", Content(10, 'c'), Content(20, 'C'));
    m_installation.Write();

    const std::string temporary = m_install + "~Update-0000.tmp";
    const HWND window = m_installation.Window();
    std::atomic<ULONGLONG> clickedAt{0};
    std::atomic<bool> stop{false};
    std::thread clicker([&] {
        // Clicks once a tenth of the file has been copied.
        while (!stop) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExA(temporary.c_str(), GetFileExInfoStandard, &data)
                && data.nFileSizeLow >= Large / 10) {
                clickedAt = GetTickCount64();
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                return;
            }
            Sleep(1);
        }
    });
    const RunResult result = m_installation.Run();
    stop = true;
    clicker.join();

    ASSERT_NE(clickedAt.load(), 0u) << "the copy ended before the click";
    const ULONGLONG delay = result.passEndedAt - clickedAt;
    std::printf("Cancel reached the window %llu ms and stopped the pass %llu ms after the click\n",
                g_progressRecording.cancelDispatchedAt - clickedAt, delay);
    EXPECT_LT(delay, 500u);
    EXPECT_EQ(CancelFlag, 1);
    EXPECT_FALSE(result.copied);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(m_installation.ExpectNothingLost(result), 1u);
}

TEST_F(FaultTest, LedgerThatCannotBeWrittenStaysWholeAndTheSaveSaysSo)
{
    enum class Block { FolderInTheWay, LedgerHeldOpen };
    for (const Block block : {Block::FolderInTheWay, Block::LedgerHeldOpen}) {
        SCOPED_TRACE(static_cast<int>(block));
        ScratchFolder root("ledger-fault");
        const std::string install = root.Path("install\\");
        CreateDirectoryA(install.c_str(), nullptr);
        CreateDirectoryA((install + "sub").c_str(), nullptr);
        Installation installation(install, root.Path());
        installation.Add("a.txt", Content(1000, 'a'), Content(1500, 'A'));
        installation.Write();
        // Held open without sharing from after the loading to after the save.
        std::unique_ptr<ScopedHandle> held;
        const RunResult result = installation.Run([&] {
            // Folders in the way of every temporary name the save could take.
            if (block == Block::FolderInTheWay)
                for (unsigned i = 0; i < 16; ++i)
                    CreateDirectoryA(
                        (install + "~Update-00" + (i < 10 ? "0" : "") + std::to_string(i) + ".tmp").c_str(), nullptr);
            if (block == Block::LedgerHeldOpen)
                held = std::make_unique<ScopedHandle>(CreateFileA(installation.LedgerPath().c_str(), GENERIC_READ, 0,
                                                                  nullptr, OPEN_EXISTING, 0, nullptr));
        });
        held.reset();
        EXPECT_TRUE(result.copied);
        EXPECT_FALSE(result.saved);
        EXPECT_EQ(installation.ExpectNothingLost(result), 1u);
    }
}

// A small tmpfs mounted as the installation folder by the suite's fixture.
class FullDiskTest : public FaultTest {
protected:
    void SetUp() override
    {
        FaultTest::SetUp();
        const char* folder = std::getenv("UPDATER_FULL_DISK_DIR");
        if (folder == nullptr) {
            GTEST_SKIP() << "UPDATER_FULL_DISK_DIR is not set";
        }
        const Bytes mounts = ReadWholeFileUnsized("Z:\\proc\\mounts");
        const std::string needle = std::string(" ") + folder + " tmpfs ";
        if (std::string(mounts.begin(), mounts.end()).find(needle) == std::string::npos) {
            const Bytes reason = ReadWholeFileUnsized(std::string("Z:") + folder + ".reason");
            GTEST_SKIP() << "no tmpfs at " << folder << ": " << std::string(reason.begin(), reason.end());
        }
        m_full = std::string("Z:") + folder + "\\";
        for (char& c : m_full)
            if (c == '/')
                c = '\\';
        Empty(m_full);
    }
    void TearDown() override
    {
        if (!m_full.empty())
            Empty(m_full);
        FaultTest::TearDown();
    }

    // Files under /proc report no size, so read until the end.
    static Bytes ReadWholeFileUnsized(const std::string& path)
    {
        const ScopedHandle file(
            CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        Bytes bytes;
        unsigned char buffer[4096];
        DWORD got = 0;
        while (file.IsValid() && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0
               && bytes.size() < (1u << 20))
            bytes.insert(bytes.end(), buffer, buffer + got);
        return bytes;
    }

    static void Empty(const std::string& folder)
    {
        for (const auto& [path, bytes] : Snapshot(folder)) {
            if (path.back() != '\\') {
                SetFileAttributesA((folder + path).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((folder + path).c_str());
            }
        }
        RemoveDirectoryA((folder + "sub").c_str());
    }

    std::string m_full;
};

// The tmpfs holds 1 MiB: a file of 3 MB cannot be copied; the half-written
// copy goes, and the ledger still fits.
TEST_F(FullDiskTest, FileThatDoesNotFitLeavesTheOldOne)
{
    CreateDirectoryA((m_full + "sub").c_str(), nullptr);
    Installation installation(m_full, m_root.Path());
    installation.Add("a.txt", Content(1000, 'a'), Content(1500, 'A'));
    installation.Add("huge.bin", Content(200000, 'h'), Content(3000000, 'H'));
    installation.Write();
    const RunResult result = installation.Run();
    EXPECT_FALSE(result.copied);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(installation.ExpectNothingLost(result), 1u);
}

// A ledger of over half the disk cannot be written beside itself: the save
// fails and the old ledger stays whole.
TEST_F(FullDiskTest, LedgerThatDoesNotFitKeepsTheOldOne)
{
    CreateDirectoryA((m_full + "sub").c_str(), nullptr);
    Installation installation(m_full, m_root.Path());
    installation.Add("a.txt", Content(1000, 'a'), Content(1500, 'A'));
    installation.Write(2200); // about 590 KB
    const RunResult result = installation.Run();
    EXPECT_TRUE(result.copied);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(installation.ExpectNothingLost(result), 1u);
    EXPECT_TRUE(ReadWholeFile(installation.LedgerPath()) == installation.OldLedger());
}

} // namespace
