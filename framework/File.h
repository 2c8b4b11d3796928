#pragma once

#include "Base.h"

#include <cstdint>
#include <windows.h>

enum class StreamKind : std::uint32_t {
    None = 0,   // closed, holds nothing
    Handle = 1, // open on an operating-system file handle
};

// A byte stream over one file handle, opened either to read an existing file
// or to write a file created anew. Failures show only in the results: false,
// or a byte count smaller than the one asked for.
class CFile : public CBase {
public:
    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Closes whatever the stream held, then opens path. Reading shares the file
    // for reading only; writing truncates or creates it and shares it for writing only.
    bool Open(const char* path, bool forWriting = false);
    // Closes whatever the stream held, then creates path for writing, without
    // sharing. Fails when the name exists in any form, file or link, so
    // nothing that was there is ever opened. The handle may also delete or
    // rename the file. The system's last error tells why it failed.
    bool CreateNew(const char* path);
    bool Close();

    std::uint32_t Read(void* buffer, std::uint32_t count);
    std::uint32_t Write(const void* buffer, std::uint32_t count);
    // Reads up to count bytes from source into buffer (the caller's, so that a
    // copy allocates nothing) and writes what it got to this stream; returns
    // the bytes written.
    std::uint32_t CopyFrom(CFile& source, void* buffer, std::uint32_t count);

    std::uint64_t Tell() const;
    std::uint64_t Size() const { return m_size; }

    StreamKind Kind() const { return m_kind; }
    HANDLE NativeHandle() const { return m_handle; }

private:
    void Adopt(HANDLE handle, std::uint64_t size);

    HANDLE m_handle = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_readLimit = 0;
    StreamKind m_kind = StreamKind::None;
};
