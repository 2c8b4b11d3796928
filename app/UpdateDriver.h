#pragma once

#include "UserInterface.h"

#include <windows.h>

// Runs one whole update: locate and load both data files, ask the user, copy
// under the progress window, report, and write the ledger back. The update
// stands beside the module of instance (Updateinf.dat and data); every
// question and message goes through user. Always 0.
int UpdateDriver(HINSTANCE instance, const UserInterface& user);
