#include "RealLocation.h"

bool CRealLocation::Of(HANDLE handle)
{
    m_length = 0;
    m_path[0] = L'\0';
    const DWORD length = GetFinalPathNameByHandleW(handle, m_path, static_cast<DWORD>(RealPathCapacity),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // A result of the capacity or more is the size it would need: nothing was written.
    if (length == 0 || length >= RealPathCapacity) {
        if (length >= RealPathCapacity)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        m_path[0] = L'\0';
        return false;
    }
    // A drive's root comes with its separator; no other folder does.
    m_length = length;
    return true;
}

bool CRealLocation::Holds(const CRealLocation& inner) const
{
    if (IsEmpty() || inner.m_length < m_length)
        return false;
    // Case folded as the file system folds names: ordinal, by UTF-16 upper case.
    if (CompareStringOrdinal(m_path, static_cast<int>(m_length), inner.m_path, static_cast<int>(m_length), TRUE)
        != CSTR_EQUAL)
        return false;
    return inner.m_length == m_length || m_path[m_length - 1] == L'\\' || inner.m_path[m_length] == L'\\';
}

bool FindRealFolder(CRealLocation& location, const char* folder)
{
    const HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool found = location.Of(handle);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return found;
}

bool LiesWithin(HANDLE handle, const CRealLocation& folder)
{
    CRealLocation location;
    if (!location.Of(handle))
        return false;
    if (folder.Holds(location))
        return true;
    SetLastError(ErrorLiesOutside);
    return false;
}
