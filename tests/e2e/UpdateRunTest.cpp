// The finished Update.exe as a user meets it: started beside an update built
// by updpack, against an installation found through the registry, its
// windows read and answered from this process.

#include "Scenario.h"
#include "ScopedOwners.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DWORD WindowTimeoutMs = 30000;
constexpr DWORD ExitTimeoutMs = 30000;
constexpr int IdcStatusText = 1002;
constexpr int IdcConfirmText = 1004;

const std::wstring Product = L"見本ソフト";
const std::wstring ConfirmCaption = Product + L" アップデート";
const std::wstring ConfirmText = Product + L"のアップデートを行います";
const std::wstring ProgressCaption = L"アップデート中";
const std::wstring CompletedText = L"アップデートが完了しました";
const std::wstring CompletedCaption = L"完了";
const std::wstring FailedText = L"アップデートに失敗しました";
const std::wstring UpdateInfoUnreadableText = L"アップデート情報ファイルが開けませんでした";
const std::wstring LedgerWriteFailedText = L"アンインストール情報を書き込めませんでした";
const std::wstring NotInstalledText = Product + L"が正常にインストールされていません\nインストール後、実行してください";
// What the system shows for a message box given no caption, in a Japanese session.
const std::wstring DefaultCaption = L"エラー";

// 表示 in code page 932: its first character's trail byte is a backslash.
const std::string HyoujiTxt = "\x95\x5C\x8E\xA6.txt";

struct Message {
    std::wstring caption;
    std::wstring text;
};

// A scenario packed with the product name, its registry value pointing at
// its installation folder, and its ledger written.
class UpdateRun {
public:
    explicit UpdateRun(const std::wstring& tag) : scenario(tag) {}

    void Prepare(const Ledger& before)
    {
        ASSERT_EQ(scenario.Pack(Product), "");
        ASSERT_TRUE(scenario.SetInstallValue(scenario.Install()));
        ledgerBefore = LedgerBytes(before);
        ASSERT_TRUE(WriteFileBytes(scenario.Install(L"Uninstallinf.dat"), ledgerBefore));
    }

    void Start() { process = std::make_unique<ChildProcess>(scenario.Updater(L"Update.exe"), L""); }

    HWND Confirmation()
    {
        const Found found =
            WaitForDialog(*process, "the confirmation dialog", CaptionIs(ConfirmCaption), WindowTimeoutMs);
        EXPECT_TRUE(found) << found.error;
        if (found) {
            EXPECT_EQ(ItemText(found.window, IdcConfirmText), ConfirmText);
        }
        return found.window;
    }

    // Reads the message box, checks the ledger on disk is still the old one
    // while it is up, and presses its OK button.
    Message AnswerMessage(const Bytes& ledgerOnDiskMeanwhile, const std::wstring& ledgerPath)
    {
        Message message;
        const Found found = WaitForDialog(*process, "a message box", IsMessageBox(), WindowTimeoutMs);
        EXPECT_TRUE(found) << found.error;
        if (!found)
            return message;
        message = {WindowText(found.window), MessageBoxText(found.window)};
        EXPECT_EQ(ReadFileBytes(ledgerPath), ledgerOnDiskMeanwhile)
            << "the ledger changed before the message was closed";
        EXPECT_TRUE(ClickButton(found.window, IDOK));
        return message;
    }

    Message AnswerMessage() { return AnswerMessage(ledgerBefore, scenario.Install(L"Uninstallinf.dat")); }

    // Waits for the end, noting every caption shown on the way.
    std::vector<std::wstring> ExpectExitCodeZero()
    {
        std::vector<std::wstring> captions;
        DWORD code = 1;
        EXPECT_TRUE(WatchUntilExit(*process, ExitTimeoutMs, captions, code))
            << "Update.exe did not end; its windows:" << Utf8(DescribeWindows(process->Id()));
        EXPECT_EQ(code, 0u);
        return captions;
    }

    Bytes LedgerNow() { return ReadFileBytes(scenario.Install(L"Uninstallinf.dat")); }

    Scenario scenario;
    Bytes ledgerBefore;
    std::unique_ptr<ChildProcess> process;
};

void ExpectNoTemporaryFiles(const std::wstring& folder)
{
    for (const std::wstring& file : FilesBelow(folder))
        EXPECT_EQ(file.find(L"~Update-"), std::wstring::npos) << Utf8(file) << " was left behind";
}

// ---------------------------------------------------------------------------
// The confirmation, answered each way a user can.

enum class Answer { OkButton, EnterKey, CancelButton, EscKey, CloseButton };

struct AnswerCase {
    const char* name;
    Answer answer;
    bool updates;
};

void Give(Answer answer, HWND confirmation)
{
    switch (answer) {
    case Answer::OkButton:
        EXPECT_TRUE(ClickButton(confirmation, IDOK));
        break;
    case Answer::EnterKey:
        EXPECT_TRUE(PressKey(confirmation, VK_RETURN));
        break;
    case Answer::CancelButton:
        EXPECT_TRUE(ClickButton(confirmation, IDCANCEL));
        break;
    case Answer::EscKey:
        EXPECT_TRUE(PressKey(confirmation, VK_ESCAPE));
        break;
    case Answer::CloseButton:
        EXPECT_TRUE(PressCloseButton(confirmation));
        break;
    }
}

class ConfirmationAnswer : public ::testing::TestWithParam<AnswerCase> {};

// An installation with a folder and a file already in the ledger (in other
// letter cases), a file that the update leaves alone, and an update that
// brings a replaced file, a new folder with a file of several chunks, and
// new files with ASCII and Japanese names.
TEST_P(ConfirmationAnswer, DecidesWhetherEverythingIsCopiedAndMerged)
{
    UpdateRun run(L"answer-" + std::wstring(GetParam().name, GetParam().name + strlen(GetParam().name)));
    Scenario& s = run.scenario;
    const Bytes app = PatternBytes(1000, 1), extra = PatternBytes(250000, 2), readme = PatternBytes(20, 3),
                hyouji = PatternBytes(12, 4), oldApp = PatternBytes(600, 5), keep = PatternBytes(77, 6);
    s.SourceFile(L"bin\\app.exe", app);
    s.SourceFile(L"bin\\plugins\\extra.dll", extra);
    s.SourceFile(L"readme.txt", readme);
    s.SourceFile(L"表示.txt", hyouji);
    s.InstalledFile(L"bin\\app.exe", oldApp);
    s.InstalledFile(L"keep.dat", keep);
    run.Prepare({2, 677, {{"Bin\\", 0, 0}, {"BIN\\APP.EXE", 600, 9}, {"keep.dat", 77, 5}}});
    if (HasFatalFailure())
        return;

    run.Start();
    const HWND confirmation = run.Confirmation();
    ASSERT_NE(confirmation, nullptr);
    Give(GetParam().answer, confirmation);
    ASSERT_TRUE(WaitUntilGone(confirmation, WindowTimeoutMs)) << "the confirmation stayed after the answer";

    if (!GetParam().updates) {
        const std::vector<std::wstring> captions = run.ExpectExitCodeZero();
        for (const std::wstring& caption : captions)
            EXPECT_TRUE(caption == ConfirmCaption || caption.empty()) << "also shown: " << Utf8(caption);
        EXPECT_EQ(run.LedgerNow(), run.ledgerBefore);
        EXPECT_EQ(ReadFileBytes(s.Install(L"bin\\app.exe")), oldApp);
        EXPECT_EQ(FilesBelow(s.Install()).size(), 3u);
        return;
    }

    const Message result = run.AnswerMessage();
    EXPECT_EQ(result.text, CompletedText);
    EXPECT_EQ(result.caption, CompletedCaption);
    run.ExpectExitCodeZero();

    // The records read keep their place and letter case; new ones follow in the update's order.
    const Bytes expected = LedgerBytes({5,
                                        677 + 400 + 250000 + 20 + 12,
                                        {{"Bin\\", 0, 0},
                                         {"BIN\\APP.EXE", 1000, 0},
                                         {"keep.dat", 77, 5},
                                         {"bin\\plugins\\", 0, 0},
                                         {"bin\\plugins\\extra.dll", 250000, 0},
                                         {"readme.txt", 20, 0},
                                         {HyoujiTxt, 12, 0}}});
    EXPECT_EQ(run.LedgerNow(), expected);
    EXPECT_EQ(ReadFileBytes(s.Install(L"bin\\app.exe")), app);
    EXPECT_EQ(ReadFileBytes(s.Install(L"bin\\plugins\\extra.dll")), extra);
    EXPECT_EQ(ReadFileBytes(s.Install(L"readme.txt")), readme);
    EXPECT_EQ(ReadFileBytes(s.Install(L"表示.txt")), hyouji);
    EXPECT_EQ(ReadFileBytes(s.Install(L"keep.dat")), keep);
    ExpectNoTemporaryFiles(s.Install());
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, ConfirmationAnswer,
                         ::testing::Values(AnswerCase{"OkButton", Answer::OkButton, true},
                                           AnswerCase{"EnterKey", Answer::EnterKey, true},
                                           AnswerCase{"CancelButton", Answer::CancelButton, false},
                                           AnswerCase{"EscKey", Answer::EscKey, false},
                                           AnswerCase{"CloseButton", Answer::CloseButton, false}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Every way the run ends before the confirmation.

enum class Setup { NoUpdateInfo, MalformedUpdateInfo, NoSubkey, NoValue, ValueTooLong, NoSeparatorNoLedger };

struct RefusalCase {
    const char* name;
    Setup setup;
    const std::wstring* text;
};

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, ShowsItsMessageAndChangesNothing)
{
    UpdateRun run(L"refusal-" + std::wstring(GetParam().name, GetParam().name + strlen(GetParam().name)));
    Scenario& s = run.scenario;
    s.SourceFile(L"new.txt", PatternBytes(10, 1));
    s.InstalledFile(L"old.txt", PatternBytes(10, 2));
    run.Prepare({1, 10, {{"old.txt", 10, 0}}});
    if (HasFatalFailure())
        return;

    const std::wstring joined = s.Install().substr(0, s.Install().size() - 1);
    switch (GetParam().setup) {
    case Setup::NoUpdateInfo:
        ASSERT_TRUE(DeleteFileW(s.Updater(L"Updateinf.dat").c_str()));
        break;
    case Setup::MalformedUpdateInfo: {
        // Its last record cut short by a byte.
        Bytes info = ReadFileBytes(s.Updater(L"Updateinf.dat"));
        ASSERT_FALSE(info.empty());
        info.pop_back();
        ASSERT_TRUE(WriteFileBytes(s.Updater(L"Updateinf.dat"), info));
        break;
    }
    case Setup::NoSubkey:
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, s.KeyPath().c_str()), ERROR_SUCCESS);
        break;
    case Setup::NoValue:
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, s.KeyPath().c_str()), ERROR_SUCCESS);
        ASSERT_TRUE(s.CreateKeyOnly());
        break;
    case Setup::ValueTooLong:
        ASSERT_TRUE(s.SetInstallValue(s.Install() + std::wstring(300, L'x') + L"\\"));
        break;
    case Setup::NoSeparatorNoLedger:
        ASSERT_TRUE(s.SetInstallValue(joined));
        break;
    }
    const std::wstring valueBefore = s.ReadInstallValue();

    run.Start();
    const Message message = run.AnswerMessage();
    EXPECT_EQ(message.text, *GetParam().text);
    EXPECT_EQ(message.caption, DefaultCaption);
    const std::vector<std::wstring> captions = run.ExpectExitCodeZero();
    EXPECT_EQ(std::count(captions.begin(), captions.end(), ConfirmCaption), 0);

    EXPECT_EQ(run.LedgerNow(), run.ledgerBefore);
    EXPECT_EQ(FilesBelow(s.Install()), (std::vector<std::wstring>{L"old.txt", L"Uninstallinf.dat"}));
    EXPECT_EQ(s.ReadInstallValue(), valueBefore);
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, Refusal,
    ::testing::Values(RefusalCase{"NoUpdateInfo", Setup::NoUpdateInfo, &UpdateInfoUnreadableText},
                      RefusalCase{"MalformedUpdateInfo", Setup::MalformedUpdateInfo, &UpdateInfoUnreadableText},
                      RefusalCase{"NoSubkey", Setup::NoSubkey, &NotInstalledText},
                      RefusalCase{"NoValue", Setup::NoValue, &NotInstalledText},
                      RefusalCase{"ValueTooLong", Setup::ValueTooLong, &NotInstalledText},
                      RefusalCase{"NoSeparatorNoLedger", Setup::NoSeparatorNoLedger, &NotInstalledText}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------

// A value without its trailing backslash names the ledger as the folder's
// name with Uninstallinf.dat joined on; where that file exists, the update
// goes into the folder and the ledger is written back to the joined name.
TEST(EndToEnd, ValueWithoutSeparatorUsesTheJoinedLedgerName)
{
    UpdateRun run(L"joined");
    Scenario& s = run.scenario;
    const Bytes added = PatternBytes(30, 1);
    s.SourceFile(L"added.txt", added);
    run.Prepare({0, 0, {}});
    if (HasFatalFailure())
        return;
    const std::wstring folder = s.Install().substr(0, s.Install().size() - 1);
    const std::wstring joinedLedger = folder + L"Uninstallinf.dat";
    const Bytes joinedBefore = LedgerBytes({1, 5, {{"other.txt", 5, 1}}});
    ASSERT_TRUE(WriteFileBytes(joinedLedger, joinedBefore));
    ASSERT_TRUE(s.SetInstallValue(folder));

    run.Start();
    const HWND confirmation = run.Confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, IDOK));
    ASSERT_TRUE(WaitUntilGone(confirmation, WindowTimeoutMs)) << "the confirmation stayed after OK";
    const Message result = run.AnswerMessage(joinedBefore, joinedLedger);
    EXPECT_EQ(result.text, CompletedText);
    run.ExpectExitCodeZero();

    EXPECT_EQ(ReadFileBytes(s.Install(L"added.txt")), added);
    EXPECT_EQ(ReadFileBytes(joinedLedger), LedgerBytes({2, 35, {{"other.txt", 5, 1}, {"added.txt", 30, 0}}}));
    EXPECT_EQ(run.LedgerNow(), run.ledgerBefore) << "the ledger inside the folder is not the one named";
}

// An installation folder whose path leaves no room for a name the update
// brings: refused before the confirmation, with nothing written.
TEST(EndToEnd, InstallFolderTooLongForTheUpdateChangesNothing)
{
    UpdateRun run(L"too-long");
    Scenario& s = run.scenario;
    const std::wstring longName = std::wstring(40, L'n') + L".txt";
    s.SourceFile(longName, PatternBytes(10, 1));
    run.Prepare({0, 0, {}});
    if (HasFatalFailure())
        return;

    // 230 characters with its separator: room for the ledger and the
    // temporary file that replaces it, none for the long name.
    const std::size_t folderLength = 230;
    const std::wstring prefix = s.Install(L"deep\\");
    ASSERT_LT(prefix.size() + 1, folderLength);
    ASSERT_TRUE(std::all_of(prefix.begin(), prefix.end(), [](wchar_t c) { return c < 0x80; }))
        << "the lengths below count characters as bytes";
    const std::wstring folder = prefix + std::wstring(folderLength - prefix.size() - 1, L'd') + L"\\";
    const std::wstring relative = folder.substr(s.Install().size());
    const Bytes old = PatternBytes(10, 2);
    s.InstalledFile(relative + L"old.txt", old);
    const Bytes ledger = LedgerBytes({1, 10, {{"old.txt", 10, 0}}});
    ASSERT_TRUE(WriteFileBytes(folder + L"Uninstallinf.dat", ledger));
    ASSERT_TRUE(s.SetInstallValue(folder));

    run.Start();
    const Message message = run.AnswerMessage(ledger, folder + L"Uninstallinf.dat");
    EXPECT_EQ(message.text, UpdateInfoUnreadableText);
    EXPECT_EQ(message.caption, DefaultCaption);
    const std::vector<std::wstring> captions = run.ExpectExitCodeZero();
    EXPECT_EQ(std::count(captions.begin(), captions.end(), ConfirmCaption), 0);

    EXPECT_EQ(ReadFileBytes(folder + L"Uninstallinf.dat"), ledger);
    std::vector<std::wstring> files = FilesBelow(s.Install());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::wstring>{L"Uninstallinf.dat", relative + L"Uninstallinf.dat", relative + L"old.txt"}));
}

// The ledger held open without sharing from before the result message until
// after the save: the result message, then the failed save's own message,
// and the old ledger left whole.
TEST(EndToEnd, FailedLedgerSaveIsReportedAndLeavesTheOldLedger)
{
    UpdateRun run(L"save-fails");
    Scenario& s = run.scenario;
    const Bytes added = PatternBytes(30, 1);
    s.SourceFile(L"added.txt", added);
    run.Prepare({1, 5, {{"other.txt", 5, 1}}});
    if (HasFatalFailure())
        return;

    run.Start();
    const HWND confirmation = run.Confirmation();
    ASSERT_NE(confirmation, nullptr);
    ScopedHandle held(CreateFileW(s.Install(L"Uninstallinf.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid()) << GetLastError();
    ASSERT_TRUE(ClickButton(confirmation, IDOK));
    ASSERT_TRUE(WaitUntilGone(confirmation, WindowTimeoutMs)) << "the confirmation stayed after OK";

    const Found result = WaitForDialog(*run.process, "the result message", IsMessageBox(), WindowTimeoutMs);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(MessageBoxText(result.window), CompletedText);
    EXPECT_EQ(WindowText(result.window), CompletedCaption);
    ASSERT_TRUE(ClickButton(result.window, IDOK));
    ASSERT_TRUE(WaitUntilGone(result.window, WindowTimeoutMs)) << "the result message stayed after OK";

    // Still held while the second message is up, so nothing can read it.
    const Message failed = run.AnswerMessage(Bytes{}, s.Install(L"Uninstallinf.dat"));
    EXPECT_EQ(failed.text, LedgerWriteFailedText);
    EXPECT_EQ(failed.caption, DefaultCaption);
    held.Reset();
    run.ExpectExitCodeZero();

    EXPECT_EQ(run.LedgerNow(), run.ledgerBefore);
    EXPECT_EQ(ReadFileBytes(s.Install(L"added.txt")), added);
    ExpectNoTemporaryFiles(s.Install());
}

// Cancel while a large file is copied: the pass stops, the message says so,
// the ledger keeps what was merged before, and the file being copied keeps
// its old content whole.
TEST(EndToEnd, CancelDuringALargeCopyKeepsEarlierMerges)
{
    UpdateRun run(L"cancel-copy");
    Scenario& s = run.scenario;
    const Bytes first = PatternBytes(100, 1), oldBig = PatternBytes(1000, 2);
    s.SourceFile(L"a\\first.txt", first);
    s.SourceFile(L"big.bin", PatternBytes(48 * 1000 * 1000, 3));
    s.SourceFile(L"z.txt", PatternBytes(10, 4));
    s.InstalledFile(L"big.bin", oldBig);
    run.Prepare({1, 1000, {{"big.bin", 1000, 0}}});
    if (HasFatalFailure())
        return;

    run.Start();
    const HWND confirmation = run.Confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, IDOK));
    ASSERT_TRUE(WaitUntilGone(confirmation, WindowTimeoutMs)) << "the confirmation stayed after OK";
    const Found progress = WaitForDialog(
        *run.process, "the progress dialog copying big.bin",
        [](HWND window) {
            return WindowText(window) == ProgressCaption && ItemText(window, IdcStatusText) == L"big.binをコピー中...";
        },
        WindowTimeoutMs);
    ASSERT_TRUE(progress) << progress.error;
    EXPECT_TRUE(ClickButton(progress.window, IDCANCEL));
    EXPECT_TRUE(WaitUntilGone(progress.window, WindowTimeoutMs)) << "the progress dialog stayed after Cancel";

    const Message result = run.AnswerMessage();
    EXPECT_EQ(result.text, FailedText) << "the copy ended before Cancel reached it";
    EXPECT_EQ(result.caption, DefaultCaption);
    run.ExpectExitCodeZero();

    EXPECT_EQ(run.LedgerNow(), LedgerBytes({2, 1100, {{"big.bin", 1000, 0}, {"a\\", 0, 0}, {"a\\first.txt", 100, 0}}}));
    EXPECT_EQ(ReadFileBytes(s.Install(L"big.bin")), oldBig);
    EXPECT_EQ(ReadFileBytes(s.Install(L"a\\first.txt")), first);
    EXPECT_FALSE(Exists(s.Install(L"z.txt")));
    ExpectNoTemporaryFiles(s.Install());
}

// An update with no entries completes, and the ledger is rewritten from its
// header and records: bytes after the last record are dropped.
TEST(EndToEnd, EmptyUpdateRewritesTheLedgerAsItWas)
{
    UpdateRun run(L"empty");
    run.scenario.SourceFile(L"dropped.txt", PatternBytes(10, 1));
    const Ledger ledger{1, 40, {{"data\\", 0, 3}, {"data\\a.bin", 40, 4}}};
    run.Prepare(ledger);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(run.scenario.KeepUpdateRecords(false));
    Bytes withSurplus = run.ledgerBefore;
    withSurplus.insert(withSurplus.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_TRUE(WriteFileBytes(run.scenario.Install(L"Uninstallinf.dat"), withSurplus));

    run.Start();
    const HWND confirmation = run.Confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, IDOK));
    ASSERT_TRUE(WaitUntilGone(confirmation, WindowTimeoutMs)) << "the confirmation stayed after OK";
    const Message result = run.AnswerMessage(withSurplus, run.scenario.Install(L"Uninstallinf.dat"));
    EXPECT_EQ(result.text, CompletedText);
    EXPECT_EQ(result.caption, CompletedCaption);
    run.ExpectExitCodeZero();
    EXPECT_EQ(run.LedgerNow(), LedgerBytes(ledger));
}

// Folders only: no file is copied, so the status line keeps its template
// text for as long as the progress dialog is up.
TEST(EndToEnd, FoldersOnlyLeaveTheStatusLineAlone)
{
    UpdateRun run(L"folders");
    Ledger expected{0, 0, {}};
    for (int top = 0; top < 20; ++top) {
        const std::string name = "d" + std::to_string(top / 10) + std::to_string(top % 10);
        expected.records.push_back({name + "\\", 0, 0});
        for (int sub = 0; sub < 10; ++sub) {
            const std::string child = name + "\\s" + std::to_string(sub);
            run.scenario.SourceFolder(std::wstring(child.begin(), child.end()));
            expected.records.push_back({child + "\\", 0, 0});
        }
    }
    run.scenario.SourceFile(L"d00\\dropped.txt", PatternBytes(10, 1));
    run.Prepare({0, 0, {}});
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(run.scenario.KeepUpdateRecords(true));

    run.Start();
    const HWND confirmation = run.Confirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, IDOK));
    ASSERT_TRUE(WaitUntilGone(confirmation, WindowTimeoutMs)) << "the confirmation stayed after OK";

    // The pass may be over before the dialog is seen; every sighting must show the template text.
    std::vector<std::wstring> statusSeen;
    const Found message = WaitForDialog(
        *run.process, "a message box",
        [&statusSeen](HWND window) {
            if (WindowText(window) == ProgressCaption)
                statusSeen.push_back(ItemText(window, IdcStatusText));
            return IsMessageBox()(window);
        },
        WindowTimeoutMs);
    ASSERT_TRUE(message) << message.error;
    for (const std::wstring& status : statusSeen)
        EXPECT_EQ(status, L"Static");
    std::printf("progress dialog seen %zu times while the folders were made\n", statusSeen.size());
    const Message result = run.AnswerMessage();
    EXPECT_EQ(result.text, CompletedText);
    run.ExpectExitCodeZero();

    EXPECT_EQ(run.LedgerNow(), LedgerBytes(expected));
    const DWORD last = GetFileAttributesW(run.scenario.Install(L"d19\\s9").c_str());
    EXPECT_TRUE(last != INVALID_FILE_ATTRIBUTES && (last & FILE_ATTRIBUTE_DIRECTORY));
}

} // namespace
