#include "File.h"

CFile::~CFile()
{
    Close();
}

bool CFile::Open(const char* path, bool forWriting)
{
    Close();
    const HANDLE handle = forWriting
        ? CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
        : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_handle = nullptr;
        return false;
    }
    std::uint64_t size = 0;
    if (!forWriting) {
        DWORD high = 0;
        const DWORD low = GetFileSize(handle, &high);
        size = (static_cast<std::uint64_t>(high) << 32) | low;
    }
    Adopt(handle, size);
    return true;
}

bool CFile::CreateNew(const char* path)
{
    Close();
    const HANDLE handle =
        CreateFileA(path, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_handle = nullptr;
        return false;
    }
    Adopt(handle, 0);
    return true;
}

void CFile::Adopt(HANDLE handle, std::uint64_t size)
{
    m_handle = handle;
    m_kind = StreamKind::Handle;
    m_size = size;
    m_position = 0;
    m_readLimit = size;
}

bool CFile::Close()
{
    if (m_kind == StreamKind::Handle && m_handle != nullptr) {
        CloseHandle(m_handle);
        m_handle = nullptr;
    }
    m_kind = StreamKind::None;
    return true;
}

std::uint32_t CFile::Read(void* buffer, std::uint32_t count)
{
    if (m_kind != StreamKind::Handle)
        return 0;
    if (m_position + count > m_readLimit)
        count = m_position < m_readLimit ? static_cast<std::uint32_t>(m_readLimit - m_position) : 0;
    DWORD bytesRead = 0;
    if (!ReadFile(m_handle, buffer, count, &bytesRead, nullptr))
        return 0;
    m_position += bytesRead;
    return bytesRead;
}

std::uint32_t CFile::Write(const void* buffer, std::uint32_t count)
{
    if (m_kind != StreamKind::Handle)
        return 0;
    DWORD bytesWritten = 0;
    if (!WriteFile(m_handle, buffer, count, &bytesWritten, nullptr))
        return 0;
    m_size += bytesWritten;
    m_position += bytesWritten;
    return bytesWritten;
}

std::uint32_t CFile::CopyFrom(CFile& source, void* buffer, std::uint32_t count)
{
    const std::uint32_t got = source.Read(buffer, count);
    return Write(buffer, got);
}

std::uint64_t CFile::Tell() const
{
    if (m_kind != StreamKind::Handle)
        return 0;
    LONG high = 0;
    const DWORD low = SetFilePointer(m_handle, 0, &high, FILE_CURRENT);
    return (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
}
