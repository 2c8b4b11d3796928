#pragma once

// Owners of the handles a test opens beside the code under test. Each closes
// its kind of handle when it goes, and treats both null and
// INVALID_HANDLE_VALUE as holding nothing, whichever its opener returns.

#include <windows.h>

#include <utility>

template <typename Handle, auto Close>
class ScopedOwner {
public:
    ScopedOwner() = default;
    explicit ScopedOwner(Handle handle) : m_handle(handle) {}
    ~ScopedOwner() { Reset(); }
    ScopedOwner(const ScopedOwner&) = delete;
    ScopedOwner& operator=(const ScopedOwner&) = delete;
    ScopedOwner(ScopedOwner&& other) noexcept : m_handle(std::exchange(other.m_handle, Handle{})) {}
    ScopedOwner& operator=(ScopedOwner&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_handle, Handle{}));
        return *this;
    }

    bool IsValid() const { return m_handle != Handle{} && reinterpret_cast<void*>(m_handle) != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return m_handle; }
    // For an API that returns the handle through a pointer; whatever was
    // held is closed first.
    Handle* Receive()
    {
        Reset();
        return &m_handle;
    }
    void Reset(Handle handle = Handle{})
    {
        if (IsValid())
            Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle{};
};

inline BOOL WINAPI DeleteBitmap(HBITMAP bitmap)
{
    return DeleteObject(bitmap);
}

using ScopedHandle = ScopedOwner<HANDLE, CloseHandle>;
using ScopedFind = ScopedOwner<HANDLE, FindClose>;
using ScopedKey = ScopedOwner<HKEY, RegCloseKey>;
using ScopedWindow = ScopedOwner<HWND, DestroyWindow>;
using ScopedLibrary = ScopedOwner<HMODULE, FreeLibrary>;
using ScopedIcon = ScopedOwner<HICON, DestroyIcon>;
using ScopedBitmap = ScopedOwner<HBITMAP, DeleteBitmap>;
