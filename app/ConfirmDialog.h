#pragma once

#include <windows.h>

// Procedure of the confirmation dialog (template IDD_CONFIRM). Shows the
// product name of g_UpdateInfoHeader; the dialog ends with 1 for OK and 0 for
// Cancel.
INT_PTR CALLBACK ConfirmDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
