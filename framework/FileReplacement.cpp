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

bool CFileReplacement::Begin(const char* destination)
{
    Abandon();
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
            return true;
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
    m_contents.Close();
    if (error == ERROR_SUCCESS && RenameOverDestination()) {
        m_pending = false;
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
    m_contents.Close();
    if (m_pending)
        DeleteFileA(m_temporary);
    m_pending = false;
}

bool CFileReplacement::RenameOverDestination()
{
    const DWORD attributes = GetFileAttributesA(m_destination);
    const bool clear = attributes != INVALID_FILE_ATTRIBUTES && (attributes & BlockingAttributes) != 0;
    if (clear)
        SetFileAttributesA(m_destination, FILE_ATTRIBUTE_NORMAL);

    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (MoveFileExA(m_temporary, m_destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (!IsTransientRenameError(error) || GetTickCount64() - start >= RenameRetryMs) {
            if (clear)
                SetFileAttributesA(m_destination, attributes);
            SetLastError(error);
            return false;
        }
        Sleep(RenameRetryPauseMs);
    }
}
