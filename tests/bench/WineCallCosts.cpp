// Probes what the Wine underneath supports and prices, per call, each thing
// the copy pass could do for one small file. Each probe runs in interleaved
// rounds (every probe once per round), so a busy moment on the machine lands
// on all of them; prints "key median min max" in microseconds per call, and
// "support_* 0|1" for the capability checks. For scripts/bench and by hand:
//   winecosts SCRATCH\ [ROUNDS]

#include "ScopedOwners.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int CallsPerRound = 300;
constexpr DWORD SmallFileSize = 4096;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string g_scratch;
const std::vector<unsigned char> g_page(SmallFileSize, 0x5A);

std::string Name(const char* stem, int i)
{
    return g_scratch + stem + std::to_string(i);
}

HANDLE Create(const std::string& path, DWORD access, DWORD disposition)
{
    return CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteSmall(HANDLE file)
{
    DWORD written = 0;
    WriteFile(file, g_page.data(), SmallFileSize, &written, nullptr);
}

void MakeSmallFile(const std::string& path)
{
    const ScopedHandle file(Create(path, GENERIC_WRITE, CREATE_ALWAYS));
    WriteSmall(file.Get());
}

// Renames the open file to target through its handle (FileRenameInfo).
bool RenameByHandle(HANDLE file, const std::string& target)
{
    wchar_t wide[MAX_PATH];
    const int length = MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wide, MAX_PATH);
    if (length <= 0)
        return false;
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + length * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>((length - 1) * sizeof(wchar_t));
    std::memcpy(info->FileName, wide, length * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
}

bool DeleteByHandle(HANDLE file)
{
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != 0;
}

bool ReadsBack(const std::string& path)
{
    const ScopedHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    return file.IsValid() && GetFileSizeEx(file.Get(), &size) && size.QuadPart == SmallFileSize;
}

void Support(const char* key, bool value, DWORD error = 0)
{
    std::printf("support_%s %d %lu\n", key, value ? 1 : 0, static_cast<unsigned long>(error));
}

// What Wine does with renames and deletes through an open handle.
void ProbeSupport()
{
    const std::string temporary = g_scratch + "probe.tmp";
    const std::string destination = g_scratch + "probe.dst";
    const std::string elsewhere = g_scratch + "probe.other";
    DeleteFileA(temporary.c_str());
    DeleteFileA(destination.c_str());
    DeleteFileA(elsewhere.c_str());

    // Checked after the handle is closed: it shares nothing.
    for (const char* key : {"rename_by_handle_new", "rename_by_handle_replace"}) {
        ScopedHandle file(Create(temporary, GENERIC_WRITE | DELETE, CREATE_NEW));
        WriteSmall(file.Get());
        SetLastError(0);
        const bool renamed = RenameByHandle(file.Get(), destination);
        const DWORD error = renamed ? 0 : GetLastError();
        file.Reset();
        Support(key,
                renamed && ReadsBack(destination) && GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES,
                error);
    }
    {
        // Windows refuses a rename through a handle opened without DELETE access.
        ScopedHandle file(Create(temporary, GENERIC_WRITE, CREATE_NEW));
        SetLastError(0);
        const bool renamed = RenameByHandle(file.Get(), elsewhere);
        Support("rename_by_handle_refused_without_delete", !renamed, renamed ? 0 : GetLastError());
        file.Reset();
        DeleteFileA(temporary.c_str());
        DeleteFileA(elsewhere.c_str());
    }
    {
        // The destination held open by another handle without FILE_SHARE_DELETE.
        const ScopedHandle holder(
            CreateFileA(destination.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ScopedHandle file(Create(temporary, GENERIC_WRITE | DELETE, CREATE_NEW));
        SetLastError(0);
        const bool renamed = RenameByHandle(file.Get(), destination);
        Support("rename_by_handle_refused_while_held", !renamed, GetLastError());
        file.Reset();
        DeleteFileA(temporary.c_str());
    }
    {
        ScopedHandle file(Create(temporary, GENERIC_WRITE | DELETE, CREATE_NEW));
        SetLastError(0);
        const bool marked = DeleteByHandle(file.Get());
        const DWORD error = marked ? 0 : GetLastError();
        file.Reset();
        Support("delete_by_handle", marked && GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES, error);
        DeleteFileA(temporary.c_str());
    }
    {
        MakeSmallFile(temporary);
        SetLastError(0);
        const ScopedHandle file(Create(temporary, GENERIC_WRITE, CREATE_NEW));
        Support("create_new_refuses_existing", !file.IsValid(), GetLastError());
        DeleteFileA(temporary.c_str());
    }
    // Is a rename over a read-only destination refused?
    MakeSmallFile(destination);
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_READONLY);
    {
        ScopedHandle file(Create(temporary, GENERIC_WRITE | DELETE, CREATE_NEW));
        SetLastError(0);
        const bool renamed = RenameByHandle(file.Get(), destination);
        Support("rename_by_handle_over_readonly", renamed, renamed ? 0 : GetLastError());
    }
    if (GetFileAttributesA(temporary.c_str()) == INVALID_FILE_ATTRIBUTES)
        MakeSmallFile(temporary);
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_READONLY);
    SetLastError(0);
    const bool moved = MoveFileExA(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    Support("move_over_readonly", moved, moved ? 0 : GetLastError());
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temporary.c_str());
    DeleteFileA(destination.c_str());
}

struct Probe {
    const char* key;
    // Runs CallsPerRound operations; returns the seconds that the priced part took.
    std::function<double(int round)> run;
    std::vector<double> perCall;
};

// Times fn(i) over CallsPerRound calls, with prepare(i) and cleanup(i) untimed.
double Timed(int round, const std::function<void(int)>& prepare, const std::function<void(int)>& fn,
             const std::function<void(int)>& cleanup)
{
    double total = 0;
    for (int k = 0; k < CallsPerRound; ++k) {
        const int i = round * CallsPerRound + k;
        prepare(i);
        const double start = Now();
        fn(i);
        total += Now() - start;
        cleanup(i);
    }
    return total;
}

const auto Nothing = [](int) {};

HWND g_window = nullptr;
// A shown progress bar in a shown window, as in the progress dialog, and an
// open file whose position is asked for.
ScopedWindow g_barWindow;
HWND g_bar = nullptr;
ScopedHandle g_positionFile;

std::vector<Probe> Probes()
{
    std::vector<Probe> probes;
    auto add = [&](const char* key, std::function<double(int)> run) { probes.push_back({key, std::move(run), {}}); };
    auto removeName = [](const char* stem) { return [stem](int i) { DeleteFileA(Name(stem, i).c_str()); }; };

    add("create_always_new", [=](int r) {
        return Timed(
            r, Nothing, [](int i) { CloseHandle(Create(Name("ca", i), GENERIC_WRITE, CREATE_ALWAYS)); },
            removeName("ca"));
    });
    add("create_new_new", [=](int r) {
        return Timed(
            r, Nothing, [](int i) { CloseHandle(Create(Name("cn", i), GENERIC_WRITE, CREATE_NEW)); }, removeName("cn"));
    });
    add("create_new_delete_access", [=](int r) {
        return Timed(
            r, Nothing, [](int i) { CloseHandle(Create(Name("cd", i), GENERIC_WRITE | DELETE, CREATE_NEW)); },
            removeName("cd"));
    });
    add("create_always_existing", [=](int r) {
        return Timed(
            r, [](int i) { MakeSmallFile(Name("ce", i)); },
            [](int i) { CloseHandle(Create(Name("ce", i), GENERIC_WRITE, CREATE_ALWAYS)); }, removeName("ce"));
    });
    add("write_4k", [=](int r) {
        HANDLE file = INVALID_HANDLE_VALUE;
        return Timed(
            r, [&](int i) { file = Create(Name("w", i), GENERIC_WRITE, CREATE_NEW); }, [&](int) { WriteSmall(file); },
            [&](int i) {
                CloseHandle(file);
                DeleteFileA(Name("w", i).c_str());
            });
    });
    add("flush_4k", [=](int r) {
        HANDLE file = INVALID_HANDLE_VALUE;
        return Timed(
            r,
            [&](int i) {
                file = Create(Name("fl", i), GENERIC_WRITE, CREATE_NEW);
                WriteSmall(file);
            },
            [&](int) { FlushFileBuffers(file); },
            [&](int i) {
                CloseHandle(file);
                DeleteFileA(Name("fl", i).c_str());
            });
    });
    add("close", [=](int r) {
        HANDLE file = INVALID_HANDLE_VALUE;
        return Timed(
            r,
            [&](int i) {
                file = Create(Name("cl", i), GENERIC_WRITE, CREATE_NEW);
                WriteSmall(file);
            },
            [&](int) { CloseHandle(file); }, removeName("cl"));
    });
    add("open_read_existing", [=](int r) {
        return Timed(
            r, [](int i) { MakeSmallFile(Name("or", i)); },
            [](int i) {
                CloseHandle(CreateFileA(Name("or", i).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            },
            removeName("or"));
    });
    add("move_replace_write_through", [=](int r) {
        return Timed(
            r,
            [](int i) {
                MakeSmallFile(Name("mt", i));
                MakeSmallFile(Name("md", i));
            },
            [](int i) {
                MoveFileExA(Name("mt", i).c_str(), Name("md", i).c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
            },
            removeName("md"));
    });
    add("move_replace", [=](int r) {
        return Timed(
            r,
            [](int i) {
                MakeSmallFile(Name("nt", i));
                MakeSmallFile(Name("nd", i));
            },
            [](int i) { MoveFileExA(Name("nt", i).c_str(), Name("nd", i).c_str(), MOVEFILE_REPLACE_EXISTING); },
            removeName("nd"));
    });
    add("rename_by_handle_replace", [=](int r) {
        HANDLE file = INVALID_HANDLE_VALUE;
        return Timed(
            r,
            [&](int i) {
                MakeSmallFile(Name("hd", i));
                file = Create(Name("ht", i), GENERIC_WRITE | DELETE, CREATE_NEW);
                WriteSmall(file);
            },
            [&](int i) { RenameByHandle(file, Name("hd", i)); },
            [&](int i) {
                CloseHandle(file);
                DeleteFileA(Name("hd", i).c_str());
                DeleteFileA(Name("ht", i).c_str());
            });
    });
    add("delete_by_name", [=](int r) {
        return Timed(
            r, [](int i) { MakeSmallFile(Name("dn", i)); }, [](int i) { DeleteFileA(Name("dn", i).c_str()); }, Nothing);
    });
    add("attributes_set_existing", [=](int r) {
        return Timed(
            r, [](int i) { MakeSmallFile(Name("ae", i)); },
            [](int i) { SetFileAttributesA(Name("ae", i).c_str(), FILE_ATTRIBUTE_NORMAL); }, removeName("ae"));
    });
    add("attributes_set_missing", [=](int r) {
        return Timed(
            r, Nothing, [](int i) { SetFileAttributesA(Name("am", i).c_str(), FILE_ATTRIBUTE_NORMAL); }, Nothing);
    });
    add("attributes_get_existing", [=](int r) {
        return Timed(
            r, [](int i) { MakeSmallFile(Name("ag", i)); }, [](int i) { GetFileAttributesA(Name("ag", i).c_str()); },
            removeName("ag"));
    });
    add("final_path_by_handle", [=](int r) {
        HANDLE file = INVALID_HANDLE_VALUE;
        return Timed(
            r, [&](int i) { file = Create(Name("fp", i), GENERIC_WRITE, CREATE_NEW); },
            [&](int) {
                char path[MAX_PATH];
                GetFinalPathNameByHandleA(file, path, MAX_PATH, FILE_NAME_NORMALIZED);
            },
            [&](int i) {
                CloseHandle(file);
                DeleteFileA(Name("fp", i).c_str());
            });
    });
    add("copyfile_4k", [=](int r) {
        return Timed(
            r, [](int i) { MakeSmallFile(Name("cs", i)); },
            [](int i) { CopyFileA(Name("cs", i).c_str(), Name("cc", i).c_str(), FALSE); },
            [](int i) {
                DeleteFileA(Name("cs", i).c_str());
                DeleteFileA(Name("cc", i).c_str());
            });
    });
    add("peek_noremove_empty", [](int r) {
        return Timed(
            r, Nothing,
            [](int) {
                MSG message;
                PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
            },
            Nothing);
    });
    add("peek_remove_empty", [](int r) {
        return Timed(
            r, Nothing,
            [](int) {
                MSG message;
                PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
            },
            Nothing);
    });
    // One posted message dispatched, the way the pass did it and the one-call way.
    add("dispatch_peek_then_get", [](int r) {
        return Timed(
            r, [](int) { PostMessageA(g_window, WM_NULL, 0, 0); },
            [](int) {
                MSG message;
                if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
                    GetMessageA(&message, nullptr, 0, 0);
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            },
            Nothing);
    });
    add("dispatch_peek_remove", [](int r) {
        return Timed(
            r, [](int) { PostMessageA(g_window, WM_NULL, 0, 0); },
            [](int) {
                MSG message;
                if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
            },
            Nothing);
    });
    // What the pass does before each chunk: ask the source's position, and
    // hand the bar its value, mostly the one it holds, a new one 100 times a file.
    add("position_query", [](int r) {
        return Timed(
            r, Nothing,
            [](int) {
                LONG high = 0;
                SetFilePointer(g_positionFile.Get(), 0, &high, FILE_CURRENT);
            },
            Nothing);
    });
    add("progress_same_value", [](int r) {
        return Timed(
            r, Nothing, [](int) { SendMessageA(g_bar, PBM_SETPOS, 50, 0); }, Nothing);
    });
    add("progress_new_value", [](int r) {
        return Timed(
            r, Nothing, [](int i) { SendMessageA(g_bar, PBM_SETPOS, i % 100, 0); }, Nothing);
    });
    add("tick_count", [](int r) {
        return Timed(
            r, Nothing, [](int) { GetTickCount64(); }, Nothing);
    });
    add("set_window_text", [](int r) {
        return Timed(
            r, Nothing, [](int i) { SetWindowTextA(g_window, i % 2 ? "d001\\f001" : "d002\\f002"); }, Nothing);
    });
    return probes;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    g_scratch = argv[1];
    const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    g_window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (g_window == nullptr)
        return 3;
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    g_barWindow.Reset(CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 100, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr));
    g_bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 260, 20, g_barWindow.Get(), nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    if (!g_barWindow.IsValid() || g_bar == nullptr)
        return 3;
    UpdateWindow(g_barWindow.Get());
    MakeSmallFile(g_scratch + "position.dat");
    g_positionFile.Reset(Create(g_scratch + "position.dat", GENERIC_READ, OPEN_EXISTING));
    if (!g_positionFile.IsValid())
        return 3;
    ProbeSupport();
    std::vector<Probe> probes = Probes();
    for (int round = 0; round < rounds; ++round)
        for (Probe& probe : probes)
            probe.perCall.push_back(probe.run(round) / CallsPerRound * 1e6);
    for (const Probe& probe : probes)
        std::printf("%s %.2f %.2f %.2f\n", probe.key, Median(probe.perCall),
                    *std::min_element(probe.perCall.begin(), probe.perCall.end()),
                    *std::max_element(probe.perCall.begin(), probe.perCall.end()));
    g_positionFile.Reset();
    DeleteFileA((g_scratch + "position.dat").c_str());
    g_barWindow.Reset();
    DestroyWindow(g_window);
    return 0;
}
