#pragma once

#include <cstring>
#include <windows.h>

// The program runs elevated and is often started from a download folder, where
// a planted DLL could wait. Called before anything else: from then on DLLs are
// searched for in System32 only, and the current folder is never searched.
// False on a system that lacks SetDefaultDllDirectories; the current folder is
// dropped from the search there too.
bool RestrictDllSearch();

// The installation may be written by any program of the user: where the system
// offers it, links planted by a less trusted user are then not followed by
// this elevated process. False where the system lacks it (Wine accepts the
// call and enforces nothing); the copy pass checks real locations either way.
bool RefuseUntrustedLinks();

// A function of a loaded module by name, or null. Lets the program use
// functions that an older system lacks, or that live in a DLL it must not
// import statically.
template <typename Function>
Function FindFunction(HMODULE module, const char* name)
{
    const FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    static_assert(sizeof(Function) == sizeof address);
    Function function;
    std::memcpy(&function, &address, sizeof function);
    return function;
}
