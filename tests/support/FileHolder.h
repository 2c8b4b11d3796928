#pragma once

// Holds a file open without sharing, as a virus scanner or indexer does for a
// moment after a file is written: opened at construction, let go by a second
// thread after the given time, or at destruction.

#include <windows.h>

#include <string>
#include <thread>

class FileHolder {
public:
    FileHolder(const std::string& path, DWORD milliseconds)
        : m_file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
          m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        m_releaser = std::thread([this, milliseconds] {
            WaitForSingleObject(m_stop, milliseconds);
            if (m_file != INVALID_HANDLE_VALUE)
                CloseHandle(m_file);
        });
    }
    ~FileHolder()
    {
        SetEvent(m_stop);
        m_releaser.join();
        CloseHandle(m_stop);
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool Held() const { return m_file != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_file;
    HANDLE m_stop;
    std::thread m_releaser;
};
