#include "ProgressDialog.h"

#include "CopyPass.h"

INT_PTR CALLBACK ProgressDialog(HWND, UINT message, WPARAM wParam, LPARAM)
{
    // The window stays open: the copy pass decides when to stop.
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        CancelFlag = 1;
    return 0;
}
