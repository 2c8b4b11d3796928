#pragma once

// A scratch installation run through the real update driver: the update
// beside a program module in its root (Updateinf.dat and data), the
// installation found through a registry value of its own, a scripted user
// who answers OK, and a cancelling window for the progress dialog.

#include "DriverHarness.h"
#include "Texts.h"
#include "UpdateFiles.h"

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

// What one run did, as the driver told it: whether it reached the
// confirmation, what the pass and the save reported, and the ledger in
// memory while the result message was up, which the save was to write.
struct RunResult {
    bool confirmed = false;
    std::string refusal; // the message of a run that ended before the confirmation
    bool copied = false;
    bool saved = false;
    Bytes ledgerAtSave;
    ULONGLONG passEndedAt = 0;
};

class DriverRig {
public:
    // root holds the update and the program module; install, ending with a
    // backslash, is the registry value.
    DriverRig(const std::string& root, const std::string& install) : m_program(root), m_key("reliability")
    {
        m_key.SetValue(TestValueName, install);
    }

    bool IsReady() const { return m_program.IsLoaded() && m_key.IsOpen(); }
    const std::string& KeyPath() const { return m_key.Path(); }
    HWND Window() const { return m_window.Handle(); }

    // beforeSave runs while the result message is up, before the write-back.
    RunResult Run(const std::function<void()>& beforeSave = {}) const
    {
        RunResult result;
        UserScript script;
        script.openProgress = [this] { return m_window.Handle(); };
        script.closeProgress = [](HWND) {};
        script.onMessage = [&](const ShownMessage& message) {
            if (script.confirmations == 0 || script.messages.size() != 1)
                return;
            result.ledgerAtSave =
                DataFileBytes(g_LedgerHeader,
                              std::vector<FileEntry>(LedgerEntries, LedgerEntries + g_LedgerHeader.EntryCount));
            result.copied = message.text == UpdateCompletedText;
            if (beforeSave)
                beforeSave();
        };
        RunDriver(m_program, script);
        result.confirmed = script.confirmations == 1;
        result.passEndedAt = script.progressClosedAt;
        if (!result.confirmed && !script.messages.empty())
            result.refusal = script.messages.front().text;
        result.saved = result.confirmed && script.messages.size() == 1;
        return result;
    }

private:
    ProgramModule m_program;
    InstallKey m_key;
    CancellingProgressWindow m_window;
};

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
