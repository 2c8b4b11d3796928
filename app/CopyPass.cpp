#include "CopyPass.h"

#include "DataFiles.h"
#include "File.h"
#include "FileReplacement.h"
#include "LedgerIndex.h"
#include "PassTiming.h"
#include "PathHelpers.h"
#include "PathRoom.h"
#include "RealLocation.h"
#include "Texts.h"
#include "resource.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

std::int32_t CancelFlag = 0;

namespace {

constexpr std::uint32_t ChunkSize = 100000;
// Progress switches formula above this size so that p x 100 cannot overflow.
constexpr std::uint64_t SmallFileLimit = 10000000;
// Under Wine one PeekMessageA is a round trip to the window server that costs
// about as much as copying a chunk, so after full chunks and between files a
// message is dispatched at most this often; a click on Cancel still counts
// within about this time and one chunk or file.
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
bool JoinPath(PathBuffer& out, const char* folder, const char* relative)
{
    const int written = std::snprintf(out, sizeof out, "%s%s", folder, relative);
    return written >= 0 && static_cast<std::size_t>(written) < sizeof out;
}

// The real locations that every write and every read of the pass must lie in.
struct PassBounds {
    CRealLocation install;
    CRealLocation source;
};

// Whether folder exists and really lies within the installation, links followed.
bool FolderLiesWithin(const char* folder, const CRealLocation& install)
{
    const HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool within = LiesWithin(handle, install);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return within;
}

// Creates the folder entry's folders level by level, each checked to really
// lie within the installation before the next is created below it, so a
// level that is a link leading out gets nothing created through it.
bool CreateFolderWithin(const char* installFolder, const char* relative, const CRealLocation& install)
{
    const std::size_t length = std::strlen(relative);
    PathBuffer level;
    PathBuffer folder;
    for (std::size_t i = 1; i <= length; ++i) {
        // Each separator ends a level, and so does the end of a name without one.
        const std::size_t at = i < length ? i : i - 1;
        const bool separator = relative[at] == '\\' && MbcsByteType(relative, at) == MbcsSingle;
        if (i < length ? !separator : separator)
            continue;
        if (i >= sizeof level)
            return false;
        std::memcpy(level, relative, i);
        level[i] = '\0';
        if (!JoinPath(folder, installFolder, level))
            return false;
        // An existing level makes this fail; the check below decides.
        CreateDirectoryA(folder, nullptr);
        if (!FolderLiesWithin(folder, install))
            return false;
    }
    return true;
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

// What the pass needs, allocated before the user confirms, so that once files
// are replaced no allocation can fail: the index falls back to a scan, and
// without a chunk the pass fails before it changes anything.
struct PassMemory {
    LedgerIndex index;
    std::unique_ptr<unsigned char[]> chunk;
    bool prepared = false;
};
PassMemory g_passMemory;

// Freed when the pass ends, however it ends.
class PassMemoryRelease {
public:
    PassMemoryRelease() = default;
    ~PassMemoryRelease() { g_passMemory = PassMemory(); }
    PassMemoryRelease(const PassMemoryRelease&) = delete;
    PassMemoryRelease& operator=(const PassMemoryRelease&) = delete;
};

// The ledger in memory, searched through an index so that large ledgers merge
// in linear time; the first matching record in record order always wins.
class LedgerMerge {
public:
    explicit LedgerMerge(LedgerIndex& index) : m_index(index)
    {
        m_index.Build(LedgerEntries, g_LedgerHeader.EntryCount);
    }

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
        m_index.Add(index);
    }

    LedgerIndex& m_index;
};

// Copies one file entry into place; false when it could not be copied whole.
bool CopyFileEntry(const ProgressControls& controls, const FileEntry& entry, const char* installFolder,
                   const char* sourceFolder, const PassBounds& bounds, ULONGLONG& lastDispatch)
{
    PathBuffer destination;
    PathBuffer source;
    if (!JoinPath(destination, installFolder, entry.Path) || !JoinPath(source, sourceFolder, entry.Path))
        return false;

    PASS_LAP(Status);
    // Room for the longest path with the format's own 13 bytes, so no name is cut.
    char status[PathFieldSize + 16];
    FormatText(status, CopyingStatusFormat, entry.Path);
    SetWindowTextA(controls.status, status);

    PASS_LAP(Checks);
    // Nothing is written into a folder that a link leads out of the installation.
    PathBuffer destinationFolder;
    if (!FolderLiesWithin(GetDirectory(destinationFolder, destination), bounds.install))
        return false;

    PASS_LAP(OpenSource);
    // The source first: a missing source must not disturb the installed file.
    // A link in data must not make an elevated run copy what it could not read.
    CFile input;
    if (!input.Open(source) || !LiesWithin(input.NativeHandle(), bounds.source))
        return false;
    PASS_LAP(CreateTemporary);
    CFile output;
    CFileReplacement replacement(output);
    if (!replacement.Begin(destination, &bounds.install))
        return false;

    std::uint64_t copied = 0;
    bool dispatched = false;
    for (;;) {
        PASS_LAP(Progress);
        // Every chunk before this one was read and written whole, so the
        // bytes copied are the source's position: no position query per chunk.
        SetProgress(controls.bar, ProgressValue(copied, input.Size()));
        PASS_LAP(Copy);
        const std::uint32_t written = output.CopyFrom(input, g_passMemory.chunk.get(), ChunkSize);
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
    PASS_LAP(Replace);
    input.Close();
    return replacement.Commit();
}

} // namespace

void PrepareCopyPass()
{
    // Room for every ledger record and one appended per update entry, as the loader sized LedgerEntries.
    const std::uint64_t records = static_cast<std::uint64_t>(g_LedgerHeader.EntryCount) + g_UpdateInfoHeader.EntryCount;
    g_passMemory.index.Reserve(records > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<std::uint32_t>(records));
    g_passMemory.chunk.reset(new (std::nothrow) unsigned char[ChunkSize]);
    g_passMemory.prepared = true;
}

bool UpdateFitsFolders(const char* installFolder, const char* sourceFolder)
{
    for (std::uint32_t i = 0; i < g_UpdateInfoHeader.EntryCount; ++i) {
        const FileEntry& entry = UpdateEntries[i];
        const RoomFor installed = IsFolderEntry(entry) ? RoomFor::Path : RoomFor::Replacement;
        if (!PathHasRoom(installFolder, entry.Path, installed) || !PathHasRoom(sourceFolder, entry.Path, RoomFor::Path))
            return false;
    }
    return true;
}

bool CopyPass(HWND progressWindow, const char* installFolder, const char* sourceFolder)
{
    PASS_TIMED_PASS();
    const PassMemoryRelease release;
    CreateDirectoryTree(installFolder);
    if (g_UpdateInfoHeader.EntryCount == 0)
        return true;
    // Found once: an installation reached through a link stays legitimate.
    PassBounds bounds;
    if (!FindRealFolder(bounds.install, installFolder) || !FindRealFolder(bounds.source, sourceFolder))
        return false;

    // A caller that did not prepare gets the same memory here, with the same fallbacks.
    if (!g_passMemory.prepared)
        PrepareCopyPass();
    if (!g_passMemory.chunk)
        return false;
    LedgerMerge ledger(g_passMemory.index);
    const ProgressControls controls(progressWindow);
    ULONGLONG lastDispatch = GetTickCount64();
    for (std::uint32_t i = 0; i < g_UpdateInfoHeader.EntryCount; ++i) {
        const FileEntry& entry = UpdateEntries[i];
        if (IsFolderEntry(entry)) {
            PASS_LAP(Folder);
            PathBuffer folder;
            if (!JoinPath(folder, installFolder, entry.Path))
                return false;
            // A folder entry counts only when the folder is there.
            const DWORD attributes = CreateFolderWithin(installFolder, entry.Path, bounds.install)
                ? GetFileAttributesA(folder)
                : INVALID_FILE_ATTRIBUTES;
            if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                return false;
            PASS_LAP(Merge);
            ledger.MergeFolder(entry);
            continue;
        }
        if (!CopyFileEntry(controls, entry, installFolder, sourceFolder, bounds, lastDispatch))
            return false;
        PASS_LAP(Merge);
        ledger.MergeFile(entry);
        // Between files too, or an update of small files would never see Cancel
        // and Windows would mark the dialog as not responding.
        const ULONGLONG now = GetTickCount64();
        if (now - lastDispatch >= MessageCheckIntervalMs) {
            lastDispatch = now;
            DispatchOnePendingMessage();
            if (CancelFlag == 1)
                return false;
        }
    }
    return true;
}
