#pragma once

// A real window that stands for the progress dialog: a hidden top-level
// window whose Cancel command sets CancelFlag as the dialog's button does,
// with child controls under the dialog's ids that record what the copy pass
// shows in them.

#include "CopyPass.h"
#include "ScopedOwners.h"
#include "resource.h"

#include <commctrl.h>
#include <windows.h>

#include <string>
#include <vector>

// Every progress position and status text the controls received, and when
// (by GetTickCount64) the last Cancel reached the window.
struct ProgressRecording {
    std::vector<unsigned> progress;
    std::vector<std::string> status;
    ULONGLONG cancelDispatchedAt = 0;
};
inline ProgressRecording g_progressRecording;

inline LRESULT CALLBACK RecordingControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS) {
        g_progressRecording.progress.push_back(static_cast<unsigned>(wParam));
        return 0;
    }
    if (message == WM_SETTEXT && GetDlgCtrlID(window) == IDC_STATUS_TEXT)
        g_progressRecording.status.emplace_back(reinterpret_cast<const char*>(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

inline LRESULT CALLBACK CancellingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        CancelFlag = 1;
        g_progressRecording.cancelDispatchedAt = GetTickCount64();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class CancellingProgressWindow {
public:
    CancellingProgressWindow()
    {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        static const bool registered = [instance] {
            WNDCLASSA control{};
            control.lpfnWndProc = RecordingControlProc;
            control.hInstance = instance;
            control.lpszClassName = "RecordingControl";
            WNDCLASSA parent{};
            parent.lpfnWndProc = CancellingWindowProc;
            parent.hInstance = instance;
            parent.lpszClassName = "CancellingProgress";
            return RegisterClassA(&control) != 0 && RegisterClassA(&parent) != 0;
        }();
        if (!registered)
            return;
        m_window.Reset(CreateWindowA("CancellingProgress", "progress", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                     instance, nullptr));
        CreateWindowA("RecordingControl", "", WS_CHILD, 0, 0, 10, 10, m_window.Get(),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)), instance, nullptr);
        CreateWindowA("RecordingControl", "Static", WS_CHILD, 0, 0, 10, 10, m_window.Get(),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_TEXT)), instance, nullptr);
    }

    HWND Handle() const { return m_window.Get(); }

private:
    ScopedWindow m_window;
};

// Removes whatever is queued for the thread, so that no earlier message
// reaches the next pass.
inline void DrainMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
}
