#include "DataFiles.h"

#include "FileReplacement.h"
#include "PathHelpers.h"
#include "Validation.h"

#include <memory>
#include <new>

UpdateInfoHeader g_UpdateInfoHeader;
LedgerHeader g_LedgerHeader;
FileEntry* UpdateEntries = nullptr;
FileEntry* LedgerEntries = nullptr;

namespace {

using EntryArray = std::unique_ptr<FileEntry[]>;

// Zero-filled, so records beyond those read are defined too. Null when the
// count is beyond the data model or memory is exhausted.
EntryArray AllocateEntries(std::uint32_t count)
{
    if (count > MaxRecordCount)
        return nullptr;
    return EntryArray(new (std::nothrow) FileEntry[count]());
}

// Reads count records in one call; false unless all of them arrived.
bool ReadEntries(CFile& file, FileEntry* entries, std::uint32_t count)
{
    const std::uint32_t bytes = count * static_cast<std::uint32_t>(sizeof(FileEntry));
    return file.Read(entries, bytes) == bytes;
}

bool UpdatePathsAreSafe(const FileEntry* entries, std::uint32_t count)
{
    const MbcsClassifier& classifier = ActiveCodePageClassifier();
    for (std::uint32_t i = 0; i < count; ++i)
        if (CheckUpdatePath(entries[i].Path, classifier) != RecordProblem::None)
            return false;
    return true;
}

// False with the system's last error when a write failed.
bool WriteLedger(CFile& file)
{
    const std::uint32_t count = g_LedgerHeader.EntryCount;
    if (count > MaxRecordCount || (count > 0 && LedgerEntries == nullptr)) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    const std::uint32_t bytes = count * static_cast<std::uint32_t>(sizeof(FileEntry));
    const bool headerWritten = file.Write(&g_LedgerHeader, sizeof g_LedgerHeader) == sizeof g_LedgerHeader;
    return headerWritten && file.Write(LedgerEntries, bytes) == bytes;
}

} // namespace

bool LoadUpdateInfo(CFile& file, const char* path)
{
    if (!file.Open(path))
        return false;
    UpdateInfoHeader header{};
    file.Read(&header, sizeof header);
    const std::uint32_t count = header.EntryCount;
    if (file.Size() < RequiredFileSize(sizeof header, count) || !RecordCountsFit(count, 0)
        || CheckUpdateInfoHeader(header) != RecordProblem::None) {
        file.Close();
        return false;
    }
    EntryArray entries = AllocateEntries(count);
    const bool loaded = entries && ReadEntries(file, entries.get(), count) && UpdatePathsAreSafe(entries.get(), count);
    file.Close();
    if (!loaded)
        return false;
    g_UpdateInfoHeader = header;
    delete[] UpdateEntries;
    UpdateEntries = entries.release();
    return true;
}

bool LoadLedger(CFile& file, const char* path, const CRealLocation* within)
{
    if (!file.Open(path))
        return false;
    if (within != nullptr && !LiesWithin(file.NativeHandle(), *within)) {
        const DWORD error = GetLastError();
        file.Close();
        SetLastError(error);
        return false;
    }
    LedgerHeader header{};
    file.Read(&header, sizeof header);
    const std::uint32_t count = header.EntryCount;
    if (file.Size() < RequiredFileSize(sizeof header, count)
        || !RecordCountsFit(g_UpdateInfoHeader.EntryCount, count)) {
        file.Close();
        return false;
    }
    // Room for every update record, since the copy pass may append each one.
    EntryArray entries = AllocateEntries(g_UpdateInfoHeader.EntryCount + count);
    const bool loaded = entries && ReadEntries(file, entries.get(), count);
    file.Close();
    if (!loaded)
        return false;
    g_LedgerHeader = header;
    delete[] LedgerEntries;
    LedgerEntries = entries.release();
    return true;
}

bool SaveLedger(CFile& file, const char* path, const CRealLocation* within)
{
    // Replaced whole, so the ledger on disk is never seen half-written.
    CFileReplacement replacement(file);
    if (!replacement.Begin(path, within))
        return false;
    if (!WriteLedger(file)) {
        const DWORD error = GetLastError();
        replacement.Abandon();
        SetLastError(error);
        return false;
    }
    return replacement.Commit();
}

void FreeEntryArrays()
{
    delete[] UpdateEntries;
    UpdateEntries = nullptr;
    delete[] LedgerEntries;
    LedgerEntries = nullptr;
}
