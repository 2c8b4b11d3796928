#include "ConfirmDialog.h"

#include "DataFiles.h"
#include "Texts.h"
#include "resource.h"

INT_PTR CALLBACK ConfirmDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        char text[TextBufferSize];
        FormatText(text, ConfirmCaptionFormat, g_UpdateInfoHeader.ProductName);
        SetWindowTextA(dialog, text);
        FormatText(text, ConfirmTextFormat, g_UpdateInfoHeader.ProductName);
        SetDlgItemTextA(dialog, IDC_CONFIRM_TEXT, text);
        break;
    }
    case WM_COMMAND:
        // The notification code is not looked at: the close button and the
        // Esc key arrive as IDCANCEL too.
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, 1);
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        }
        break;
    }
    // Always 0: the system's default dialog handling stays in charge, and no
    // initial focus is set after WM_INITDIALOG.
    return 0;
}
