#include "UserInterface.h"

#include "ConfirmDialog.h"
#include "ProgressDialog.h"
#include "resource.h"

namespace {

INT_PTR ConfirmWithDialog(HINSTANCE instance)
{
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, ConfirmDialog, 0);
}

HWND OpenProgressDialog(HINSTANCE instance)
{
    const HWND progress = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialog, 0);
    ShowWindow(progress, SW_SHOW);
    return progress;
}

void CloseProgressDialog(HWND progress)
{
    DestroyWindow(progress);
}

void ShowMessageBox(const char* text, const char* caption)
{
    MessageBoxA(nullptr, text, caption, MB_OK);
}

} // namespace

const UserInterface ProgramDialogs{ConfirmWithDialog, OpenProgressDialog, CloseProgressDialog, ShowMessageBox};
