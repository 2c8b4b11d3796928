#include "UpdateDriver.h"

#include "CopyPass.h"
#include "DataFiles.h"
#include "File.h"
#include "FileNames.h"
#include "PathHelpers.h"
#include "PathRoom.h"
#include "RealLocation.h"
#include "Registry.h"
#include "Texts.h"

#include <cstdio>
#include <cstring>

namespace {

// Frees both entry arrays on every way out of the run.
class EntryArraysOwner {
public:
    EntryArraysOwner() = default;
    ~EntryArraysOwner() { FreeEntryArrays(); }
    EntryArraysOwner(const EntryArraysOwner&) = delete;
    EntryArraysOwner& operator=(const EntryArraysOwner&) = delete;
};

bool EndsWithSeparator(const char* path)
{
    const std::size_t length = std::strlen(path);
    return length > 0 && path[length - 1] == '\\' && MbcsByteType(path, length - 1) == MbcsSingle;
}

// The folder of the program's module, with a separator, followed by name;
// false when the module path or the result would not fit, instead of a cut path.
bool OwnFolderWith(PathBuffer& path, HINSTANCE instance, const char* name)
{
    PathBuffer folder;
    const DWORD length = GetModuleFileNameA(instance, folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return false;
    StripFileName(folder);
    AddTrailingBackslash(folder);
    const int written = std::snprintf(path, sizeof path, "%s%s", folder, name);
    return written >= 0 && static_cast<std::size_t>(written) < sizeof path;
}

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "X:\", or "\\server\share" followed by a separator or the end. Any other
// form names files relative to the current folder or drive (an empty value
// among them), or a device ("\\.\", "\\?\").
bool IsAbsoluteFolder(const char* value)
{
    if (IsDriveLetter(value[0]) && value[1] == ':' && value[2] == '\\')
        return true;
    if (value[0] != '\\' || value[1] != '\\')
        return false;
    std::size_t at = 2;
    for (int component = 0; component < 2; ++component) {
        const std::size_t start = at;
        while (value[at] != '\0' && !(value[at] == '\\' && MbcsByteType(value, at) == MbcsSingle))
            ++at;
        const std::size_t length = at - start;
        if (length == 0 || (component == 0 && length == 1 && (value[start] == '.' || value[start] == '?')))
            return false;
        if (value[at] == '\0')
            return component == 1;
        ++at;
    }
    return true;
}

} // namespace

int UpdateDriver(HINSTANCE instance, const UserInterface& user)
{
    CFile file;
    EntryArraysOwner arrays;

    PathBuffer updateInfoPath;
    if (!OwnFolderWith(updateInfoPath, instance, UpdateInfoFileName) || !LoadUpdateInfo(file, updateInfoPath)) {
        user.ShowMessage(UpdateInfoUnreadableText, nullptr);
        return 0;
    }

    CRegistry registry;
    char notInstalled[TextBufferSize];
    FormatText(notInstalled, NotInstalledFormat, g_UpdateInfoHeader.ProductName);

    if (!registry.OpenKey(HKEY_CURRENT_USER, g_UpdateInfoHeader.RegistryKey)) {
        user.ShowMessage(notInstalled, nullptr);
        return 0;
    }
    PathBuffer installFolder;
    if (!registry.QueryValue(g_UpdateInfoHeader.RegistryValueName, installFolder, sizeof installFolder)
        || !IsAbsoluteFolder(installFolder)) {
        user.ShowMessage(notInstalled, nullptr);
        return 0;
    }

    // The value is expected to end with a separator: the ledger's name is
    // appended as it stands.
    PathBuffer ledgerPath;
    std::snprintf(ledgerPath, sizeof ledgerPath, "%s%s", installFolder, LedgerFileName);
    // The ledger lies where that name puts it: in the installation folder, or
    // beside it for a value without the separator. A ledger that is a link
    // leading out of the folder that holds it counts as none.
    PathBuffer ledgerFolder;
    GetDirectory(ledgerFolder, ledgerPath);
    AddTrailingBackslash(ledgerFolder);
    CRealLocation ledgerHome;
    if (!PathHasRoom(installFolder, LedgerFileName, RoomFor::Replacement) || !FindRealFolder(ledgerHome, ledgerFolder)
        || !LoadLedger(file, ledgerPath, &ledgerHome)) {
        user.ShowMessage(notInstalled, nullptr);
        return 0;
    }

    PathBuffer sourceFolder;
    const bool sourceFits = OwnFolderWith(sourceFolder, instance, SourceFolderName)
        && EndsWithSeparator(AddTrailingBackslash(sourceFolder));
    if (!sourceFits || !EndsWithSeparator(AddTrailingBackslash(installFolder))
        || !UpdateFitsFolders(installFolder, sourceFolder)) {
        user.ShowMessage(UpdateInfoUnreadableText, nullptr);
        return 0;
    }

    PrepareCopyPass();
    // -1 means the confirmation could not be shown: no update without consent.
    const INT_PTR answer = user.Confirm(instance);
    if (answer == 0 || answer == -1)
        return 0;

    const HWND progress = user.OpenProgress(instance);
    const bool updated = CopyPass(progress, installFolder, sourceFolder);
    user.CloseProgress(progress);

    if (updated)
        user.ShowMessage(UpdateCompletedText, UpdateCompletedCaption);
    else
        user.ShowMessage(UpdateFailedText, nullptr);

    if (!SaveLedger(file, ledgerPath, &ledgerHome))
        user.ShowMessage(LedgerWriteFailedText, nullptr);
    return 0;
}
