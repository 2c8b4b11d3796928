#include "UpdateDriver.h"

#include "ConfirmDialog.h"
#include "CopyPass.h"
#include "DataFiles.h"
#include "File.h"
#include "PathHelpers.h"
#include "PathRoom.h"
#include "ProgressDialog.h"
#include "Registry.h"
#include "Texts.h"
#include "resource.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char UpdateInfoFileName[] = "Updateinf.dat";
constexpr char SourceFolderName[] = "data";
constexpr char LedgerFileName[] = "Uninstallinf.dat";

// Frees both entry arrays on every way out of the run.
class EntryArraysOwner {
public:
    EntryArraysOwner() = default;
    ~EntryArraysOwner() { FreeEntryArrays(); }
    EntryArraysOwner(const EntryArraysOwner&) = delete;
    EntryArraysOwner& operator=(const EntryArraysOwner&) = delete;
};

void ShowMessage(const char* text, const char* caption = nullptr)
{
    MessageBoxA(nullptr, text, caption, MB_OK);
}

bool EndsWithSeparator(const char* path)
{
    const std::size_t length = std::strlen(path);
    return length > 0 && path[length - 1] == '\\' && MbcsByteType(path, length - 1) == MbcsSingle;
}

// The program's own folder, with a separator, followed by name; false when
// the module path or the result would not fit, instead of a cut path.
bool OwnFolderWith(PathBuffer& path, const char* name)
{
    PathBuffer folder;
    const DWORD length = GetModuleFileNameA(nullptr, folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return false;
    StripFileName(folder);
    AddTrailingBackslash(folder);
    const int written = std::snprintf(path, sizeof path, "%s%s", folder, name);
    return written >= 0 && static_cast<std::size_t>(written) < sizeof path;
}

} // namespace

int UpdateDriver(HINSTANCE instance)
{
    CFile file;
    EntryArraysOwner arrays;

    PathBuffer updateInfoPath;
    if (!OwnFolderWith(updateInfoPath, UpdateInfoFileName) || !LoadUpdateInfo(file, updateInfoPath)) {
        ShowMessage(UpdateInfoUnreadableText);
        return 0;
    }

    CRegistry registry;
    char notInstalled[TextBufferSize];
    FormatText(notInstalled, NotInstalledFormat, g_UpdateInfoHeader.ProductName);

    if (!registry.OpenKey(HKEY_CURRENT_USER, g_UpdateInfoHeader.RegistryKey)) {
        ShowMessage(notInstalled);
        return 0;
    }
    PathBuffer installFolder;
    if (!registry.QueryValue(g_UpdateInfoHeader.RegistryValueName, installFolder, sizeof installFolder)) {
        ShowMessage(notInstalled);
        return 0;
    }

    // The value is expected to end with a separator: the ledger's name is
    // appended as it stands.
    PathBuffer ledgerPath;
    std::snprintf(ledgerPath, sizeof ledgerPath, "%s%s", installFolder, LedgerFileName);
    if (!PathHasRoom(installFolder, LedgerFileName, RoomFor::Replacement) || !LoadLedger(file, ledgerPath)) {
        ShowMessage(notInstalled);
        return 0;
    }

    PathBuffer sourceFolder;
    const bool sourceFits =
        OwnFolderWith(sourceFolder, SourceFolderName) && EndsWithSeparator(AddTrailingBackslash(sourceFolder));
    if (!sourceFits || !EndsWithSeparator(AddTrailingBackslash(installFolder))
        || !UpdateFitsFolders(installFolder, sourceFolder)) {
        ShowMessage(UpdateInfoUnreadableText);
        return 0;
    }

    // -1 means the confirmation could not be shown: no update without consent.
    const INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, ConfirmDialog, 0);
    if (answer == 0 || answer == -1)
        return 0;

    const HWND progress = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialog, 0);
    ShowWindow(progress, SW_SHOW);
    const bool updated = CopyPass(progress, installFolder, sourceFolder);
    DestroyWindow(progress);

    if (updated)
        ShowMessage(UpdateCompletedText, UpdateCompletedCaption);
    else
        ShowMessage(UpdateFailedText);

    if (!SaveLedger(file, ledgerPath))
        ShowMessage(LedgerWriteFailedText);
    return 0;
}
