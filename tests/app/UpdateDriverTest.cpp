// The real update driver, run whole in this process: real files beside a
// program module, the real registry, real progress windows, and a scripted
// user in place of the confirmation and the message boxes (which the
// end-to-end tests answer in the real program).

#include "CommonControls.h"
#include "DriverHarness.h"
#include "ProgressDialog.h"
#include "Texts.h"
#include "UpdateFiles.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::string NotInstalledText()
{
    char text[TextBufferSize];
    FormatText(text, NotInstalledFormat, TestProductName);
    return text;
}

// An installation with a ledger of one file, and an update of a file of
// several chunks, a folder and a replaced file, in that order.
class UpdateDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadCommonControls()); }

    void SetUp() override
    {
        ASSERT_TRUE(m_program.IsLoaded());
        ASSERT_TRUE(m_key.IsOpen());
        CreateDirectoryA(m_install.c_str(), nullptr);
        CreateDirectoryA(m_source.c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(m_source + "big.bin", m_big));
        ASSERT_TRUE(WriteWholeFile(m_source + "a.txt", m_newA));
        CancelFlag = 0;
        g_progressRecording = {};
        Prepare();
    }

    void TearDown() override { CancelFlag = 0; }

    // The update, the ledger and the registry value as the installer and the
    // publisher left them.
    void Prepare()
    {
        ASSERT_TRUE(WriteWholeFile(m_root.Path("Updateinf.dat"), UpdateInfoBytes(m_update, m_key.Path())));
        ASSERT_TRUE(WriteWholeFile(m_install + "a.txt", m_oldA));
        ASSERT_TRUE(WriteWholeFile(LedgerPath(), m_oldLedger));
        ASSERT_TRUE(m_key.SetValue(TestValueName, m_install));
    }

    std::string LedgerPath() const { return m_install + "Uninstallinf.dat"; }

    int Run(UserScript& script) { return RunDriver(m_program, script); }

    static void ExpectMessages(const UserScript& script, const std::vector<ShownMessage>& expected)
    {
        ASSERT_EQ(script.messages.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(script.messages[i].text, expected[i].text);
            if (expected[i].caption == nullptr)
                EXPECT_EQ(script.messages[i].caption, nullptr);
            else
                EXPECT_STREQ(script.messages[i].caption, expected[i].caption);
        }
    }

    ScratchFolder m_root{"driver"};
    const std::string m_install = m_root.Path("install\\");
    const std::string m_source = m_root.Path("data\\");
    ProgramModule m_program{m_root.Path()};
    InstallKey m_key{"driver"};
    const Bytes m_big = Content(250000, 'b');
    const Bytes m_newA = Content(300, 'A');
    const Bytes m_oldA = Content(100, 'a');
    const std::vector<FileEntry> m_update{MakeEntry("big.bin", 250000, 2), MakeEntry("sub\\", 0),
                                          MakeEntry("a.txt", 300, 1)};
    const Bytes m_oldLedger = LedgerBytes({MakeEntry("a.txt", 100)});
};

// Every way the run ends before the confirmation: one message with the
// system's default caption, and nothing changed anywhere.
TEST_F(UpdateDriverTest, EachRefusalShowsItsMessageAndChangesNothing)
{
    const std::string unreadable = UpdateInfoUnreadableText;
    const std::string notInstalled = NotInstalledText();
    const std::string folder = m_install.substr(0, m_install.size() - 1);
    // The update with a name long enough not to fit below the deep folder.
    const std::string longName(40, 'n');
    std::string deep = m_root.Path("deep");
    CreateDirectoryA(deep.c_str(), nullptr);
    while (deep.size() < 230) {
        deep += "\\" + std::string(std::min<std::size_t>(229 - deep.size(), 60), 'd');
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    deep += "\\";
    struct Refusal {
        const char* name;
        std::function<void()> setUp;
        const std::string& message;
    };
    const Refusal refusals[] = {
        {"no update information", [&] { ASSERT_TRUE(DeleteFileA(m_root.Path("Updateinf.dat").c_str())); }, unreadable},
        {"short update information",
         [&] {
             Bytes bytes = UpdateInfoBytes(m_update, m_key.Path());
             bytes.resize(bytes.size() - 1);
             ASSERT_TRUE(WriteWholeFile(m_root.Path("Updateinf.dat"), bytes));
         },
         unreadable},
        {"no key",
         [&] {
             ASSERT_TRUE(WriteWholeFile(m_root.Path("Updateinf.dat"), UpdateInfoBytes(m_update, m_key.Path() + "\\x")));
         },
         notInstalled},
        {"no value",
         [&] { ASSERT_EQ(RegDeleteKeyValueA(HKEY_CURRENT_USER, m_key.Path().c_str(), TestValueName), ERROR_SUCCESS); },
         notInstalled},
        {"value too long", [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, m_install + std::string(300, 'x'))); },
         notInstalled},
        {"no ledger", [&] { ASSERT_TRUE(DeleteFileA(LedgerPath().c_str())); }, notInstalled},
        {"no separator and no joined ledger", [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, folder)); },
         notInstalled},
        // Each of these names a ledger that exists, relative to the current
        // folder or drive, or through a device path.
        {"empty value",
         [&] {
             ASSERT_TRUE(WriteWholeFile(m_root.Path("Uninstallinf.dat"), m_oldLedger));
             ASSERT_TRUE(m_key.SetValue(TestValueName, ""));
         },
         notInstalled},
        {"relative folder", [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, "install\\")); }, notInstalled},
        {"folder on the current drive", [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, m_install.substr(2))); },
         notInstalled},
        {"relative folder on a drive",
         [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, m_install.substr(0, 2) + "install\\")); }, notInstalled},
        {"device path", [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, "\\\\?\\" + m_install)); }, notInstalled},
        {"device namespace", [&] { ASSERT_TRUE(m_key.SetValue(TestValueName, "\\\\.\\" + m_install)); }, notInstalled},
        {"installation folder too long for the update",
         [&] {
             std::vector<FileEntry> update = m_update;
             update.push_back(MakeEntry(longName, 1));
             ASSERT_TRUE(WriteWholeFile(m_source + longName, Bytes(1, 'n')));
             ASSERT_TRUE(WriteWholeFile(m_root.Path("Updateinf.dat"), UpdateInfoBytes(update, m_key.Path())));
             ASSERT_TRUE(WriteWholeFile(deep + "Uninstallinf.dat", m_oldLedger));
             ASSERT_TRUE(m_key.SetValue(TestValueName, deep));
         },
         unreadable},
    };
    const CurrentFolder current(m_root.Path());
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        Prepare();
        refusal.setUp();
        if (HasFatalFailure())
            return;
        const auto before = Snapshot(m_root.Path());
        UserScript script;
        EXPECT_EQ(Run(script), 0);
        ExpectMessages(script, {{refusal.message, nullptr}});
        EXPECT_EQ(script.confirmations, 0);
        EXPECT_EQ(script.progress, nullptr);
        EXPECT_TRUE(Snapshot(m_root.Path()) == before);
        DeleteFileA(m_root.Path("Uninstallinf.dat").c_str());
    }
}

// Cancel, and a confirmation that could not be shown: no progress window,
// no message, nothing copied, the ledger not rewritten.
TEST_F(UpdateDriverTest, NoConsentCopiesAndWritesNothing)
{
    for (const INT_PTR answer : {INT_PTR{0}, INT_PTR{-1}}) {
        SCOPED_TRACE(answer);
        const auto before = Snapshot(m_root.Path());
        UserScript script;
        script.answer = answer;
        EXPECT_EQ(Run(script), 0);
        EXPECT_EQ(script.confirmations, 1);
        EXPECT_EQ(script.progress, nullptr);
        EXPECT_TRUE(script.messages.empty());
        EXPECT_TRUE(Snapshot(m_root.Path()) == before);
    }
}

// The whole update: no file held while the user decides, the progress
// window closed before the result, the old ledger on disk while the result
// is shown, the new one after.
TEST_F(UpdateDriverTest, ConfirmedUpdateCopiesReportsAndThenWritesTheLedger)
{
    UserScript script;
    script.onConfirm = [&] {
        const ScopedHandle exclusive(
            CreateFileA(LedgerPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(exclusive.IsValid()) << "a file is held open while the confirmation waits";
    };
    script.onMessage = [&](const ShownMessage&) {
        EXPECT_TRUE(script.progressClosed);
        EXPECT_TRUE(ReadWholeFile(LedgerPath()) == m_oldLedger);
    };
    EXPECT_EQ(Run(script), 0);
    ExpectMessages(script, {{UpdateCompletedText, UpdateCompletedCaption}});
    EXPECT_TRUE(ReadWholeFile(m_install + "big.bin") == m_big);
    EXPECT_TRUE(ReadWholeFile(m_install + "a.txt") == m_newA);
    EXPECT_TRUE(ReadWholeFile(LedgerPath())
                == LedgerBytes({MakeEntry("a.txt", 300, 1), MakeEntry("big.bin", 250000, 2), MakeEntry("sub\\", 0)}));
    // big.bin: 0, 40, 80 before its chunks and 100; a.txt: 0 and 100.
    EXPECT_EQ(g_progressRecording.progress, (std::vector<unsigned>{0, 40, 80, 100, 0, 100}));
}

// A value without its trailing separator: the ledger is the joined name beside
// the folder, and it is read and written back there, though it lies outside
// the folder the update goes into.
TEST_F(UpdateDriverTest, ValueWithoutSeparatorKeepsTheJoinedLedger)
{
    const std::string folder = m_install.substr(0, m_install.size() - 1);
    const std::string joinedLedger = folder + "Uninstallinf.dat";
    ASSERT_TRUE(WriteWholeFile(joinedLedger, m_oldLedger));
    ASSERT_TRUE(m_key.SetValue(TestValueName, folder));
    const Bytes innerLedger = LedgerBytes({MakeEntry("other.txt", 5)});
    ASSERT_TRUE(WriteWholeFile(LedgerPath(), innerLedger));

    UserScript script;
    EXPECT_EQ(Run(script), 0);
    ExpectMessages(script, {{UpdateCompletedText, UpdateCompletedCaption}});
    EXPECT_TRUE(ReadWholeFile(m_install + "a.txt") == m_newA);
    EXPECT_TRUE(ReadWholeFile(joinedLedger)
                == LedgerBytes({MakeEntry("a.txt", 300, 1), MakeEntry("big.bin", 250000, 2), MakeEntry("sub\\", 0)}));
    EXPECT_TRUE(ReadWholeFile(LedgerPath()) == innerLedger);
}

// A pass that stops early: the failure message with the default caption,
// then the ledger with what was merged before the stop.
TEST_F(UpdateDriverTest, StoppedPassReportsFailureAndKeepsEarlierMerges)
{
    struct Stop {
        const char* name;
        bool cancel;
        Bytes ledger;
    };
    const Stop stops[] = {
        // Cancel reaches the pass in big.bin's first chunk, before any merge.
        {"cancel during the copy", true, m_oldLedger},
        {"missing source", false,
         LedgerBytes({MakeEntry("a.txt", 100), MakeEntry("big.bin", 250000, 2), MakeEntry("sub\\", 0)})},
    };
    for (const Stop& stop : stops) {
        SCOPED_TRACE(stop.name);
        Prepare();
        CancelFlag = 0;
        if (!stop.cancel) {
            ASSERT_TRUE(DeleteFileA((m_source + "a.txt").c_str()));
        }
        CancellingProgressWindow window;
        UserScript script;
        script.openProgress = [&] {
            if (stop.cancel)
                PostMessageA(window.Handle(), WM_COMMAND, IDCANCEL, 0);
            return window.Handle();
        };
        script.closeProgress = [](HWND) {};
        EXPECT_EQ(Run(script), 0);
        ExpectMessages(script, {{UpdateFailedText, nullptr}});
        EXPECT_EQ(CancelFlag, stop.cancel ? 1 : 0);
        EXPECT_TRUE(ReadWholeFile(m_install + "a.txt") == m_oldA);
        EXPECT_TRUE(ReadWholeFile(LedgerPath()) == stop.ledger);
        ASSERT_TRUE(WriteWholeFile(m_source + "a.txt", m_newA));
        DeleteFileA((m_install + "big.bin").c_str());
    }
}

// The ledger held open without sharing from the result message on: the
// save fails, says so in a second message, and leaves the old ledger whole.
TEST_F(UpdateDriverTest, FailedSaveIsReportedAndLeavesTheOldLedger)
{
    ScopedHandle held;
    UserScript script;
    script.onMessage = [&](const ShownMessage&) {
        if (script.messages.size() == 1)
            held.Reset(CreateFileA(LedgerPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    EXPECT_EQ(Run(script), 0);
    ASSERT_TRUE(held.IsValid());
    held.Reset();
    ExpectMessages(script, {{UpdateCompletedText, UpdateCompletedCaption}, {LedgerWriteFailedText, nullptr}});
    EXPECT_TRUE(ReadWholeFile(LedgerPath()) == m_oldLedger);
    EXPECT_TRUE(ReadWholeFile(m_install + "a.txt") == m_newA);
}

// The program's own progress dialog, its input dispatched by the pass alone
// while big.bin is copied: a click on Cancel stops the update, the Esc key
// (which only the dialog manager's keyboard handling would turn into Cancel)
// does nothing.
TEST_F(UpdateDriverTest, ProgressDialogInputReachesThePassThroughItsOwnDispatch)
{
    struct Input {
        const char* name;
        bool toDialog; // else to the focused Cancel button
        UINT message;
        WPARAM wParam;
        const char* result;
    };
    const Input inputs[] = {
        {"Esc key", false, WM_KEYDOWN, VK_ESCAPE, UpdateCompletedText},
        // As the Cancel button sends it when clicked.
        {"Cancel button", true, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), UpdateFailedText},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        Prepare();
        CancelFlag = 0;
        bool inputLeftOver = true;
        UserScript script;
        script.openProgress = [&] {
            const HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                                   ProgressDialog, 0);
            ShowWindow(dialog, SW_SHOW);
            const HWND button = GetDlgItem(dialog, IDCANCEL);
            SetFocus(button);
            PostMessageA(input.toDialog ? dialog : button, input.message, input.wParam,
                         input.toDialog ? reinterpret_cast<LPARAM>(button) : 0);
            return dialog;
        };
        script.closeProgress = [&](HWND dialog) {
            MSG message;
            inputLeftOver = PeekMessageA(&message, nullptr, input.message, input.message, PM_NOREMOVE) != 0;
            DestroyWindow(dialog);
        };
        EXPECT_EQ(Run(script), 0);
        EXPECT_FALSE(inputLeftOver) << "the pass never dispatched the input";
        ASSERT_FALSE(script.messages.empty());
        EXPECT_EQ(script.messages[0].text, input.result);
        EXPECT_EQ(CancelFlag, input.result == UpdateFailedText ? 1 : 0);
        DeleteFileA((m_install + "big.bin").c_str());
    }
}

} // namespace
