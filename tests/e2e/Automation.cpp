#include "Automation.h"

#include <algorithm>

namespace {

constexpr DWORD PollIntervalMs = 10;
constexpr int TextCapacity = 1024;

BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->first && IsWindowVisible(window))
        search->second->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
    return TRUE;
}

std::vector<HWND> Children(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// A message sent to another process waits for its thread to take it; the
// bound keeps a hung program from hanging the caller.
bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}

} // namespace

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[TextCapacity];
    const int length = GetWindowTextW(window, text, TextCapacity);
    return std::wstring(text, static_cast<std::size_t>(std::max(length, 0)));
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

std::wstring ItemText(HWND dialog, int id)
{
    const HWND item = GetDlgItem(dialog, id);
    return item ? WindowText(item) : std::wstring();
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring text;
    for (HWND child : Children(box)) {
        if (!IsWindowVisible(child) || _wcsicmp(ClassName(child).c_str(), L"Static") != 0)
            continue;
        const std::wstring part = WindowText(child);
        if (part.empty())
            continue;
        if (!text.empty())
            text += L'\n';
        text += part;
    }
    return text;
}

std::vector<HWND> TopLevelWindows(DWORD processId)
{
    std::vector<HWND> windows;
    std::pair<DWORD, std::vector<HWND>*> search{processId, &windows};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return windows;
}

std::wstring DescribeWindows(DWORD processId)
{
    std::wstring description;
    for (HWND window : TopLevelWindows(processId)) {
        description += L"\n  [" + ClassName(window) + L"] \"" + WindowText(window) + L"\"";
        for (HWND child : Children(window)) {
            if (IsWindowVisible(child))
                description += L"\n    " + std::to_wstring(GetDlgCtrlID(child)) + L" [" + ClassName(child) + L"] \""
                    + WindowText(child) + L"\"";
        }
    }
    return description.empty() ? L" (none)" : description;
}

bool ClickButton(HWND dialog, int id)
{
    const HWND button = GetDlgItem(dialog, id);
    return button && SendBounded(button, BM_CLICK, 0, 0);
}

bool PressKey(HWND dialog, WORD virtualKey)
{
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const DWORD threadId = GetWindowThreadProcessId(dialog, nullptr);
    HWND target = dialog;
    if (GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus
        && (thread.hwndFocus == dialog || IsChild(dialog, thread.hwndFocus)))
        target = thread.hwndFocus;
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scanCode) << 16);
    const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
    return PostMessageW(target, WM_KEYDOWN, virtualKey, down) && PostMessageW(target, WM_KEYUP, virtualKey, up);
}

bool PressCloseButton(HWND window)
{
    return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &m_info))
        m_info = PROCESS_INFORMATION{};
}

ChildProcess::~ChildProcess()
{
    if (!m_info.hProcess)
        return;
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 10000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode)
{
    if (!m_info.hProcess || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(m_info.hProcess, &exitCode) != 0;
}

Found WaitForDialog(const ChildProcess& process, const std::string& description, const WindowTest& test,
                    DWORD timeoutMs)
{
    Found found;
    if (!process.Started()) {
        found.error = "the program did not start, so no " + description + " can appear";
        return found;
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        for (HWND window : TopLevelWindows(process.Id())) {
            if (ClassName(window) == L"#32770" && test(window)) {
                found.window = window;
                return found;
            }
        }
        if (WaitForSingleObject(process.Handle(), 0) == WAIT_OBJECT_0) {
            found.error = "the program ended while waiting for " + description;
            return found;
        }
        if (GetTickCount64() >= deadline) {
            found.error = "timed out after " + std::to_string(timeoutMs / 1000) + " s waiting for " + description
                + "; the program's windows:" + Utf8(DescribeWindows(process.Id()));
            return found;
        }
        Sleep(PollIntervalMs);
    }
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(PollIntervalMs);
    }
    return true;
}

bool WatchUntilExit(ChildProcess& process, DWORD timeoutMs, std::vector<std::wstring>& captionsSeen, DWORD& exitCode)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        for (HWND window : TopLevelWindows(process.Id())) {
            const std::wstring caption = WindowText(window);
            if (std::find(captionsSeen.begin(), captionsSeen.end(), caption) == captionsSeen.end())
                captionsSeen.push_back(caption);
        }
        if (process.WaitForExit(0, exitCode))
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(PollIntervalMs);
    }
}

WindowTest CaptionIs(const std::wstring& caption)
{
    return [caption](HWND window) { return WindowText(window) == caption; };
}

WindowTest ItemTextIs(int id, const std::wstring& text)
{
    return [id, text](HWND window) { return ItemText(window, id) == text; };
}

WindowTest IsMessageBox()
{
    return [](HWND window) {
        const HWND ok = GetDlgItem(window, IDOK);
        if (!ok || !IsWindowVisible(ok))
            return false;
        bool text = false;
        for (HWND child : Children(window)) {
            if (!IsWindowVisible(child) || child == ok)
                continue;
            if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0)
                return false;
            text = text || !WindowText(child).empty();
        }
        return text;
    };
}
