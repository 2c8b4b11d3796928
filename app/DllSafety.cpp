#include "DllSafety.h"

bool RestrictDllSearch()
{
    SetDllDirectoryA("");
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        FindFunction<SetDefaultDllDirectoriesFunction>(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    return setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
