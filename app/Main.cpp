#include "CommonControls.h"
#include "DllSafety.h"
#include "UpdateDriver.h"
#include "UserInterface.h"

#include <windows.h>

// No argument is read and the exit code is always 0.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // First of all: the program may run elevated from a download folder, where
    // a planted DLL must not be loaded.
    RestrictDllSearch();
    RefuseUntrustedLinks();
    LoadCommonControls();
    return UpdateDriver(instance, ProgramDialogs);
}
