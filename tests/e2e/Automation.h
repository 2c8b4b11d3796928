#pragma once

// Drives a GUI program from another process the way a user would: finds its
// top-level windows, reads what they show and presses their buttons. Every
// wait is bounded and says what it waited for when it gives up.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
std::wstring ItemText(HWND dialog, int id);
// The text of a message box: its static controls that hold text, joined by newlines.
std::wstring MessageBoxText(HWND box);
// Caption, class and text of every visible top-level window of the process, for failure reports.
std::wstring DescribeWindows(DWORD processId);

// The visible top-level windows of a process, in z-order.
std::vector<HWND> TopLevelWindows(DWORD processId);

// Presses a button of a dialog as a click would.
bool ClickButton(HWND dialog, int id);
// Presses a key in the window that has the keyboard focus on the dialog's
// thread (the dialog itself when none has).
bool PressKey(HWND dialog, WORD virtualKey);
// The close button of the caption.
bool PressCloseButton(HWND window);

// Owns a process handle and its thread handle; a process still running when
// this is destroyed is ended, so a failed test leaves no window behind.
class ChildProcess {
public:
    // Starts program in its own folder with the given arguments (already quoted).
    ChildProcess(const std::wstring& program, const std::wstring& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_info.hProcess != nullptr; }
    DWORD Id() const { return m_info.dwProcessId; }
    HANDLE Handle() const { return m_info.hProcess; }
    // False when it has not ended within timeoutMs.
    bool WaitForExit(DWORD timeoutMs, DWORD& exitCode);

private:
    PROCESS_INFORMATION m_info{};
};

// What a wait found: a window, or why none was found.
struct Found {
    HWND window = nullptr;
    std::string error; // UTF-8
    explicit operator bool() const { return window != nullptr; }
};

using WindowTest = std::function<bool(HWND)>;

// A visible dialog (class #32770) of the process that passes test.
Found WaitForDialog(const ChildProcess& process, const std::string& description, const WindowTest& test,
                    DWORD timeoutMs);

// Until window is gone or hidden; false when it is still shown after timeoutMs.
bool WaitUntilGone(HWND window, DWORD timeoutMs);

// Records every distinct caption among the process's visible top-level
// windows until it ends; false when it did not end within timeoutMs.
bool WatchUntilExit(ChildProcess& process, DWORD timeoutMs, std::vector<std::wstring>& captionsSeen, DWORD& exitCode);

WindowTest CaptionIs(const std::wstring& caption);
WindowTest ItemTextIs(int id, const std::wstring& text);
// A message box: a dialog whose only button is OK, and which holds no other
// controls but static ones, one of them with text.
WindowTest IsMessageBox();

std::string Utf8(const std::wstring& text);
