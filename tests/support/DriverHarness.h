#pragma once

// Runs the real update driver in the test process: against real files, the
// real registry (HKEY_CURRENT_USER) and a real progress window, with a
// scripted user in place of the confirmation and the message boxes.

#include "CancellingProgressWindow.h"
#include "DataFiles.h"
#include "ScopedOwners.h"
#include "UpdateDriver.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A copy of an empty DLL, loaded from folder: the driver finds its update
// (Updateinf.dat and data) beside it, as beside Update.exe.
class ProgramModule {
public:
    explicit ProgramModule(const std::string& folder)
    {
        std::string built = PROGRAM_MODULE_DLL;
        if (!built.empty() && built[0] == '/')
            built = "Z:" + built; // Wine shows the build machine's root as drive Z:
        for (char& c : built)
            if (c == '/')
                c = '\\';
        const std::string copy = folder + "\\Update.dll";
        // Another rig in the same folder has placed it already.
        if (CopyFileA(built.c_str(), copy.c_str(), TRUE) || GetLastError() == ERROR_FILE_EXISTS)
            m_module.Reset(LoadLibraryA(copy.c_str()));
    }

    bool IsLoaded() const { return m_module.IsValid(); }
    HINSTANCE Handle() const { return m_module.Get(); }

private:
    ScopedLibrary m_module;
};

// A registry key of its own under HKEY_CURRENT_USER, removed with its values.
class InstallKey {
public:
    explicit InstallKey(const char* tag)
    {
        static unsigned counter = 0;
        char path[128];
        std::snprintf(path, sizeof path, "Software\\UpdaterTests\\%s-%lu-%u", tag, GetCurrentProcessId(), ++counter);
        m_path = path;
        RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, m_key.Receive(),
                        nullptr);
    }
    ~InstallKey()
    {
        m_key.Reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    }
    InstallKey(const InstallKey&) = delete;
    InstallKey& operator=(const InstallKey&) = delete;

    bool IsOpen() const { return m_key.IsValid(); }
    const std::string& Path() const { return m_path; }
    bool SetValue(const char* name, const std::string& value)
    {
        return RegSetValueExA(m_key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1))
            == ERROR_SUCCESS;
    }

private:
    std::string m_path;
    ScopedKey m_key;
};

struct ShownMessage {
    std::string text;
    const char* caption; // as given: null for the system's default
};

// What the scripted user answers, and what it was shown.
struct UserScript {
    INT_PTR answer = 1;
    // Runs while the confirmation is up.
    std::function<void()> onConfirm;
    // Open and close the progress window; by default a new
    // CancellingProgressWindow for each run.
    std::function<HWND()> openProgress;
    std::function<void(HWND)> closeProgress;
    // Runs while each message is up, after it has been recorded.
    std::function<void(const ShownMessage&)> onMessage;

    int confirmations = 0;
    HWND progress = nullptr;
    bool progressClosed = false;
    ULONGLONG progressClosedAt = 0;
    std::vector<ShownMessage> messages;
    std::unique_ptr<CancellingProgressWindow> defaultProgress;
};

inline UserScript* g_userScript = nullptr;

inline INT_PTR ScriptedConfirm(HINSTANCE)
{
    ++g_userScript->confirmations;
    if (g_userScript->onConfirm)
        g_userScript->onConfirm();
    return g_userScript->answer;
}

inline HWND ScriptedOpenProgress(HINSTANCE)
{
    if (g_userScript->openProgress) {
        g_userScript->progress = g_userScript->openProgress();
    } else {
        g_userScript->defaultProgress = std::make_unique<CancellingProgressWindow>();
        g_userScript->progress = g_userScript->defaultProgress->Handle();
    }
    return g_userScript->progress;
}

inline void ScriptedCloseProgress(HWND progress)
{
    g_userScript->progressClosed = progress == g_userScript->progress;
    g_userScript->progressClosedAt = GetTickCount64();
    if (g_userScript->closeProgress)
        g_userScript->closeProgress(progress);
    else
        g_userScript->defaultProgress.reset();
}

inline void ScriptedShowMessage(const char* text, const char* caption)
{
    g_userScript->messages.push_back({text, caption});
    if (g_userScript->onMessage)
        g_userScript->onMessage(g_userScript->messages.back());
}

inline const UserInterface ScriptedUser{ScriptedConfirm, ScriptedOpenProgress, ScriptedCloseProgress,
                                        ScriptedShowMessage};

// One run of the driver from a process-wide state as at process start.
inline int RunDriver(const ProgramModule& program, UserScript& script)
{
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};
    DrainMessages();
    g_userScript = &script;
    const int result = UpdateDriver(program.Handle(), ScriptedUser);
    g_userScript = nullptr;
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};
    return result;
}
