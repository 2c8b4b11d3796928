#pragma once

// Where a file or folder really lies once every link on the way to it is
// followed, as the system names it for an open handle ("\\?\C:\..."). Kept in
// UTF-16: the conversion to the ANSI code page is lossy (a name outside code
// page 932 becomes '?', so two names could compare equal), and the file system
// compares names by UTF-16 upper case, not by the bytes of code page 932.

#include <cstddef>
#include <windows.h>

// ERROR_STOPPED_ON_SYMLINK, which the headers of this tool chain lack.
constexpr DWORD ErrorLiesOutside = 681;
constexpr std::size_t RealPathCapacity = 1024; // UTF-16 units, terminator included

class CRealLocation {
public:
    // The real location of what handle names; false, and empty, when the
    // system cannot name it or the name would not fit.
    bool Of(HANDLE handle);
    // Whether inner is this location itself or lies below it. A name that only
    // begins like this one (C:\AppX against C:\App) does not.
    bool Holds(const CRealLocation& inner) const;
    bool IsEmpty() const { return m_length == 0; }
    const wchar_t* Text() const { return m_path; }

private:
    wchar_t m_path[RealPathCapacity] = {};
    std::size_t m_length = 0;
};

// The real location of an existing folder, found through a handle to the
// folder itself, so a folder that is reached through a link yields its target.
bool FindRealFolder(CRealLocation& location, const char* folder);

// The one test of containment: whether the open handle's real location is
// folder or lies below it. False when it lies elsewhere, with the last error
// ErrorLiesOutside, or when the system cannot name it.
bool LiesWithin(HANDLE handle, const CRealLocation& folder);
