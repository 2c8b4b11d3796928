#include "Registry.h"

#include <cstring>

CRegistry::~CRegistry()
{
    if (m_key)
        RegCloseKey(m_key);
}

bool CRegistry::OpenKey(HKEY root, const char* subkey)
{
    if (m_key) {
        RegCloseKey(m_key);
        m_key = nullptr;
    }
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &m_key) == ERROR_SUCCESS)
        return true;
    m_key = nullptr;
    return false;
}

bool CRegistry::QueryValue(const char* name, void* buffer, std::uint32_t size)
{
    DWORD type = 0;
    DWORD length = size;
    auto* bytes = static_cast<BYTE*>(buffer);
    if (RegQueryValueExA(m_key, name, nullptr, &type, bytes, &length) != ERROR_SUCCESS)
        return false;
    // Callers use the data as a NUL-terminated string, and a string may be
    // stored without its terminator: one must lie within the buffer.
    if (length > size)
        return false;
    if (std::memchr(bytes, 0, length))
        return true;
    if (length == size)
        return false;
    bytes[length] = 0;
    return true;
}
