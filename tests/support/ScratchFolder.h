#pragma once

// A folder of its own under the system's temp folder for one test, removed
// with everything in it when the test ends.

#include "ScopedOwners.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class ScratchFolder {
public:
    explicit ScratchFolder(const char* tag)
    {
        static unsigned counter = 0;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        // Process ids repeat between runs, so a name left by an aborted run is skipped.
        char name[MAX_PATH];
        do {
            std::snprintf(name, sizeof name, "%supd-%s-%lu-%u", temp, tag, GetCurrentProcessId(), ++counter);
        } while (!CreateDirectoryA(name, nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
        m_path = name;
    }
    ~ScratchFolder() { RemoveTree(m_path); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Path(const std::string& relative) const { return m_path + "\\" + relative; }

private:
    static void RemoveTree(const std::string& folder)
    {
        RemoveContents(folder);
        RemoveDirectoryA(folder.c_str());
    }

    static void RemoveContents(const std::string& folder)
    {
        WIN32_FIND_DATAA found;
        const ScopedFind search(FindFirstFileA((folder + "\\*").c_str(), &found));
        if (!search)
            return;
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = folder + "\\" + name;
            // A folder link is removed itself: what it leads to is not the test's.
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!RemoveDirectoryA(child.c_str()))
                    DeleteFileA(child.c_str());
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search.Get(), &found));
    }

    std::string m_path;
};

// Makes folder the working folder, and restores the previous one when the test ends.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder)
    {
        GetCurrentDirectoryA(sizeof m_previous, m_previous);
        SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryA(m_previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    char m_previous[MAX_PATH] = {};
};

inline bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    ScopedHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
}

inline std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<unsigned char> bytes;
    LARGE_INTEGER size{};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size))
        return bytes;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        got = 0;
    bytes.resize(got);
    return bytes;
}

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file of the given length whose bytes are zero except for prefix, kept
// sparse so that lengths beyond 4 GiB cost no disk space.
inline bool WriteSparseFile(const std::string& path, const std::vector<unsigned char>& prefix, std::uint64_t length)
{
    ScopedHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    DWORD ignored = 0;
    DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    DWORD written = 0;
    if (!WriteFile(file.Get(), prefix.data(), static_cast<DWORD>(prefix.size()), &written, nullptr))
        return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get());
}
