#include "Output.h"

#include <string>
#include <windows.h>

namespace {

// A console shows UTF-16 whatever its code page; a file or pipe gets UTF-8.
void Write(DWORD stdHandle, std::string_view utf8)
{
    const HANDLE handle = GetStdHandle(stdHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty())
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        if (length <= 0)
            return;
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

} // namespace

void ConsoleOutput::Out(std::string_view utf8)
{
    Write(STD_OUTPUT_HANDLE, utf8);
}

void ConsoleOutput::Err(std::string_view utf8)
{
    Write(STD_ERROR_HANDLE, utf8);
}
