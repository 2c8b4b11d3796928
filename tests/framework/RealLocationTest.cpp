#include "RealLocation.h"
#include "ScopedOwners.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The folder that links.sh planted, as Wine names it.
std::string LinksFolder()
{
    const char* folder = std::getenv("UPDATER_LINKS_DIR");
    std::string path = std::string("Z:") + (folder ? folder : "");
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path + "\\";
}

HANDLE OpenForCheck(const std::string& path)
{
    return CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

class RealLocationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("UPDATER_LINKS_DIR") == nullptr)
            GTEST_SKIP() << "UPDATER_LINKS_DIR is not set";
        ASSERT_TRUE(FindRealFolder(m_install, (LinksFolder() + "inst\\").c_str()));
    }

    // Whether the entry below the links folder lies within the installation,
    // and the last error that the test left.
    bool Within(const std::string& relative, DWORD& error)
    {
        const ScopedHandle handle(OpenForCheck(LinksFolder() + relative));
        EXPECT_TRUE(handle.IsValid()) << relative;
        SetLastError(0xBADC0DE);
        const bool within = LiesWithin(handle.Get(), m_install);
        error = GetLastError();
        return within;
    }

    CRealLocation m_install;
};

TEST_F(RealLocationTest, LinksLeadingOutAreOutsideAndLinksWithinAreInside)
{
    const struct {
        const char* relative;
        bool within;
    } cases[] = {
        {"inst", true},                   // the folder itself
        {"inst\\sub", true},              // a plain folder below it
        {"inst\\in", true},               // a link to a folder inside
        {"INST\\SUB", true},              // letter case as Windows folds it
        {"inst\\bin", false},             // a folder link leading out
        {"inst\\bin\\secret.txt", false}, // a file reached through it
        {"inst\\f.lnk", false},           // a file link leading out
        {"instX", false},                 // a neighbour whose name begins alike
        {"outside\\secret.txt", false},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_EQ(Within(c.relative, error), c.within) << c.relative;
        EXPECT_EQ(error, c.within ? 0xBADC0DEu : ErrorLiesOutside) << c.relative;
    }
}

TEST_F(RealLocationTest, LinkedFolderYieldsItsTarget)
{
    CRealLocation linked;
    CRealLocation moved;
    ASSERT_TRUE(FindRealFolder(linked, (LinksFolder() + "linked").c_str()));
    ASSERT_TRUE(FindRealFolder(moved, (LinksFolder() + "moved\\inst\\").c_str()));
    EXPECT_STREQ(linked.Text(), moved.Text());
    EXPECT_TRUE(linked.Holds(moved));
    EXPECT_FALSE(linked.Holds(m_install));
}

TEST_F(RealLocationTest, MissingFolderHasNoLocation)
{
    CRealLocation location;
    SetLastError(0xBADC0DE);
    EXPECT_FALSE(FindRealFolder(location, (LinksFolder() + "absent\\").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(location.IsEmpty());
    EXPECT_FALSE(location.Holds(m_install));
}

} // namespace
