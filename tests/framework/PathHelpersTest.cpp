#include "PathHelpers.h"
#include "ScopedOwners.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

// Shift-JIS 0x95 0x5C: a double-byte character whose trail byte is a backslash.
#define TRAIL_5C "\x95\x5C"

struct ByteCase {
    unsigned codePage;
    const char* bytes;
    std::size_t index;
    int expected;
};

const ByteCase byteCases[] = {
    {932, "\x81\x5C", 1, MbcsTrail},
    {932, "\x81\x81\x5C", 1, MbcsTrail},
    {932, "\x81\x81\x5C", 2, MbcsSingle}, // the class depends on every byte before
    {932, "\x81\x20", 0, MbcsLead},
    {932, "\x81\x20", 1, MbcsIllegal},
    {932, "\xB1", 0, MbcsSingle}, // half-width katakana
    {932, "\x09", 0, MbcsIllegal},
    {932, "\x80", 0, MbcsIllegal},
    {932, "\xA0", 0, MbcsIllegal},
    {932, "\xFD", 0, MbcsIllegal},
    {932, "A" TRAIL_5C "\\", 3, MbcsSingle},
    {936, "\xFE\x40", 1, MbcsTrail},
    {936, "\x80", 0, MbcsIllegal}, // no further single-byte characters
    {949, "\x81\x40", 1, MbcsIllegal},
    {949, "\x81\x41", 1, MbcsTrail},
    {950, "\xA4\x5C", 1, MbcsTrail},
    {950, "\xA4\x80", 1, MbcsIllegal},
    // The built-in table leads from 0x81 here, though the system reports 0x84.
    {1361, "\x82\x31", 0, MbcsLead},
    {1361, "\x82\x31", 1, MbcsTrail},
    {1361, "\xD5", 0, MbcsIllegal},
    // Outside the table: the system's lead bytes, any trail but NUL and 0xFF.
    {20932, "\x8E\x5C", 1, MbcsTrail},
    {20932, "\xA1\x20", 1, MbcsTrail},
    {20932, "\x8F", 0, MbcsIllegal},
    {20932, "\x8E\xFF", 1, MbcsIllegal},
    {10001, "\x81\x20", 1, MbcsTrail},
    {10001, "\xB1", 0, MbcsIllegal},
    // Single-byte code pages, UTF-8 included: every byte stands alone.
    {1252, "\x81\x5C", 1, MbcsSingle},
    {1252, "\x09", 0, MbcsSingle},
    {1252, "\xFF", 0, MbcsSingle},
    {65001, "\xE8\xA1\xA8\\", 3, MbcsSingle},
    {65001, "\xE8\xA1\xA8\\", 0, MbcsSingle},
};

TEST(MbcsByteType, ClassifiesEveryCodePageRow)
{
    for (const ByteCase& c : byteCases) {
        const MbcsClassifier classifier = ClassifierForCodePage(c.codePage);
        EXPECT_EQ(classifier.Classify(c.bytes, c.index), c.expected)
            << "code page " << c.codePage << ", index " << c.index;
    }
}

TEST(MbcsByteType, UsesTheActiveCodePage)
{
    ASSERT_EQ(GetACP(), 932u);
    for (const ByteCase& c : byteCases) {
        if (c.codePage != 932)
            continue;
        EXPECT_EQ(MbcsByteType(c.bytes, c.index), c.expected) << "index " << c.index;
    }
}

struct CutCase {
    const char* path;
    const char* directory;
};

const CutCase cutCases[] = {
    {"C:\\A\\B.exe", "C:\\A"},
    {"C:\\A\\", "C:\\A"},
    {"C:\\A\\B\\", "C:\\A\\B"},
    {"name.txt", ""},
    {"\\name", ""},
    {"\\", ""},
    {"", ""},
    {"C:/A/B", ""},
    {"\\\\server\\share", "\\\\server"},
    {"C:\\A\\" TRAIL_5C ".txt", "C:\\A"},
    {"C:\\A\\" TRAIL_5C, "C:\\A"},
    {"C:\\\x81\x81\\x", "C:\\\x81\x81"},
};

// A path buffer followed by bytes that no helper may touch.
struct GuardedPath {
    PathBuffer path;
    char guard[16];

    explicit GuardedPath(const std::string& text)
    {
        std::memset(this, 'G', sizeof *this);
        std::memcpy(path, text.data(), std::min(text.size() + 1, sizeof path));
    }
    bool GuardIntact() const
    {
        for (char c : guard)
            if (c != 'G')
                return false;
        return true;
    }
};

TEST(PathHelpers, StripFileNameAndGetDirectoryCutAtTheLastSeparator)
{
    for (const CutCase& c : cutCases) {
        GuardedPath stripped(c.path);
        EXPECT_EQ(StripFileName(stripped.path), stripped.path);
        EXPECT_STREQ(stripped.path, c.directory) << c.path;

        GuardedPath destination("unchanged?");
        EXPECT_EQ(GetDirectory(destination.path, c.path), destination.path);
        EXPECT_STREQ(destination.path, c.directory) << c.path;
    }
}

TEST(PathHelpers, AddTrailingBackslashAppendsOnlyWhenMissing)
{
    const CutCase cases[] = {
        {"C:", "C:\\"},
        {"AB", "AB\\"},
        {"", ""},
        {"A", "A"},
        {"\\", "\\"},
        {"\x95", "\x95"},
        {"C:\\A\\", "C:\\A\\"},
        {"C:\\A\\" TRAIL_5C, "C:\\A\\" TRAIL_5C "\\"},
        {"C:\\\x81\x81\\", "C:\\\x81\x81\\"},
    };
    for (const CutCase& c : cases) {
        GuardedPath buffer(c.path);
        EXPECT_EQ(AddTrailingBackslash(buffer.path), buffer.path);
        EXPECT_STREQ(buffer.path, c.directory) << c.path;
    }
}

std::string Repeat(char c, std::size_t count)
{
    return std::string(count, c);
}

TEST(PathHelpers, LongestPathsStayWithinTheBuffer)
{
    // 258 bytes: room for exactly one more byte and the terminator.
    const std::string longest = "C:\\" + Repeat('a', 255);
    GuardedPath appended(longest);
    AddTrailingBackslash(appended.path);
    EXPECT_EQ(std::string(appended.path), longest + "\\");
    EXPECT_TRUE(appended.GuardIntact());

    const std::string full = "C:\\d\\" + Repeat('a', 254); // 259 bytes
    GuardedPath noRoom(full);
    AddTrailingBackslash(noRoom.path);
    EXPECT_EQ(std::string(noRoom.path), full);
    EXPECT_TRUE(noRoom.GuardIntact());

    GuardedPath stripped(full);
    StripFileName(stripped.path);
    EXPECT_STREQ(stripped.path, "C:\\d");
    EXPECT_TRUE(stripped.GuardIntact());
}

TEST(PathHelpers, OverlongPathsLeaveBuffersUnchanged)
{
    // 260 bytes with no terminator inside the buffer, and 260 bytes before one.
    for (bool terminated : {false, true}) {
        GuardedPath overlong("C:\\d\\" + Repeat('a', 255));
        if (terminated)
            overlong.guard[0] = '\0';
        const GuardedPath before = overlong;

        StripFileName(overlong.path);
        AddTrailingBackslash(overlong.path);
        EXPECT_EQ(std::memcmp(&overlong, &before, sizeof overlong), 0);

        GuardedPath destination("kept");
        GetDirectory(destination.path, overlong.path);
        EXPECT_STREQ(destination.path, "kept");
    }
}

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    const ScopedFind find(FindFirstFileA((folder + "*").c_str(), &data));
    if (!find.IsValid())
        return names;
    do {
        if (std::strcmp(data.cFileName, ".") != 0 && std::strcmp(data.cFileName, "..") != 0)
            names.insert(data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
    return names;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class CreateDirectoryTreeTest : public testing::Test {
protected:
    ScratchFolder m_scratch{"pathhelpers"};
    const std::string m_root = m_scratch.Path() + "\\"; // ends with a separator
};

TEST_F(CreateDirectoryTreeTest, CreatesParentsFirstAndTheLastComponent)
{
    EXPECT_TRUE(CreateDirectoryTree((m_root + "A\\B\\").c_str()));
    EXPECT_TRUE(IsFolder(m_root + "A\\B"));

    EXPECT_TRUE(CreateDirectoryTree((m_root + "C\\D\\E").c_str()));
    EXPECT_TRUE(IsFolder(m_root + "C\\D\\E"));

    EXPECT_EQ(Entries(m_root), (std::set<std::string>{"A", "C"}));
}

TEST_F(CreateDirectoryTreeTest, KeepsDoubleByteCharactersWhole)
{
    const std::string name = "X" TRAIL_5C "Y";
    EXPECT_TRUE(CreateDirectoryTree((m_root + name + "\\Z\\").c_str()));
    EXPECT_EQ(Entries(m_root), std::set<std::string>{name});
    EXPECT_TRUE(IsFolder(m_root + name + "\\Z"));
}

TEST_F(CreateDirectoryTreeTest, ExistingTreeIsANoOp)
{
    const std::string path = m_root + "A\\B\\";
    ASSERT_TRUE(CreateDirectoryTree(path.c_str()));
    EXPECT_TRUE(CreateDirectoryTree(path.c_str()));
    EXPECT_EQ(Entries(m_root), std::set<std::string>{"A"});
    EXPECT_EQ(Entries(m_root + "A\\"), std::set<std::string>{"B"});
    EXPECT_TRUE(Entries(m_root + "A\\B\\").empty());
}

TEST_F(CreateDirectoryTreeTest, TrueEvenWhenNothingCanBeCreated)
{
    EXPECT_TRUE(CreateDirectoryTree((m_root + "bad<name>\\A\\").c_str()));
    EXPECT_TRUE(CreateDirectoryTree(""));
    EXPECT_TRUE(Entries(m_root).empty());
}

TEST_F(CreateDirectoryTreeTest, OverlongPathCreatesNothing)
{
    std::string overlong = m_root + "A\\";
    overlong += Repeat('b', PathCapacity - overlong.size()); // 260 bytes before the terminator
    EXPECT_TRUE(CreateDirectoryTree(overlong.c_str()));
    EXPECT_TRUE(Entries(m_root).empty());
}

} // namespace
