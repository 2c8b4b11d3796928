#include "DllSafety.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

class Library {
public:
    explicit Library(const char* name) : m_module(LoadLibraryA(name)) {}
    ~Library()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    bool Loaded() const { return m_module != nullptr; }

private:
    HMODULE m_module;
};

class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder)
    {
        GetCurrentDirectoryA(sizeof m_previous, m_previous);
        SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryA(m_previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    char m_previous[MAX_PATH] = {};
};

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
        const Library besideProgram("planted.dll");
        const Library inCurrentFolder("planted_cwd.dll");
        ASSERT_TRUE(besideProgram.Loaded());
        ASSERT_TRUE(inCurrentFolder.Loaded());
    }

    EXPECT_TRUE(RestrictDllSearch());

    EXPECT_FALSE(Library("planted.dll").Loaded());
    EXPECT_FALSE(Library("planted_cwd.dll").Loaded());
    // System DLLs are still found by name.
    EXPECT_TRUE(Library("version.dll").Loaded());
}

} // namespace
