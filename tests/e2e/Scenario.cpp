#include "Scenario.h"

#include "Records.h"
#include "ScopedOwners.h"

#include <cstdlib>
#include <cstring>

namespace {

// Build outputs are named by their paths on the build machine; Wine shows
// its root as drive Z:.
std::wstring BuildOutput(const char* path)
{
    std::wstring out;
    if (path[0] == '/')
        out = L"Z:";
    for (const char* c = path; *c; ++c)
        out += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return out;
}

void MakeFolders(const std::wstring& path)
{
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

void ParentFolders(const std::wstring& file)
{
    MakeFolders(file.substr(0, file.find_last_of(L'\\')));
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    {
        ScopedFind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (search) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring child = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(search.Get(), &found));
        }
    }
    RemoveDirectoryW(folder.c_str());
}

void CollectFiles(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& files)
{
    WIN32_FIND_DATAW found;
    ScopedFind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFiles(folder + L"\\" + name, prefix + name + L"\\", files);
        else
            files.push_back(prefix + name);
    } while (FindNextFileW(search.Get(), &found));
}

constexpr wchar_t KeyParent[] = L"Software\\UpdaterEndToEnd";

} // namespace

const std::wstring Scenario::ValueName = L"InstallDir";

Bytes LedgerBytes(const Ledger& ledger)
{
    LedgerHeader header;
    for (std::size_t i = 0; i < sizeof header.Reserved1; ++i)
        header.Reserved1[i] = static_cast<unsigned char>(i * 7 + 3);
    for (std::size_t i = 0; i < sizeof header.Reserved2; ++i)
        header.Reserved2[i] = static_cast<unsigned char>(i * 13 + 1);
    header.EntryCount = static_cast<std::uint32_t>(ledger.records.size());
    header.FileCount = ledger.fileCount;
    header.TotalSize = ledger.totalSize;

    Bytes bytes(sizeof header + ledger.records.size() * sizeof(FileEntry));
    std::memcpy(bytes.data(), &header, sizeof header);
    for (std::size_t i = 0; i < ledger.records.size(); ++i) {
        FileEntry entry{};
        std::memcpy(entry.Path, ledger.records[i].path.c_str(), ledger.records[i].path.size() + 1);
        entry.Size = ledger.records[i].size;
        entry.Extra = ledger.records[i].extra;
        std::memcpy(bytes.data() + sizeof header + i * sizeof entry, &entry, sizeof entry);
    }
    return bytes;
}

Bytes PatternBytes(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (unsigned char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(state >> 24);
    }
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes)
{
    ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

Bytes ReadFileBytes(const std::wstring& path)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size))
        return {};
    Bytes bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 24));
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, chunk, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> FilesBelow(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    CollectFiles(folder, L"", files);
    return files;
}

Scenario::Scenario(const std::wstring& tag)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"upd-e2e-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
    // A folder left by an aborted run with a repeated process id is not reused.
    unsigned attempt = 0;
    do
        m_root = base + L"-" + std::to_wstring(++attempt);
    while (!CreateDirectoryW(m_root.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    CreateDirectoryW(Install().c_str(), nullptr);
    CreateDirectoryW(Source().c_str(), nullptr);
    m_key = std::wstring(KeyParent) + L"\\" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
}

Scenario::~Scenario()
{
    RemoveTree(m_root);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str());
    // Fails while another scenario's key is still there, as it should.
    RegDeleteKeyW(HKEY_CURRENT_USER, KeyParent);
}

void Scenario::SourceFile(const std::wstring& relative, const Bytes& bytes)
{
    ParentFolders(Source(relative));
    WriteFileBytes(Source(relative), bytes);
}

void Scenario::SourceFolder(const std::wstring& relative)
{
    MakeFolders(Source(relative));
}

void Scenario::InstalledFile(const std::wstring& relative, const Bytes& bytes)
{
    ParentFolders(Install(relative));
    WriteFileBytes(Install(relative), bytes);
}

std::string Scenario::Pack(const std::wstring& product)
{
    const std::wstring tool = BuildOutput(UPDPACK_EXE);
    const std::wstring source = m_root + L"\\source";
    const std::wstring out = m_root + L"\\updater";
    std::wstring commandLine = L"\"" + tool + L"\" build --product \"" + product + L"\" --key \"" + m_key
        + L"\" --value " + ValueName + L" --from \"" + source + L"\" --out \"" + out + L"\"";

    const std::wstring logPath = m_root + L"\\updpack.log";
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    std::string failure;
    {
        ScopedHandle log(CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = log.Get();
        startup.hStdError = log.Get();
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(tool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &startup, &info))
            return "cannot start " + Utf8(tool);
        ScopedHandle process(info.hProcess);
        ScopedHandle thread(info.hThread);
        DWORD code = 1;
        if (WaitForSingleObject(process.Get(), 120000) != WAIT_OBJECT_0) {
            TerminateProcess(process.Get(), 1);
            failure = "updpack did not finish within 120 s";
        } else if (!GetExitCodeProcess(process.Get(), &code) || code != 0) {
            failure = "updpack failed with exit code " + std::to_string(code);
        }
    }
    if (!failure.empty()) {
        const Bytes log = ReadFileBytes(logPath);
        return failure + ": " + std::string(log.begin(), log.end());
    }
    // UPDATER_EXE (a build path) runs the same scenarios on another build, such as a signed one.
    const char* const program = std::getenv("UPDATER_EXE") ? std::getenv("UPDATER_EXE") : UPDATE_EXE;
    if (!CopyFileW(BuildOutput(program).c_str(), Updater(L"Update.exe").c_str(), FALSE))
        return "cannot copy Update.exe from " + std::string(program);
    return {};
}

bool Scenario::KeepUpdateRecords(bool folders)
{
    Bytes file = ReadFileBytes(Updater(L"Updateinf.dat"));
    UpdateInfoHeader header;
    if (file.size() < sizeof header)
        return false;
    std::memcpy(&header, file.data(), sizeof header);
    Bytes kept;
    std::uint32_t count = 0;
    for (std::size_t at = sizeof header; at + sizeof(FileEntry) <= file.size(); at += sizeof(FileEntry)) {
        FileEntry entry;
        std::memcpy(&entry, file.data() + at, sizeof entry);
        const std::size_t length = strnlen(entry.Path, sizeof entry.Path);
        const bool folder = length > 0 && entry.Path[length - 1] == '\\';
        if (folders && folder) {
            kept.insert(kept.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                        file.begin() + static_cast<std::ptrdiff_t>(at + sizeof entry));
            ++count;
        }
    }
    header.EntryCount = count;
    Bytes rewritten(sizeof header);
    std::memcpy(rewritten.data(), &header, sizeof header);
    rewritten.insert(rewritten.end(), kept.begin(), kept.end());
    return WriteFileBytes(Updater(L"Updateinf.dat"), rewritten);
}

bool Scenario::CreateKeyOnly()
{
    ScopedKey key;
    return RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
                           nullptr)
        == ERROR_SUCCESS;
}

bool Scenario::SetInstallValue(const std::wstring& value)
{
    ScopedKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(),
                        nullptr)
        != ERROR_SUCCESS)
        return false;
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), ValueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes)
        == ERROR_SUCCESS;
}

std::wstring Scenario::ReadInstallValue() const
{
    wchar_t value[1024];
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, m_key.c_str(), ValueName.c_str(), RRF_RT_REG_SZ, nullptr, value, &bytes)
        != ERROR_SUCCESS)
        return L"(absent)";
    return value;
}
