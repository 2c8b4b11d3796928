#include "FileHolder.h"
#include "FileReplacement.h"
#include "PathRoom.h"
#include "ScopedOwners.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr DWORD Marker = 0xBADC0DEu;

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::string TemporaryName(unsigned attempt)
{
    char name[32];
    std::snprintf(name, sizeof name, "~Update-%04u.tmp", attempt);
    return name;
}

class FileReplacementTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_folder.Path(name); }

    // Begins a replacement of destination, writes contents and commits it.
    bool Replace(const std::string& destination, const std::string& contents, std::string* temporary = nullptr)
    {
        CFile stream;
        CFileReplacement replacement(stream);
        if (!replacement.Begin(destination.c_str()))
            return false;
        if (temporary != nullptr)
            *temporary = replacement.TemporaryPath();
        EXPECT_EQ(stream.Write(contents.data(), static_cast<std::uint32_t>(contents.size())), contents.size());
        SetLastError(Marker);
        return replacement.Commit();
    }

    // The names in the folder, apart from . and ..
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const ScopedFind search(FindFirstFileA(Path("*").c_str(), &found));
        if (!search.IsValid())
            return names;
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..")
                names.push_back(name);
        } while (FindNextFileA(search.Get(), &found));
        return names;
    }

    ScratchFolder m_folder{"replace"};
};

TEST_F(FileReplacementTest, ReplacesTheDestinationWholeThroughATemporaryBesideIt)
{
    const std::string destination = Path("a.dll");
    ASSERT_TRUE(WriteWholeFile(destination, Text("old contents")));
    std::string temporary;
    ASSERT_TRUE(Replace(destination, "new", &temporary));
    EXPECT_EQ(temporary, Path(TemporaryName(0)));
    EXPECT_EQ(ReadWholeFile(destination), Text("new"));
    EXPECT_EQ(Names(), std::vector<std::string>{"a.dll"});

    // A destination that does not exist yet is created.
    ASSERT_TRUE(Replace(Path("b.txt"), "b"));
    EXPECT_EQ(ReadWholeFile(Path("b.txt")), Text("b"));
}

// Whatever already carries a temporary name, file or folder, is never opened,
// truncated or removed: the next name of the series is taken instead.
TEST_F(FileReplacementTest, ExistingTemporaryNamesAreNeverTouched)
{
    ASSERT_TRUE(WriteWholeFile(Path(TemporaryName(0)), Text("someone else's")));
    ASSERT_TRUE(CreateDirectoryA(Path(TemporaryName(1)).c_str(), nullptr));
    std::string temporary;
    ASSERT_TRUE(Replace(Path("a.txt"), "new", &temporary));
    EXPECT_EQ(temporary, Path(TemporaryName(2)));
    EXPECT_EQ(ReadWholeFile(Path("a.txt")), Text("new"));
    EXPECT_EQ(ReadWholeFile(Path(TemporaryName(0))), Text("someone else's"));
    EXPECT_TRUE(GetFileAttributesA(Path(TemporaryName(1)).c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    // A destination that carries a temporary name is not its own temporary.
    ASSERT_TRUE(DeleteFileA(Path(TemporaryName(0)).c_str()));
    ASSERT_TRUE(Replace(Path(TemporaryName(0)), "listed", &temporary));
    EXPECT_EQ(temporary, Path(TemporaryName(2)));
    EXPECT_EQ(ReadWholeFile(Path(TemporaryName(0))), Text("listed"));
}

TEST_F(FileReplacementTest, EveryTemporaryNameTakenFailsAndChangesNothing)
{
    ASSERT_TRUE(WriteWholeFile(Path("a.txt"), Text("old")));
    for (unsigned i = 0; i < TemporaryNameCount; ++i)
        ASSERT_TRUE(WriteWholeFile(Path(TemporaryName(i)), Text(TemporaryName(i))));
    CFile stream;
    CFileReplacement replacement(stream);
    SetLastError(Marker);
    EXPECT_FALSE(replacement.Begin(Path("a.txt").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(stream.Kind(), StreamKind::None);
    EXPECT_EQ(ReadWholeFile(Path("a.txt")), Text("old"));
    for (unsigned i = 0; i < TemporaryNameCount; ++i)
        EXPECT_EQ(ReadWholeFile(Path(TemporaryName(i))), Text(TemporaryName(i)));
}

TEST_F(FileReplacementTest, AbandonedReplacementRemovesOnlyItsTemporary)
{
    ASSERT_TRUE(WriteWholeFile(Path("a.txt"), Text("old")));
    {
        CFile stream;
        CFileReplacement replacement(stream);
        ASSERT_TRUE(replacement.Begin(Path("a.txt").c_str()));
        stream.Write("partial", 7);
        EXPECT_TRUE(FileExists(replacement.TemporaryPath()));
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadWholeFile(Path("a.txt")), Text("old"));
}

// A temporary that does not really lie within the given folder is removed
// before a byte is written, and the destination is left alone.
TEST_F(FileReplacementTest, TemporaryOutsideTheBoundFolderFails)
{
    const ScratchFolder bound("bound");
    CRealLocation within;
    ASSERT_TRUE(FindRealFolder(within, bound.Path().c_str()));
    ASSERT_TRUE(WriteWholeFile(Path("a.txt"), Text("old")));
    CFile stream;
    CFileReplacement replacement(stream);
    SetLastError(Marker);
    EXPECT_FALSE(replacement.Begin(Path("a.txt").c_str(), &within));
    EXPECT_EQ(GetLastError(), ErrorLiesOutside);
    EXPECT_EQ(stream.Kind(), StreamKind::None);
    EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadWholeFile(Path("a.txt")), Text("old"));

    // Inside, the same replacement goes through.
    CRealLocation here;
    ASSERT_TRUE(FindRealFolder(here, m_folder.Path().c_str()));
    ASSERT_TRUE(replacement.Begin(Path("a.txt").c_str(), &here));
    ASSERT_TRUE(replacement.Commit());
    EXPECT_EQ(ReadWholeFile(Path("a.txt")), Text(""));
}

// Read-only, hidden and system files are replaced; when the rename fails
// they keep their contents and their attributes.
TEST_F(FileReplacementTest, AttributesAreClearedOnlyForTheRenameAndRestoredWhenItFails)
{
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const std::string destination = Path("a.dll");
    ASSERT_TRUE(WriteWholeFile(destination, Text("old")));
    ASSERT_TRUE(SetFileAttributesA(destination.c_str(), attributes));
    ASSERT_TRUE(Replace(destination, "new"));
    EXPECT_EQ(ReadWholeFile(destination), Text("new"));

    ASSERT_TRUE(SetFileAttributesA(destination.c_str(), attributes));
    // Held for the whole attempt: the retries give up after about a second.
    const FileHolder holder(destination, INFINITE);
    ASSERT_TRUE(holder.Held());
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Replace(destination, "newer"));
    // Windows reports a sharing violation, Wine denied access.
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 3000u);
    EXPECT_EQ(GetFileAttributesA(destination.c_str()) & attributes, attributes);
    EXPECT_EQ(Names(), std::vector<std::string>{"a.dll"});
}

TEST_F(FileReplacementTest, BriefLockIsWaitedOut)
{
    const std::string destination = Path("a.dll");
    ASSERT_TRUE(WriteWholeFile(destination, Text("old")));
    CFile stream;
    CFileReplacement replacement(stream);
    ASSERT_TRUE(replacement.Begin(destination.c_str()));
    stream.Write("new", 3);
    // A scanner opens the file to be replaced for a moment.
    const FileHolder holder(destination, 300);
    ASSERT_TRUE(holder.Held());
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(replacement.Commit()) << GetLastError();
    EXPECT_GE(GetTickCount64() - start, 250u);
    EXPECT_EQ(ReadWholeFile(destination), Text("new"));
    EXPECT_EQ(Names(), std::vector<std::string>{"a.dll"});
}

// The ledger's temporary is as long as its name, so a folder that leaves room
// for Uninstallinf.dat leaves room for its replacement too.
TEST_F(FileReplacementTest, RoomIsTheSameRuleTheReplacementUses)
{
    const std::string ledger = "Uninstallinf.dat";
    struct Case {
        std::string folder;
        std::string relative;
        RoomFor use;
        bool fits;
    } const cases[] = {
        {std::string(242, 'i') + "\\", ledger, RoomFor::Replacement, true}, // 259 bytes
        {std::string(243, 'i') + "\\", ledger, RoomFor::Path, false},
        {std::string(243, 'i') + "\\", ledger, RoomFor::Replacement, false},
        {std::string(242, 'i') + "\\", "a", RoomFor::Replacement, true},
        {std::string(243, 'i') + "\\", "s\\a", RoomFor::Path, true},
        {std::string(243, 'i') + "\\", "s\\a", RoomFor::Replacement, false},
        // A trail byte 0x5C is no separator: the temporary goes beside the whole name.
        {std::string(200, 'i') + "\\", std::string(44, 'n') + "\x95\x5cx", RoomFor::Replacement, true},
        {std::string(200, 'i') + "\\", std::string(44, 'n') + "\\a", RoomFor::Replacement, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.size() + c.relative.size());
        EXPECT_EQ(PathHasRoom(c.folder.c_str(), c.relative.c_str(), c.use), c.fits);
        if (c.use != RoomFor::Replacement || c.fits)
            continue;
        // The replacement refuses what does not fit, before it creates anything.
        CFile stream;
        CFileReplacement replacement(stream);
        SetLastError(Marker);
        EXPECT_FALSE(replacement.Begin((c.folder + c.relative).c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    }

    PathBuffer temporary;
    ASSERT_TRUE(FormTemporaryPath(temporary, (std::string(200, 'i') + "\\\x95\x5c.txt").c_str(), 3));
    EXPECT_EQ(std::string(temporary), std::string(200, 'i') + "\\~Update-0003.tmp");
    EXPECT_FALSE(FormTemporaryPath(temporary, "C:\\a.txt", TemporaryNameCount));
}

} // namespace
