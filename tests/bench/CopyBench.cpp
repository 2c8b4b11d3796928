// Measures the copy pass and its parts under the conditions of a real run:
// the program's own progress dialog (created hidden) on the calling thread,
// the process-wide update and ledger arrays, real files. Prints "key value"
// lines for scripts/bench, which assembles the table.

#include "CommonControls.h"
#include "CopyPass.h"
#include "DataFiles.h"
#include "File.h"
#include "LedgerIndex.h"
#include "ProgressDialog.h"
#include "Texts.h"
#include "resource.h"

#include <windows.h>

#include <commctrl.h>
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
    Dialog()
        : m_window(
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialog, 0))
    {
    }
    ~Dialog()
    {
        if (m_window != nullptr)
            DestroyWindow(m_window);
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
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
    Report("peak_before_kib", PeakResidentKiB());
    const double start = Now();
    const bool copied = CopyPass(dialog.Handle(), installFolder, sourceFolder);
    Report("pass_s", Now() - start);
    Report("peak_after_kib", PeakResidentKiB());
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
    index.Build(ledger.data(), static_cast<std::uint32_t>(records));
    const double built = Now();
    std::uint32_t count = static_cast<std::uint32_t>(records);
    for (const FileEntry& entry : update) {
        if (index.Find(entry.Path) == LedgerIndex::NotFound) {
            ledger[count] = entry;
            index.Add(ledger[count], count);
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

// costs BIGFILE SCRATCH\: the price of each thing the pass does, measured alone.
int Costs(const Dialog& dialog, const char* bigFile, const char* scratch)
{
    constexpr int Calls = 20000;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
    double start = Now();
    for (int i = 0; i < Calls; ++i)
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    Report("peek_us", (Now() - start) / Calls * 1e6);

    start = Now();
    for (int i = 0; i < Calls; ++i)
        GetTickCount64();
    Report("tick_us", (Now() - start) / Calls * 1e6);

    {
        CFile input;
        if (!input.Open(bigFile))
            return 2;
        start = Now();
        for (int i = 0; i < Calls; ++i)
            input.Tell();
        Report("tell_us", (Now() - start) / Calls * 1e6);
    }

    start = Now();
    for (int i = 0; i < Calls; ++i)
        SendDlgItemMessageA(dialog.Handle(), IDC_PROGRESS_BAR, PBM_SETPOS, i % 101, 0);
    Report("setpos_us", (Now() - start) / Calls * 1e6);
    // The bar repaints only when its position changes; most chunks send the same one.
    start = Now();
    for (int i = 0; i < Calls; ++i)
        SendDlgItemMessageA(dialog.Handle(), IDC_PROGRESS_BAR, PBM_SETPOS, 50, 0);
    Report("setpos_same_us", (Now() - start) / Calls * 1e6);
    // The same message sent to the bar's handle, looked up once.
    const HWND bar = GetDlgItem(dialog.Handle(), IDC_PROGRESS_BAR);
    start = Now();
    for (int i = 0; i < Calls; ++i)
        SendMessageA(bar, PBM_SETPOS, 50, 0);
    Report("setpos_direct_us", (Now() - start) / Calls * 1e6);
    start = Now();
    for (int i = 0; i < Calls; ++i)
        SendMessageA(bar, PBM_SETPOS, i % 101, 0);
    Report("setpos_move_direct_us", (Now() - start) / Calls * 1e6);

    char status[PathFieldSize + 16];
    start = Now();
    for (int i = 0; i < Calls; ++i) {
        FormatText(status, CopyingStatusFormat, i % 2 ? "d001\\f001" : "d002\\f002");
        SetDlgItemTextA(dialog.Handle(), IDC_STATUS_TEXT, status);
    }
    Report("settext_us", (Now() - start) / Calls * 1e6);
    const HWND statusText = GetDlgItem(dialog.Handle(), IDC_STATUS_TEXT);
    start = Now();
    for (int i = 0; i < Calls; ++i) {
        FormatText(status, CopyingStatusFormat, i % 2 ? "d001\\f001" : "d002\\f002");
        SetWindowTextA(statusText, status);
    }
    Report("settext_direct_us", (Now() - start) / Calls * 1e6);

    // Attributes cleared on an installed file, and on a temporary name that is not there.
    const std::string installed = std::string(scratch) + "installed.txt";
    CFile().Open(installed.c_str(), true);
    start = Now();
    for (int i = 0; i < Calls / 10; ++i)
        SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
    Report("attr_existing_us", (Now() - start) / (Calls / 10) * 1e6);
    const std::string missing = installed + ".~up";
    start = Now();
    for (int i = 0; i < Calls / 10; ++i)
        SetFileAttributesA(missing.c_str(), FILE_ATTRIBUTE_NORMAL);
    Report("attr_missing_us", (Now() - start) / (Calls / 10) * 1e6);
    DeleteFileA(installed.c_str());

    // Whole-file I/O with one reused buffer, then through CFile::CopyFrom, whose
    // only difference is a fresh chunk buffer per call.
    const std::string target = std::string(scratch) + "io.bin";
    {
        CFile input;
        CFile output;
        if (!input.Open(bigFile) || !output.Open(target.c_str(), true))
            return 2;
        const std::unique_ptr<unsigned char[]> buffer(new unsigned char[ChunkSize]);
        start = Now();
        std::uint32_t got;
        do {
            got = input.Read(buffer.get(), ChunkSize);
            output.Write(buffer.get(), got);
        } while (got == ChunkSize);
        Report("io_reused_s", Now() - start);
        start = Now();
        FlushFileBuffers(output.NativeHandle());
        Report("flush_big_s", Now() - start);
    }
    DeleteFileA(target.c_str());
    {
        CFile input;
        CFile output;
        if (!input.Open(bigFile) || !output.Open(target.c_str(), true))
            return 2;
        start = Now();
        while (output.CopyFrom(input, ChunkSize) == ChunkSize) {}
        Report("io_copyfrom_s", Now() - start);
    }
    DeleteFileA(target.c_str());

    start = Now();
    for (int i = 0; i < Calls; ++i) {
        const std::unique_ptr<unsigned char[]> chunk(new unsigned char[ChunkSize]);
        chunk[i % ChunkSize] = 1;
    }
    Report("alloc_us", (Now() - start) / Calls * 1e6);

    // Small files written as the pass writes them: to a temporary name, then
    // renamed; once without and once with the flush before the rename.
    constexpr int Files = 2000;
    std::vector<unsigned char> page(4096, 0x5A);
    for (const bool flush : {false, true}) {
        double writing = 0;
        double flushing = 0;
        double renaming = 0;
        for (int i = 0; i < Files; ++i) {
            const std::string temporary = std::string(scratch) + "small" + std::to_string(i) + ".~up";
            const std::string final = std::string(scratch) + "small" + std::to_string(i);
            double t0 = Now();
            CFile output;
            output.Open(temporary.c_str(), true);
            output.Write(page.data(), static_cast<std::uint32_t>(page.size()));
            double t1 = Now();
            if (flush)
                FlushFileBuffers(output.NativeHandle());
            double t2 = Now();
            output.Close();
            MoveFileExA(temporary.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            double t3 = Now();
            writing += t1 - t0;
            flushing += t2 - t1;
            renaming += t3 - t2;
        }
        if (flush)
            Report("small_flush_us", flushing / Files * 1e6);
        else {
            Report("small_write_us", writing / Files * 1e6);
            Report("small_rename_us", renaming / Files * 1e6);
        }
    }
    for (int i = 0; i < Files; ++i)
        DeleteFileA((std::string(scratch) + "small" + std::to_string(i)).c_str());
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
    if (!LoadCommonControls())
        return 3;
    const Dialog dialog;
    if (dialog.Handle() == nullptr)
        return 3;
    if (mode == "big" && argc == 5)
        return Big(dialog, argv[2], argv[3], argv[4]);
    if (mode == "many" && argc == 7)
        return Many(dialog, argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
    if (mode == "costs" && argc == 4)
        return Costs(dialog, argv[2], argv[3]);
    return 2;
}
