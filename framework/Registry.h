#pragma once

#include "Base.h"

#include <cstdint>
#include <windows.h>

// Reads values of one registry key, which it opens and owns.
class CRegistry : public CBase {
public:
    CRegistry() = default;
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // Closes the key held before, also when this open fails.
    bool OpenKey(HKEY root, const char* subkey);
    // True when the value's data, and a terminating NUL for it, lie within size bytes.
    bool QueryValue(const char* name, void* buffer, std::uint32_t size);

private:
    HKEY m_key = nullptr;
};
