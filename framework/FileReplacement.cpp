#include "FileReplacement.h"

#include "PathRoom.h"

#include <cstdio>
#include <cstring>

namespace {

// Attributes that make a rename over the destination fail; they are cleared
// only right before the rename and put back when it fails.
constexpr DWORD BlockingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
// A scanner or indexer that opens a freshly written file usually lets go
// within a few hundred milliseconds; the rename waits about a second for it.
constexpr ULONGLONG RenameRetryMs = 1000;
constexpr DWORD RenameRetryPauseMs = 50;

// Index just past the last separator of path, or 0 when it has none.
std::size_t NameStart(const char* path, std::size_t length)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (path[i] == '\\' && MbcsByteType(path, i) == MbcsSingle)
            start = i + 1;
    return start;
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Whether two names are one to Windows as far as an ASCII name can tell.
bool SameAsciiName(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (FoldAscii(*a) != FoldAscii(*b))
            return false;
    return *a == *b;
}

bool IsTransientRenameError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
}

} // namespace

bool FormTemporaryPath(PathBuffer& temporary, const char* destination, unsigned attempt)
{
    const std::size_t length = strnlen(destination, PathCapacity);
    if (length >= PathCapacity || attempt >= TemporaryNameCount)
        return false;
    const std::size_t folderLength = NameStart(destination, length);
    if (folderLength + TemporaryNameLength >= PathCapacity)
        return false;
    std::memcpy(temporary, destination, folderLength);
    std::snprintf(temporary + folderLength, PathCapacity - folderLength, "~Update-%04u.tmp", attempt);
    return true;
}

CFileReplacement::~CFileReplacement()
{
    Abandon();
}

bool CFileReplacement::Begin(const char* destination, const CRealLocation* within)
{
    Abandon();
    m_within = within;
    if (!PathHasRoom(destination, "", RoomFor::Replacement)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::snprintf(m_destination, sizeof m_destination, "%s", destination);
    const char* destinationName = m_destination + NameStart(m_destination, std::strlen(m_destination));
    for (unsigned attempt = 0; attempt < TemporaryNameCount; ++attempt) {
        FormTemporaryPath(m_temporary, m_destination, attempt);
        // A destination that happens to carry a temporary name is never its own temporary.
        if (SameAsciiName(m_temporary + (destinationName - m_destination), destinationName))
            continue;
        if (m_contents.CreateNew(m_temporary)) {
            m_pending = true;
            if (within == nullptr || LiesWithin(m_contents.NativeHandle(), *within))
                return true;
            const DWORD error = GetLastError();
            Abandon();
            SetLastError(error);
            return false;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return false;
}

bool CFileReplacement::Commit()
{
    if (!m_pending) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD error = ERROR_SUCCESS;
    if (!FlushFileBuffers(m_contents.NativeHandle()))
        error = GetLastError();
    if (error == ERROR_SUCCESS && RenameOverDestination()) {
        m_pending = false;
        m_contents.Close();
        return true;
    }
    if (error == ERROR_SUCCESS)
        error = GetLastError();
    Abandon();
    SetLastError(error);
    return false;
}

void CFileReplacement::Abandon()
{
    // Through the handle: the name may have been swapped, the file cannot.
    if (m_pending) {
        FILE_DISPOSITION_INFO disposition = {};
        disposition.DeleteFile = TRUE;
        SetFileInformationByHandle(m_contents.NativeHandle(), FileDispositionInfo, &disposition, sizeof disposition);
    }
    m_contents.Close();
    m_pending = false;
}

bool CFileReplacement::DestinationAttributes(DWORD& attributes, DWORD flags) const
{
    // By name the system would follow a link to its target, wherever it lies.
    const HANDLE handle = CreateFileA(m_destination, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    FILE_BASIC_INFO basic = {};
    bool done = (m_within == nullptr || LiesWithin(handle, *m_within))
        && GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic);
    if (done) {
        attributes = basic.FileAttributes;
        if (flags != 0) {
            // Zero times leave the times as they are.
            FILE_BASIC_INFO change = {};
            change.FileAttributes = flags;
            done = SetFileInformationByHandle(handle, FileBasicInfo, &change, sizeof change) != FALSE;
        }
    }
    CloseHandle(handle);
    return done;
}

bool CFileReplacement::RenameThroughHandle()
{
    // The header with room for the widest UTF-16 form of an ANSI path.
    alignas(FILE_RENAME_INFO) unsigned char buffer[sizeof(FILE_RENAME_INFO) + PathCapacity * sizeof(wchar_t)] = {};
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, m_destination, -1, rename->FileName,
                                          static_cast<int>(PathCapacity));
    if (units <= 0)
        return false;
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>((units - 1) * sizeof(wchar_t));
    return SetFileInformationByHandle(m_contents.NativeHandle(), FileRenameInfo, rename,
                                      static_cast<DWORD>(sizeof buffer))
        != FALSE;
}

bool CFileReplacement::RenameOverDestination()
{
    // The name's own attributes, read without opening anything, say whether
    // a blocking one may be set; only then is the destination opened, checked
    // and cleared through its handle. Most destinations need no open at all.
    const DWORD named = GetFileAttributesA(m_destination);
    DWORD attributes = 0;
    const bool clear = named != INVALID_FILE_ATTRIBUTES && (named & BlockingAttributes) != 0
        && DestinationAttributes(attributes, 0) && (attributes & BlockingAttributes) != 0
        && DestinationAttributes(attributes, FILE_ATTRIBUTE_NORMAL);

    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (RenameThroughHandle())
            return true;
        const DWORD error = GetLastError();
        if (!IsTransientRenameError(error) || GetTickCount64() - start >= RenameRetryMs) {
            DWORD current = 0;
            if (clear)
                DestinationAttributes(current, attributes);
            SetLastError(error);
            return false;
        }
        Sleep(RenameRetryPauseMs);
    }
}
