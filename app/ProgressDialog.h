#pragma once

#include <windows.h>

// Procedure of the modeless progress dialog (template IDD_PROGRESS). Its
// Cancel button only sets CancelFlag; the copy pass stops at its next test
// and the driver closes the window.
INT_PTR CALLBACK ProgressDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
