#pragma once

// The two dialogs as the program must show them, written out independently
// of Update.rc; texts as UTF-16 because that is how templates store them.

#include "resource.h"

#include <windows.h>

#include <cstddef>

struct ExpectedControl {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
};

struct ExpectedDialog {
    const char* name;
    WORD resourceId;
    const wchar_t* caption;
    const ExpectedControl* controls; // in tab order
    std::size_t controlCount;
};

constexpr DWORD ExpectedDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
constexpr short ExpectedDialogWidth = 218;
constexpr short ExpectedDialogHeight = 61;
constexpr WORD ExpectedFontPoints = 9;
// "ＭＳ Ｐゴシック"
constexpr const wchar_t* ExpectedTypeface = L"\uff2d\uff33 \uff30\u30b4\u30b7\u30c3\u30af";
constexpr WORD JapaneseLanguage = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// "ｷｬﾝｾﾙ" in half-width katakana
constexpr const wchar_t* CancelLabel = L"\uff77\uff6c\uff9d\uff7e\uff99";

constexpr DWORD ChildVisible = WS_CHILD | WS_VISIBLE;

const ExpectedControl ConfirmControls[] = {
    {IDOK, L"Button", L"OK", ChildVisible | WS_TABSTOP | BS_DEFPUSHBUTTON, 7, 40, 60, 14},
    {IDCANCEL, L"Button", CancelLabel, ChildVisible | WS_TABSTOP | BS_PUSHBUTTON, 151, 40, 60, 14},
    // "-のアップデートを行います"
    {IDC_CONFIRM_TEXT, L"Static", L"-\u306e\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u3092\u884c\u3044\u307e\u3059",
     ChildVisible | WS_GROUP | SS_CENTER | SS_CENTERIMAGE, 7, 7, 204, 8},
    // "よろしいですか？"
    {IDC_STATIC, L"Static", L"\u3088\u308d\u3057\u3044\u3067\u3059\u304b\uff1f", ChildVisible | WS_GROUP | SS_CENTER, 7,
     21, 204, 8},
};

const ExpectedControl ProgressControls[] = {
    {IDCANCEL, L"Button", CancelLabel, ChildVisible | WS_TABSTOP | BS_PUSHBUTTON, 151, 40, 60, 14},
    {IDC_PROGRESS_BAR, L"msctls_progress32", L"Progress1", ChildVisible | WS_BORDER, 7, 21, 204, 14},
    {IDC_STATUS_TEXT, L"Static", L"Static", ChildVisible | WS_GROUP | SS_LEFT, 7, 7, 131, 8},
};

const ExpectedDialog ExpectedDialogs[] = {
    // "アップデート"
    {"confirmation", IDD_CONFIRM, L"\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8", ConfirmControls,
     sizeof ConfirmControls / sizeof ConfirmControls[0]},
    // "アップデート中"
    {"progress", IDD_PROGRESS, L"\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u4e2d", ProgressControls,
     sizeof ProgressControls / sizeof ProgressControls[0]},
};
