#include "CommonControls.h"

#include "Base.h"
#include "DllSafety.h"

#include <commctrl.h>
#include <cstdio>
#include <windows.h>

namespace {

// Owns one reference to a loaded DLL.
class CLibrary : public CBase {
public:
    explicit CLibrary(const char* path) : m_module(path ? LoadLibraryExA(path, nullptr, 0) : nullptr) {}
    virtual ~CLibrary()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    HMODULE Module() const { return m_module; }

private:
    HMODULE m_module;
};

// Full path of a DLL in System32, or false when it does not fit the buffer.
bool BuildSystemPath(char (&path)[MAX_PATH], const char* fileName)
{
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return false;
    const int written = std::snprintf(path, sizeof path, "%s\\%s", folder, fileName);
    return written > 0 && static_cast<std::size_t>(written) < sizeof path;
}

HMODULE LoadCommonControlsLibrary()
{
    char path[MAX_PATH];
    const bool built = BuildSystemPath(path, "comctl32.dll");
    static const CLibrary library(built ? path : nullptr);
    return library.Module();
}

} // namespace

bool LoadCommonControls()
{
    using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto initCommonControlsEx =
        FindFunction<InitCommonControlsExFunction>(LoadCommonControlsLibrary(), "InitCommonControlsEx");
    if (!initCommonControlsEx)
        return false;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    return initCommonControlsEx(&controls) != FALSE;
}
