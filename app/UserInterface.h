#pragma once

#include <windows.h>

// Everything the update driver asks of the user, as one table so that a test
// can run the real driver against a scripted user. The program passes
// ProgramDialogs: its own dialogs and message boxes.
struct UserInterface {
    // The confirmation: 1 for OK, 0 for Cancel, -1 when it could not be shown.
    INT_PTR (*Confirm)(HINSTANCE instance);
    // A shown progress window with the progress dialog's controls, whose
    // Cancel sets CancelFlag when the copy pass dispatches it.
    HWND (*OpenProgress)(HINSTANCE instance);
    void (*CloseProgress)(HWND progress);
    // Modal, no owner window, MB_OK without an icon; a null caption shows the
    // system's default caption.
    void (*ShowMessage)(const char* text, const char* caption);
};

extern const UserInterface ProgramDialogs;
