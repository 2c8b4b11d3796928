// Measures the copy pass, and Wine's own copy as its anchors, under the
// conditions of a real run: the program's own progress dialog (created
// hidden) on the calling thread, the process-wide update and ledger arrays,
// real files. Prints "key value" lines for scripts/bench, which assembles the
// table.

#include "CommonControls.h"
#include "CopyPass.h"
#include "DataFiles.h"
#include "File.h"
#include "LedgerIndex.h"
#include "PassSteps.h"
#include "UserInterface.h"

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t ChunkSize = 100000;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Report(const char* key, double value)
{
    std::printf("%s %.6f\n", key, value);
    std::fflush(stdout);
}

// The process's high-water mark of resident memory, in KiB.
double PeakResidentKiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<double>(counters.PeakWorkingSetSize) / 1024;
}

class Dialog {
public:
    // Opened and shown as the updater opens it: a hidden bar is never
    // redrawn, and its redraws are part of what the pass costs.
    Dialog() : m_window(ProgramDialogs.OpenProgress(GetModuleHandleA(nullptr))) {}
    ~Dialog()
    {
        if (m_window != nullptr)
            ProgramDialogs.CloseProgress(m_window);
    }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    HWND Handle() const { return m_window; }

private:
    HWND m_window;
};

FileEntry Entry(const std::string& path, std::uint32_t size)
{
    FileEntry entry{};
    std::snprintf(entry.Path, sizeof entry.Path, "%s", path.c_str());
    entry.Size = size;
    return entry;
}

// The arrays behind UpdateEntries and LedgerEntries, laid out as the loaders do.
struct RunArrays {
    std::vector<FileEntry> update;
    std::vector<FileEntry> ledger;

    void Install(std::uint32_t ledgerRecords)
    {
        ledger.resize(ledgerRecords + update.size());
        UpdateEntries = update.data();
        LedgerEntries = ledger.data();
        g_UpdateInfoHeader = {};
        g_UpdateInfoHeader.EntryCount = static_cast<std::uint32_t>(update.size());
        g_LedgerHeader = {};
        g_LedgerHeader.EntryCount = ledgerRecords;
    }
    ~RunArrays()
    {
        UpdateEntries = nullptr;
        LedgerEntries = nullptr;
    }
};

int RunPass(const Dialog& dialog, const char* installFolder, const char* sourceFolder)
{
    MSG message;
    // Dispatched, not only removed: a shown window's WM_PAINT stays until painted.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    Report("peak_before_kib", PeakResidentKiB());
    const double start = Now();
    const bool copied = CopyPass(dialog.Handle(), installFolder, sourceFolder);
    Report("pass_s", Now() - start);
    Report("peak_after_kib", PeakResidentKiB());
#ifdef UPDATER_PASS_TIMING
    ReportPassSteps(Report);
#endif
    return copied ? 0 : 1;
}

// big SOURCE\ INSTALL\ NAME: the pass over one file entry.
int Big(const Dialog& dialog, const char* source, const char* install, const char* name)
{
    CFile input;
    if (!input.Open((std::string(source) + name).c_str()))
        return 2;
    RunArrays arrays;
    arrays.update.push_back(Entry(name, static_cast<std::uint32_t>(input.Size())));
    input.Close();
    arrays.Install(0);
    return RunPass(dialog, install, source);
}

// many SOURCE\ INSTALL\ FOLDERS FILES LEDGER: folder entries dNNN\ with files
// dNNN\fNNN of 4 KiB; a tenth of the files are already in the ledger.
int Many(const Dialog& dialog, const char* source, const char* install, int folders, int files, int ledgerRecords)
{
    RunArrays arrays;
    char path[64];
    for (int d = 0; d < folders; ++d) {
        std::snprintf(path, sizeof path, "d%03d\\", d);
        arrays.update.push_back(Entry(path, 0));
        for (int f = 0; f < files; ++f) {
            std::snprintf(path, sizeof path, "d%03d\\f%03d", d, f);
            arrays.update.push_back(Entry(path, 4096));
        }
    }
    const int known = static_cast<int>(arrays.update.size()) / 10;
    arrays.Install(static_cast<std::uint32_t>(ledgerRecords));
    for (int i = 0; i < ledgerRecords; ++i) {
        if (i < known)
            LedgerEntries[i] = arrays.update[static_cast<std::size_t>(arrays.update.size() - 1 - i)];
        else
            LedgerEntries[i] = Entry("old\\record" + std::to_string(i) + ".dat", 1000);
    }
    return RunPass(dialog, install, source);
}

// merge RECORDS UPDATES: the ledger search alone, as the pass runs it: the
// index over the ledger, then one search per update record and an append for
// each new one (half of them).
int Merge(int records, int updates)
{
    std::vector<FileEntry> ledger(static_cast<std::size_t>(records + updates));
    for (int i = 0; i < records; ++i)
        ledger[i] = Entry("Program\\Module" + std::to_string(i) + "\\File.DAT", 10);
    std::vector<FileEntry> update;
    for (int i = 0; i < updates; ++i)
        update.push_back(Entry(i % 2 == 0 ? "program\\module" + std::to_string(i * (records / updates)) + "\\file.dat"
                                          : "new\\" + std::to_string(i),
                               20));
    const double start = Now();
    LedgerIndex index;
    index.Reserve(static_cast<std::uint32_t>(records + updates));
    index.Build(ledger.data(), static_cast<std::uint32_t>(records));
    const double built = Now();
    std::uint32_t count = static_cast<std::uint32_t>(records);
    for (const FileEntry& entry : update) {
        if (index.Find(entry.Path) == LedgerIndex::NotFound) {
            ledger[count] = entry;
            index.Add(count);
            ++count;
        }
    }
    const double done = Now();
    Report("merge_build_s", built - start);
    Report("merge_lookup_s", done - built);
    Report("merge_appended", count - static_cast<std::uint32_t>(records));
    return 0;
}

int CopyFileBench(const char* source, const char* destination)
{
    const double start = Now();
    const bool copied = CopyFileA(source, destination, FALSE) != 0;
    Report("copyfile_s", Now() - start);
    return copied ? 0 : 1;
}

// bare SOURCE DESTINATION: the floor for a durable copy on one thread, the
// plain ReadFile/WriteFile loop with one reused buffer and one flush.
int Bare(const char* source, const char* destination)
{
    CFile input;
    CFile output;
    if (!input.Open(source) || !output.Open(destination, true))
        return 2;
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[ChunkSize]);
    const double start = Now();
    std::uint32_t got;
    do {
        got = input.Read(buffer.get(), ChunkSize);
        output.Write(buffer.get(), got);
    } while (got == ChunkSize);
    const double copied = Now();
    const bool flushed = FlushFileBuffers(output.NativeHandle()) != 0;
    const double done = Now();
    Report("bare_io_s", copied - start);
    Report("bare_flush_s", done - copied);
    Report("bare_s", done - start);
    return flushed ? 0 : 1;
}

enum class AnchorKind { CopyFile, CopyFileFlush, DurableReplace };

bool FlushByName(const std::string& path)
{
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return flushed;
}

// One file copied with Wine's own calls, the obvious way for each promise.
bool AnchorCopy(AnchorKind kind, const std::string& source, const std::string& destination)
{
    switch (kind) {
    case AnchorKind::CopyFile:
        return CopyFileA(source.c_str(), destination.c_str(), FALSE) != 0;
    case AnchorKind::CopyFileFlush:
        return CopyFileA(source.c_str(), destination.c_str(), FALSE) != 0 && FlushByName(destination);
    case AnchorKind::DurableReplace: {
        const std::string temporary = destination + ".tmp";
        return CopyFileA(source.c_str(), temporary.c_str(), FALSE) != 0 && FlushByName(temporary)
            && MoveFileExA(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
            != 0;
    }
    }
    return false;
}

// anchor KIND SOURCE\ INSTALL\ FOLDERS FILES: the tree of the many mode copied
// file by file with CopyFileA (copyfile), then reopened and flushed
// (copyfile_flush), or to a temporary name, flushed and renamed over the
// destination (durable).
int Anchor(const std::string& kindName, const char* source, const char* install, int folders, int files)
{
    AnchorKind kind;
    if (kindName == "copyfile")
        kind = AnchorKind::CopyFile;
    else if (kindName == "copyfile_flush")
        kind = AnchorKind::CopyFileFlush;
    else if (kindName == "durable")
        kind = AnchorKind::DurableReplace;
    else
        return 2;
    char path[64];
    const double start = Now();
    for (int d = 0; d < folders; ++d) {
        std::snprintf(path, sizeof path, "d%03d", d);
        CreateDirectoryA((std::string(install) + path).c_str(), nullptr);
        for (int f = 0; f < files; ++f) {
            std::snprintf(path, sizeof path, "d%03d\\f%03d", d, f);
            if (!AnchorCopy(kind, std::string(source) + path, std::string(install) + path))
                return 1;
        }
    }
    Report("anchor_s", Now() - start);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    if (mode == "merge" && argc == 4)
        return Merge(std::atoi(argv[2]), std::atoi(argv[3]));
    if (mode == "copyfile" && argc == 4)
        return CopyFileBench(argv[2], argv[3]);
    if (mode == "bare" && argc == 4)
        return Bare(argv[2], argv[3]);
    if (mode == "anchor" && argc == 7)
        return Anchor(argv[2], argv[3], argv[4], std::atoi(argv[5]), std::atoi(argv[6]));
    if (!LoadCommonControls())
        return 3;
    const Dialog dialog;
    if (dialog.Handle() == nullptr)
        return 3;
    if (mode == "big" && argc == 5)
        return Big(dialog, argv[2], argv[3], argv[4]);
    if (mode == "many" && argc == 7)
        return Many(dialog, argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    return 2;
}
