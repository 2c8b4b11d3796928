#include "CommonControls.h"
#include "ConfirmDialog.h"
#include "CopyPass.h"
#include "DataFiles.h"
#include "ExpectedDialogs.h"
#include "ProgressDialog.h"
#include "ScopedOwners.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring TextOf(HWND window)
{
    wchar_t text[512];
    const int length = GetWindowTextW(window, text, sizeof text / sizeof text[0]);
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256];
    const int length = GetClassNameW(window, name, sizeof name / sizeof name[0]);
    return std::wstring(name, static_cast<std::size_t>(length));
}

std::wstring DecodeShiftJis(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    const int length = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

void DispatchPendingMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void SetProductName(const std::string& name)
{
    ASSERT_LT(name.size(), sizeof g_UpdateInfoHeader.ProductName);
    std::memset(g_UpdateInfoHeader.ProductName, 0, sizeof g_UpdateInfoHeader.ProductName);
    std::memcpy(g_UpdateInfoHeader.ProductName, name.data(), name.size());
}

// Shows what the dialog manager builds from a template by itself.
INT_PTR CALLBACK TemplateOnly(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

class Dialogs : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadCommonControls()); }
};

TEST_F(Dialogs, CommonControlsComeFromSystem32)
{
    HMODULE library = GetModuleHandleA("comctl32.dll");
    ASSERT_NE(library, nullptr);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(library, path, sizeof path), 0u);
    char folder[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(folder, sizeof folder), 0u);
    std::string expected = std::string(folder) + "\\comctl32.dll";
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, -1, expected.c_str(), -1), CSTR_EQUAL) << path;
}

TEST_F(Dialogs, CreatedFromTemplatesHiddenCentredWithTheirControlsInTabOrder)
{
    RECT workArea;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0));
    for (const ExpectedDialog& expected : ExpectedDialogs) {
        SCOPED_TRACE(expected.name);
        const ScopedWindow dialog(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(expected.resourceId),
                                                     nullptr, TemplateOnly, 0));
        ASSERT_NE(dialog.Get(), nullptr);
        EXPECT_EQ(ClassOf(dialog.Get()), L"#32770");
        const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog.Get(), GWL_STYLE));
        EXPECT_EQ(style & WS_VISIBLE, 0u);
        EXPECT_FALSE(IsWindowVisible(dialog.Get()));
        const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
        EXPECT_EQ(style & frame, frame) << std::hex << style;
        EXPECT_EQ(TextOf(dialog.Get()), expected.caption);

        RECT window;
        ASSERT_TRUE(GetWindowRect(dialog.Get(), &window));
        EXPECT_NEAR((window.left + window.right) / 2, (workArea.left + workArea.right) / 2, 2);
        EXPECT_NEAR((window.top + window.bottom) / 2, (workArea.top + workArea.bottom) / 2, 2);
        RECT client;
        ASSERT_TRUE(GetClientRect(dialog.Get(), &client));
        RECT size{0, 0, ExpectedDialogWidth, ExpectedDialogHeight};
        ASSERT_TRUE(MapDialogRect(dialog.Get(), &size));
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        HWND child = GetWindow(dialog.Get(), GW_CHILD);
        for (std::size_t index = 0; index < expected.controlCount; ++index) {
            const ExpectedControl& control = expected.controls[index];
            SCOPED_TRACE(control.id);
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(child)), static_cast<WORD>(control.id));
            EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, ClassOf(child).c_str(), -1, control.className,
                                     -1),
                      CSTR_EQUAL);
            EXPECT_EQ(TextOf(child), control.text);
            // The progress bar replaces WS_BORDER with an edge of its own when it
            // is created; the template check pins the stored style.
            const bool isProgressBar = std::wcscmp(control.className, L"msctls_progress32") == 0;
            const DWORD drawnByControl = isProgressBar ? WS_BORDER : 0;
            const DWORD childStyle = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
            EXPECT_EQ(childStyle & ~drawnByControl, control.style & ~drawnByControl) << std::hex << childStyle;

            // Mapped as the dialog manager does: origin and size each on their own.
            RECT place{control.x, control.y, control.cx, control.cy};
            ASSERT_TRUE(MapDialogRect(dialog.Get(), &place));
            RECT actual;
            ASSERT_TRUE(GetWindowRect(child, &actual));
            MapWindowPoints(nullptr, dialog.Get(), reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, place.left);
            EXPECT_EQ(actual.top, place.top);
            EXPECT_EQ(actual.right - actual.left, place.right);
            EXPECT_EQ(actual.bottom - actual.top, place.bottom);
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << "more controls than expected";
    }
}

// A name whose last characters have the trail byte 0x5C, padded to length with 'A'.
std::string ProductNameOfLength(std::size_t length)
{
    std::string name = "\x83\x5C\x83\x74\x83\x67\x95\x5C"; // ソフト表
    name.insert(0, length - name.size(), 'A');
    return name;
}

TEST_F(Dialogs, ConfirmationShowsTheProductNameWhole)
{
    // " アップデート" and "のアップデートを行います"
    const std::wstring captionRest = L" \u30a2\u30c3\u30d7\u30c7\u30fc\u30c8";
    const std::wstring textRest = L"\u306e\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u3092\u884c\u3044\u307e\u3059";
    const std::string names[] = {
        "\x83\x5C\x83\x74\x83\x67\x95\x5C", // ソフト表: trail bytes 0x5C
        "Sample App",
        "",
        ProductNameOfLength(TextFieldSize - 1),
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        SetProductName(name);
        const ScopedWindow dialog(
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, ConfirmDialog, 0));
        ASSERT_NE(dialog.Get(), nullptr);
        EXPECT_EQ(TextOf(dialog.Get()), DecodeShiftJis(name) + captionRest);
        EXPECT_EQ(TextOf(GetDlgItem(dialog.Get(), IDC_CONFIRM_TEXT)), DecodeShiftJis(name) + textRest);
        EXPECT_FALSE(IsWindowVisible(dialog.Get()));
    }
}

// Acts on the modal confirmation from inside its message loop.
struct ModalAction {
    const char* name;
    void (*act)(HWND dialog);
    INT_PTR expectedResult;
};

const ModalAction* g_PendingAction = nullptr;
bool g_DialogWasVisible = false;

BOOL CALLBACK FindThreadDialog(HWND window, LPARAM found)
{
    wchar_t name[16];
    if (GetClassNameW(window, name, 16) && std::wcscmp(name, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK ActOnDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindThreadDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || !IsWindowVisible(dialog) || !g_PendingAction)
        return;
    KillTimer(nullptr, timer);
    g_DialogWasVisible = true;
    const ModalAction* action = g_PendingAction;
    g_PendingAction = nullptr;
    action->act(dialog);
}

const ModalAction ModalActions[] = {
    {"OK button", [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }, 1},
    {"Cancel button", [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }, 0},
    {"Enter key", [](HWND dialog) { PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0); }, 1},
    {"Esc key", [](HWND dialog) { PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0); }, 0},
    {"close button", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, 0},
    {"OK with a notification code", [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0x1234), 0); },
     1},
    {"Cancel with a notification code",
     [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0x1234), 0); }, 0},
};

TEST_F(Dialogs, ConfirmationEndsWithOneForOkAndZeroForCancel)
{
    SetProductName("Sample App");
    for (const ModalAction& action : ModalActions) {
        SCOPED_TRACE(action.name);
        g_PendingAction = &action;
        g_DialogWasVisible = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, ActOnDialog);
        ASSERT_NE(timer, 0u);
        const INT_PTR result =
            DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIRM), nullptr, ConfirmDialog, 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_DialogWasVisible);
        EXPECT_EQ(result, action.expectedResult);
    }
}

struct ProgressAction {
    const char* name;
    void (*act)(HWND dialog);
    std::int32_t expectedFlag;
};

const ProgressAction ProgressActions[] = {
    {"Cancel button", [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }, 1},
    {"close button", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }, 1},
    {"another command", [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }, 0},
};

TEST_F(Dialogs, ProgressCancelSetsTheFlagAndLeavesTheWindowOpen)
{
    for (const ProgressAction& action : ProgressActions) {
        SCOPED_TRACE(action.name);
        const ScopedWindow dialog(
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDialog, 0));
        ASSERT_NE(dialog.Get(), nullptr);
        ShowWindow(dialog.Get(), SW_SHOW);
        DispatchPendingMessages();
        CancelFlag = 0;
        action.act(dialog.Get());
        DispatchPendingMessages();
        EXPECT_EQ(CancelFlag, action.expectedFlag);
        EXPECT_TRUE(IsWindow(dialog.Get()));
        EXPECT_TRUE(IsWindowVisible(dialog.Get()));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.Get(), IDCANCEL)));
    }
    CancelFlag = 0;
}

} // namespace
