#pragma once

#include <windows.h>

// Runs one whole update: locate and load both data files, ask the user, copy
// under the progress dialog, report, and write the ledger back. Always 0.
int UpdateDriver(HINSTANCE instance);
