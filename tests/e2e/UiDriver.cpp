// Runs Update.exe and answers it as a user who agrees would: OK at the
// confirmation, then OK at the result. Prints one line per window it meets:
//
//   confirm|progress|result <X window id> <x>,<y>,<width>,<height> <caption> | <text>
//
// With --pause it then waits for a line on its input before it goes on, so
// that a script can take a picture of the window first (the copy itself does
// not wait). Exits with Update.exe's exit code, or 3 when a window did not
// appear in time.
//
//   uidriver.exe run [--pause] PROGRAM

#include "Automation.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD WindowTimeoutMs = 120000;
constexpr int IdcStatusText = 1002;
constexpr int IdcConfirmText = 1004;

void Print(const std::string& line)
{
    const std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

// Until a newline or the end of the input.
void AwaitLine()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char c = 0;
    DWORD got = 0;
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n') {}
}

// The X11 window that Wine shows the window in, for taking its picture.
unsigned long long XWindowOf(HWND window)
{
    return reinterpret_cast<unsigned long long>(GetPropW(window, L"__wine_x11_whole_window"));
}

void Announce(const char* what, HWND window, const std::wstring& text, bool pause)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    char head[128];
    std::snprintf(head, sizeof head, "%s 0x%llx %ld,%ld,%ld,%ld ", what, XWindowOf(window), rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
    std::wstring flat = text;
    for (wchar_t& c : flat)
        if (c == L'\n')
            c = L' ';
    Print(head + Utf8(WindowText(window)) + " | " + Utf8(flat));
    if (pause)
        AwaitLine();
}

bool Fail(const Found& found)
{
    Print("uidriver: " + found.error);
    return false;
}

// Part-way through a file of several chunks, so its picture shows the bar moving.
bool IsCopying(HWND window)
{
    const HWND bar = FindWindowExW(window, nullptr, L"msctls_progress32", nullptr);
    DWORD_PTR position = 0;
    return bar && ItemText(window, IdcStatusText) != L"Static"
        && SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position) && position >= 5
        && position <= 50;
}

bool IsConfirmation(HWND window)
{
    return GetDlgItem(window, IdcConfirmText) != nullptr && GetDlgItem(window, IDCANCEL) != nullptr;
}

int Run(const std::wstring& program, bool pause)
{
    ChildProcess process(program, L"");
    const Found confirm = WaitForDialog(process, "the confirmation dialog", IsConfirmation, WindowTimeoutMs);
    if (!confirm)
        return Fail(confirm), 3;
    Announce("confirm", confirm.window, ItemText(confirm.window, IdcConfirmText), pause);
    ClickButton(confirm.window, IDOK);
    WaitUntilGone(confirm.window, WindowTimeoutMs);
    Print("pressed OK");

    // A small update may be over before its progress dialog is seen.
    bool progressSeen = false;
    const Found result = WaitForDialog(
        process, "the result message",
        [&](HWND window) {
            if (!progressSeen && IsCopying(window)) {
                progressSeen = true;
                Announce("progress", window, ItemText(window, IdcStatusText), pause);
            }
            return IsMessageBox()(window);
        },
        WindowTimeoutMs);
    if (!result)
        return Fail(result), 3;
    Announce("result", result.window, MessageBoxText(result.window), pause);
    ClickButton(result.window, IDOK);
    Print("pressed OK");

    DWORD code = 0;
    if (!process.WaitForExit(WindowTimeoutMs, code)) {
        Print("uidriver: Update.exe did not end");
        return 3;
    }
    Print("exit " + std::to_string(code));
    return static_cast<int>(code);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool pause = argc == 4 && std::wstring(argv[2]) == L"--pause";
    if ((argc != 3 && !pause) || std::wstring(argv[1]) != L"run") {
        Print("usage: uidriver run [--pause] PROGRAM");
        return 2;
    }
    return Run(argv[argc - 1], pause);
}
