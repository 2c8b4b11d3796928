#pragma once

// A second thread for a test, joined when it goes out of scope. The programs
// are built with the compiler's win32 thread model, which has no std::thread.

#include <windows.h>

#include <functional>
#include <utility>

class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> body) : m_body(std::move(body))
    {
        m_thread = CreateThread(nullptr, 0, Start, this, 0, nullptr);
    }
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    bool Started() const { return m_thread != nullptr; }

    void Join()
    {
        if (m_thread) {
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
            m_thread = nullptr;
        }
    }

private:
    static DWORD WINAPI Start(LPVOID self)
    {
        static_cast<WorkerThread*>(self)->m_body();
        return 0;
    }

    std::function<void()> m_body;
    HANDLE m_thread = nullptr;
};
