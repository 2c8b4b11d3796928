#ifndef UPDATER_RESOURCE_H
#define UPDATER_RESOURCE_H

// Shared by Update.rc and the C++ sources, so only preprocessor definitions here.

#define IDD_CONFIRM 101
#define IDD_PROGRESS 102

#define IDI_MAIN 102

#define IDC_PROGRESS_BAR 1001
#define IDC_STATUS_TEXT 1002
#define IDC_CONFIRM_TEXT 1004

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

#endif
