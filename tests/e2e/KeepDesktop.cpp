// Holds one hidden top-level window until it is killed. Wine's desktop
// process ends when the last window of a session closes and starts again for
// the next program; a program started at that moment can stall for over a
// minute, so a test session keeps this running from start to end.

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KeepDesktop";
    if (!RegisterClassW(&windowClass))
        return 1;
    if (!CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, instance,
                         nullptr))
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
