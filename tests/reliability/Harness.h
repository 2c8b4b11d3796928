#pragma once

// A scratch installation run through the update's whole sequence without its
// modal dialogs: both loads, the path check, the copy pass under a hidden
// window that stands for the progress dialog, and the ledger's write-back.

#include "CopyPass.h"
#include "DataFiles.h"
#include "ScratchFolder.h"
#include "resource.h"

#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// When the last click on Cancel reached the window, by GetTickCount64.
inline ULONGLONG g_cancelDispatchedAt = 0;

// Sets CancelFlag the way the progress dialog's Cancel button does.
inline LRESULT CALLBACK CancellingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        CancelFlag = 1;
        g_cancelDispatchedAt = GetTickCount64();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class HiddenProgressWindow {
public:
    HiddenProgressWindow()
    {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        static const bool registered = [instance] {
            WNDCLASSA parent{};
            parent.lpfnWndProc = CancellingWindowProc;
            parent.hInstance = instance;
            parent.lpszClassName = "ReliabilityProgress";
            return RegisterClassA(&parent) != 0;
        }();
        if (!registered)
            return;
        m_window = CreateWindowA("ReliabilityProgress", "progress", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 instance, nullptr);
        CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, m_window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)), instance, nullptr);
        CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 10, 10, m_window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_TEXT)), instance, nullptr);
    }
    ~HiddenProgressWindow()
    {
        if (m_window != nullptr)
            DestroyWindow(m_window);
    }
    HiddenProgressWindow(const HiddenProgressWindow&) = delete;
    HiddenProgressWindow& operator=(const HiddenProgressWindow&) = delete;
    HWND Handle() const { return m_window; }

private:
    HWND m_window = nullptr;
};

inline void DrainMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
}

inline FileEntry MakeEntry(const std::string& path, std::uint32_t size, std::uint32_t extra = 0)
{
    FileEntry entry{};
    std::memcpy(entry.Path, path.data(), std::min(path.size(), sizeof entry.Path));
    if (path.size() < sizeof entry.Path)
        entry.Path[path.size()] = '\0';
    entry.Size = size;
    entry.Extra = extra;
    return entry;
}

template <typename Header>
Bytes DataFileBytes(const Header& header, const std::vector<FileEntry>& entries)
{
    Bytes bytes(sizeof header + entries.size() * sizeof(FileEntry));
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!entries.empty())
        std::memcpy(bytes.data() + sizeof header, entries.data(), entries.size() * sizeof(FileEntry));
    return bytes;
}

inline Bytes UpdateInfoBytes(const std::vector<FileEntry>& entries)
{
    UpdateInfoHeader header{};
    std::strcpy(header.ProductName, "Reliability");
    std::strcpy(header.RegistryKey, "Software\\Reliability");
    std::strcpy(header.RegistryValueName, "InstallDir");
    header.EntryCount = static_cast<std::uint32_t>(entries.size());
    return DataFileBytes(header, entries);
}

inline Bytes LedgerBytes(const std::vector<FileEntry>& entries)
{
    LedgerHeader header{};
    for (std::size_t i = 0; i < sizeof header.Reserved1; ++i)
        header.Reserved1[i] = static_cast<unsigned char>(i * 3 + 1);
    header.EntryCount = static_cast<std::uint32_t>(entries.size());
    for (const FileEntry& entry : entries) {
        if (std::strlen(entry.Path) > 0 && entry.Path[std::strlen(entry.Path) - 1] != '\\') {
            header.FileCount += 1;
            header.TotalSize += entry.Size;
        }
    }
    return DataFileBytes(header, entries);
}

// Every file and folder below root, by relative path, with its content.
inline void TakeSnapshot(const std::string& root, const std::string& relative, std::map<std::string, Bytes>& snapshot)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((root + "\\" + relative + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = relative + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            snapshot[child + "\\"] = {};
            TakeSnapshot(root, child + "\\", snapshot);
        } else {
            snapshot[child] = ReadWholeFile(root + "\\" + child);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

inline std::map<std::string, Bytes> Snapshot(const std::string& root)
{
    std::map<std::string, Bytes> snapshot;
    TakeSnapshot(root, "", snapshot);
    return snapshot;
}

// What one run did and what it told: each step's result, and the ledger
// bytes that SaveLedger was asked to write.
struct RunResult {
    bool loaded = false;
    bool fits = false;
    bool copied = false;
    bool saved = false;
    Bytes ledgerAtSave;
};

// The update's sequence on the files in place: root\Updateinf.dat, source
// folder root\data\, installation folder install (ending with a backslash).
// beforeSave runs between the pass and the ledger's write-back.
inline RunResult RunUpdate(HWND window, const std::string& updateInfo, const std::string& install,
                           const std::string& source, const std::function<void()>& beforeSave = {})
{
    RunResult result;
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};
    CFile file;
    const std::string ledger = install + "Uninstallinf.dat";
    result.loaded = LoadUpdateInfo(file, updateInfo.c_str()) && LoadLedger(file, ledger.c_str());
    if (result.loaded) {
        result.fits = UpdateFitsFolders(install.c_str(), source.c_str());
        if (result.fits) {
            DrainMessages();
            result.copied = CopyPass(window, install.c_str(), source.c_str());
            result.ledgerAtSave =
                DataFileBytes(g_LedgerHeader,
                              std::vector<FileEntry>(LedgerEntries, LedgerEntries + g_LedgerHeader.EntryCount));
            if (beforeSave)
                beforeSave();
            result.saved = SaveLedger(file, ledger.c_str());
        }
    }
    FreeEntryArrays();
    g_UpdateInfoHeader = {};
    g_LedgerHeader = {};
    return result;
}

// Files named as the temporaries of the copy pass and SaveLedger (~Update-NNNN.tmp).
inline std::vector<std::string> TemporaryLeftovers(const std::map<std::string, Bytes>& snapshot)
{
    std::vector<std::string> left;
    for (const auto& [path, bytes] : snapshot)
        if (path.find("~Update-") != std::string::npos && path.size() > 4
            && path.compare(path.size() - 4, 4, ".tmp") == 0)
            left.push_back(path);
    return left;
}
