#pragma once

// One end-to-end scenario: a scratch folder holding the update as a publisher
// ships it (Update.exe, Updateinf.dat and data, built by updpack) and an
// installation with its ledger, and a registry key of its own under
// HKEY_CURRENT_USER. Everything is removed when the scenario ends.

#include "Automation.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// One record of a ledger; path in code page 932.
struct LedgerRecord {
    std::string path;
    std::uint32_t size = 0;
    std::uint32_t extra = 0;
};

struct Ledger {
    std::uint32_t fileCount = 0;
    std::uint32_t totalSize = 0;
    std::vector<LedgerRecord> records;
};

// The bytes of a ledger file. The uninterpreted header ranges hold a fixed
// pattern, so that a write-back which loses them shows.
Bytes LedgerBytes(const Ledger& ledger);

// size bytes that differ from those of another seed.
Bytes PatternBytes(std::size_t size, unsigned seed);

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes);
// Empty when the file cannot be read.
Bytes ReadFileBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Every file below folder, as paths relative to it.
std::vector<std::wstring> FilesBelow(const std::wstring& folder);

class Scenario {
public:
    static const std::wstring ValueName;

    explicit Scenario(const std::wstring& tag);
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    // The tree the update is built from, and the installation; relative
    // paths with backslashes, missing folders made.
    void SourceFile(const std::wstring& relative, const Bytes& bytes);
    void SourceFolder(const std::wstring& relative);
    void InstalledFile(const std::wstring& relative, const Bytes& bytes);

    // Runs updpack on the source tree and puts Update.exe beside its output;
    // empty on success, otherwise what went wrong.
    std::string Pack(const std::wstring& product);

    // Keeps only the update records that are folders (all of them, or none),
    // as a publisher's own tool may write them: updpack refuses an update
    // without files.
    bool KeepUpdateRecords(bool folders);

    // The registry value, created with its key.
    bool SetInstallValue(const std::wstring& value);
    bool CreateKeyOnly();
    std::wstring ReadInstallValue() const;

    std::wstring Root() const { return m_root; }
    std::wstring Install(const std::wstring& relative = L"") const { return m_root + L"\\install\\" + relative; }
    std::wstring Updater(const std::wstring& relative = L"") const { return m_root + L"\\updater\\" + relative; }
    std::wstring Source(const std::wstring& relative = L"") const { return m_root + L"\\source\\" + relative; }
    std::wstring KeyPath() const { return m_key; }

private:
    std::wstring m_root;
    std::wstring m_key;
};
