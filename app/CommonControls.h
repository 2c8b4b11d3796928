#pragma once

// Makes the progress bar class (msctls_progress32) available to the dialog
// manager before the progress dialog is created. comctl32.dll is not a known
// DLL, so it is not imported but loaded by its full System32 path; it stays
// loaded until the process ends. False when it cannot be loaded or set up.
bool LoadCommonControls();
