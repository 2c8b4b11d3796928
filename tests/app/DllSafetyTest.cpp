#include "DllSafety.h"

#include "ScopedOwners.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program(path, length);
    return program.substr(0, program.find_last_of('\\'));
}

// One test: the restriction holds for the rest of the process, so the
// planted DLLs are first shown to load without it.
TEST(DllSafety, PlantedDllsAreNotLoadedOnceTheSearchIsRestricted)
{
    const ScratchFolder scratch("dllsafety");
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\planted.dll").c_str(), scratch.Path("planted_cwd.dll").c_str(), TRUE));
    const CurrentFolder current(scratch.Path());

    {
        const ScopedLibrary besideProgram(LoadLibraryA("planted.dll"));
        const ScopedLibrary inCurrentFolder(LoadLibraryA("planted_cwd.dll"));
        ASSERT_TRUE(besideProgram.IsValid());
        ASSERT_TRUE(inCurrentFolder.IsValid());
    }

    EXPECT_TRUE(RestrictDllSearch());

    EXPECT_FALSE(ScopedLibrary(LoadLibraryA("planted.dll")).IsValid());
    EXPECT_FALSE(ScopedLibrary(LoadLibraryA("planted_cwd.dll")).IsValid());
    // System DLLs are still found by name.
    EXPECT_TRUE(ScopedLibrary(LoadLibraryA("version.dll")).IsValid());
}

} // namespace
