#include "CopyPass.h"

#include "DataFiles.h"
#include "File.h"
#include "LedgerIndex.h"
#include "PassTiming.h"
#include "PathHelpers.h"
#include "Texts.h"
#include "resource.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <new>

std::int32_t CancelFlag = 0;

namespace {

constexpr std::uint32_t ChunkSize = 100000;
// Progress switches formula above this size so that p x 100 cannot overflow.
constexpr std::uint64_t SmallFileLimit = 10000000;
// A file is copied beside its destination under this suffix and renamed over
// it only when complete, so an installed file is never left half-written.
constexpr char TempSuffix[] = ".~up";
constexpr std::size_t TempSuffixLength = sizeof(TempSuffix) - 1;
// Under Wine one PeekMessageA is a round trip to the window server that costs
// about as much as copying a chunk, so after full chunks a message is
// dispatched at most this often; a click on Cancel still counts within about
// this time and one chunk.
constexpr ULONGLONG MessageCheckIntervalMs = 50;

std::size_t PathLength(const FileEntry& entry)
{
    return strnlen(entry.Path, PathFieldSize);
}

// The kind test looks at the last byte alone: a path ending in a double-byte
// character with trail byte 0x5C counts as a folder too.
bool IsFolderEntry(const FileEntry& entry)
{
    const std::size_t length = PathLength(entry);
    return length > 0 && entry.Path[length - 1] == '\\';
}

// Joins folder and relative path; false instead of a cut path.
bool JoinPath(PathBuffer& out, const char* folder, const char* relative, const char* suffix = "")
{
    const int written = std::snprintf(out, sizeof out, "%s%s%s", folder, relative, suffix);
    return written >= 0 && static_cast<std::size_t>(written) < sizeof out;
}

std::uint32_t ProgressValue(std::uint64_t position, std::uint64_t size)
{
    if (size == 0)
        return 0;
    if (size <= SmallFileLimit)
        return static_cast<std::uint32_t>(position * 100 / size);
    return static_cast<std::uint32_t>(position / (size / 100));
}

// The dialog's controls are looked up once per pass: under Wine every
// SendDlgItemMessageA or SetDlgItemTextA asks the window server for the
// dialog's children again. The controls receive the same messages either way.
struct ProgressControls {
    explicit ProgressControls(HWND dialog)
        : bar(GetDlgItem(dialog, IDC_PROGRESS_BAR)), status(GetDlgItem(dialog, IDC_STATUS_TEXT))
    {
    }
    HWND bar;
    HWND status;
};

void SetProgress(HWND progressBar, std::uint32_t value)
{
    SendMessageA(progressBar, PBM_SETPOS, value, 0);
}

// Lets the progress dialog's Cancel button reach CancelFlag. At most one
// message per call, and without the dialog manager's keyboard handling. One
// PeekMessageA that removes the message takes the place of a peek and a
// GetMessageA: under Wine each is a round trip to the window server.
void DispatchOnePendingMessage()
{
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

// Clears the attributes that can keep an installed file from being replaced.
// Under Wine, setting the attributes of an existing file costs about ten times
// reading them, and most installed files carry none of these.
void ClearBlockingAttributes(const char* path)
{
    constexpr DWORD Blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & Blocking) != 0)
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

// The ledger in memory, searched through an index so that large ledgers merge
// in linear time; the first matching record in record order always wins.
class LedgerMerge {
public:
    LedgerMerge() { m_index.Build(LedgerEntries, g_LedgerHeader.EntryCount); }

    void MergeFolder(const FileEntry& entry)
    {
        if (m_index.Find(entry.Path) == LedgerIndex::NotFound)
            Append(entry);
    }

    void MergeFile(const FileEntry& entry)
    {
        const std::uint32_t match = m_index.Find(entry.Path);
        if (match != LedgerIndex::NotFound) {
            FileEntry& record = LedgerEntries[match];
            g_LedgerHeader.TotalSize += entry.Size - record.Size; // wraps modulo 2^32
            record.Size = entry.Size;
            record.Extra = entry.Extra;
            return;
        }
        Append(entry);
        g_LedgerHeader.FileCount += 1;
        g_LedgerHeader.TotalSize += entry.Size;
    }

private:
    // The loader sized LedgerEntries with room for one record per update entry.
    void Append(const FileEntry& entry)
    {
        const std::uint32_t index = g_LedgerHeader.EntryCount;
        FileEntry& record = LedgerEntries[index];
        std::memset(&record, 0, sizeof record);
        std::memcpy(record.Path, entry.Path, PathLength(entry) + 1);
        record.Size = entry.Size;
        record.Extra = entry.Extra;
        g_LedgerHeader.EntryCount = index + 1;
        m_index.Add(record, index);
    }

    LedgerIndex m_index;
};

// Removes the temporary copy unless it has been moved into place.
class TempFileGuard {
public:
    explicit TempFileGuard(const char* path) : m_path(path) {}
    ~TempFileGuard()
    {
        if (m_path != nullptr)
            DeleteFileA(m_path);
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    void Release() { m_path = nullptr; }

private:
    const char* m_path;
};

// Copies one file entry into place; false when it could not be copied whole.
bool CopyFileEntry(const ProgressControls& controls, const FileEntry& entry, const char* installFolder,
                   const char* sourceFolder)
{
    PathBuffer destination;
    PathBuffer source;
    PathBuffer temporary;
    if (!JoinPath(destination, installFolder, entry.Path) || !JoinPath(source, sourceFolder, entry.Path)
        || !JoinPath(temporary, installFolder, entry.Path, TempSuffix))
        return false;

    PASS_LAP(Status);
    // Room for the longest path with the format's own 13 bytes, so no name is cut.
    char status[PathFieldSize + 16];
    FormatText(status, CopyingStatusFormat, entry.Path);
    SetWindowTextA(controls.status, status);

    PASS_LAP(Attributes);
    ClearBlockingAttributes(destination);

    PASS_LAP(OpenSource);
    // The source first: a missing source must not disturb the installed file.
    CFile input;
    if (!input.Open(source))
        return false;
    // Declared before the output stream, so the copy is closed before it is removed.
    TempFileGuard guard(temporary);
    PASS_LAP(CreateTemporary);
    SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
    CFile output;
    if (!output.Open(temporary, true))
        return false;

    std::uint64_t copied = 0;
    bool dispatched = false;
    ULONGLONG lastDispatch = 0;
    for (;;) {
        PASS_LAP(Progress);
        SetProgress(controls.bar, ProgressValue(input.Tell(), input.Size()));
        PASS_LAP(Copy);
        std::uint32_t written;
        try {
            written = output.CopyFrom(input, ChunkSize);
        } catch (const std::bad_alloc&) {
            return false;
        }
        copied += written;
        if (written < ChunkSize)
            break;
        PASS_LAP(Dispatch);
        // Every file's first full chunk dispatches, so a click made before it
        // counts; later ones wait out the interval.
        const ULONGLONG now = GetTickCount64();
        if (dispatched && now - lastDispatch < MessageCheckIntervalMs)
            continue;
        dispatched = true;
        lastDispatch = now;
        DispatchOnePendingMessage();
        if (CancelFlag == 1)
            return false;
    }
    // A short chunk also ends the loop when a read or write failed; only a
    // copy of every byte counts as finished.
    if (copied != input.Size())
        return false;
    PASS_LAP(Progress);
    SetProgress(controls.bar, 100);

    PASS_LAP(Flush);
    const bool flushed = FlushFileBuffers(output.NativeHandle()) != 0;
    PASS_LAP(Close);
    output.Close();
    input.Close();
    PASS_LAP(Rename);
    if (!flushed || !MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    guard.Release();
    return true;
}

} // namespace

bool UpdateFitsFolders(const char* installFolder, const char* sourceFolder)
{
    const std::size_t installLength = std::strlen(installFolder);
    const std::size_t sourceLength = std::strlen(sourceFolder);
    for (std::uint32_t i = 0; i < g_UpdateInfoHeader.EntryCount; ++i) {
        const FileEntry& entry = UpdateEntries[i];
        const std::size_t length = PathLength(entry);
        const std::size_t suffix = IsFolderEntry(entry) ? 0 : TempSuffixLength;
        if (installLength + length + suffix >= PathCapacity || sourceLength + length >= PathCapacity)
            return false;
    }
    return true;
}

bool CopyPass(HWND progressWindow, const char* installFolder, const char* sourceFolder)
{
    PASS_TIMED_PASS();
    CreateDirectoryTree(installFolder);
    if (g_UpdateInfoHeader.EntryCount == 0)
        return true;

    LedgerMerge ledger;
    const ProgressControls controls(progressWindow);
    for (std::uint32_t i = 0; i < g_UpdateInfoHeader.EntryCount; ++i) {
        const FileEntry& entry = UpdateEntries[i];
        if (IsFolderEntry(entry)) {
            PASS_LAP(Folder);
            PathBuffer folder;
            if (!JoinPath(folder, installFolder, entry.Path))
                return false;
            CreateDirectoryTree(folder);
            PASS_LAP(Merge);
            ledger.MergeFolder(entry);
            continue;
        }
        if (!CopyFileEntry(controls, entry, installFolder, sourceFolder))
            return false;
        PASS_LAP(Merge);
        ledger.MergeFile(entry);
    }
    return true;
}
