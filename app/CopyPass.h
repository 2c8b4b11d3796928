#pragma once

#include <cstdint>
#include <windows.h>

// Set to 1 by the progress dialog's Cancel button; the copy pass tests it
// after each message it dispatches. Written and read on the GUI thread only.
extern std::int32_t CancelFlag;

// Applies UpdateEntries to the installation: creates its folders, copies its
// files from sourceFolder in chunks while keeping progressWindow current, and
// merges every finished entry into the ledger in memory. Both folders end with
// a backslash. False when a file could not be copied or Cancel stopped the pass.
bool CopyPass(HWND progressWindow, const char* installFolder, const char* sourceFolder);

// Allocates, once both data files are loaded, everything CopyPass needs, so
// that the pass allocates nothing after the user confirms. Never fails: what
// cannot be had, the pass does without (a scan in place of the ledger index)
// or fails without changing a file (no chunk buffer).
void PrepareCopyPass();

// Whether every update path, joined to either folder (and, for a file, with
// the temporary file that replaces it), fits a path buffer. Checked before the
// user is asked, so that the pass never meets a path it cannot form.
bool UpdateFitsFolders(const char* installFolder, const char* sourceFolder);
