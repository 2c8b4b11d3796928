#include "Registry.h"
#include "ScopedOwners.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Valid handles of this process, keys included. Wine hands out the lowest
// free handle values, so a test process never reaches the upper bound.
int OpenHandleCount()
{
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x2000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override
    {
        char name[80];
        std::snprintf(name, sizeof name, "Software\\UpdaterRegistryTest_%lu_%lu", GetCurrentProcessId(),
                      GetTickCount());
        m_path = name;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  m_key.Receive(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        m_key.Reset();
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    }

    void Set(const char* name, DWORD type, const void* data, DWORD length)
    {
        ASSERT_EQ(RegSetValueExA(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), length), ERROR_SUCCESS);
    }
    void SetString(const char* name, const char* text)
    {
        Set(name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
    }

    std::string m_path;
    ScopedKey m_key;
};

TEST_F(RegistryTest, MissingSubkeyOpensNothing)
{
    SetString("Folder", "C:\\App\\");
    CRegistry reader;
    EXPECT_FALSE(reader.OpenKey(HKEY_CURRENT_USER, (m_path + "\\Missing").c_str()));
    char buffer[260];
    EXPECT_FALSE(reader.QueryValue("Folder", buffer, sizeof buffer));
}

TEST_F(RegistryTest, EveryOpenClosesTheKeyHeldBefore)
{
    SetString("Folder", "C:\\App\\");
    const int before = OpenHandleCount();
    char buffer[260];
    {
        CRegistry reader;
        ASSERT_TRUE(reader.OpenKey(HKEY_CURRENT_USER, m_path.c_str()));
        ASSERT_TRUE(reader.OpenKey(HKEY_CURRENT_USER, m_path.c_str()));
        EXPECT_EQ(OpenHandleCount(), before + 1);
        EXPECT_TRUE(reader.QueryValue("Folder", buffer, sizeof buffer));

        EXPECT_FALSE(reader.OpenKey(HKEY_CURRENT_USER, (m_path + "\\Missing").c_str()));
        EXPECT_EQ(OpenHandleCount(), before);
        EXPECT_FALSE(reader.QueryValue("Folder", buffer, sizeof buffer));

        ASSERT_TRUE(reader.OpenKey(HKEY_CURRENT_USER, m_path.c_str()));
    }
    EXPECT_EQ(OpenHandleCount(), before);
}

struct ValueCase {
    const char* label;
    DWORD type;
    std::string stored; // the value's data exactly as stored
    std::uint32_t size; // the reader's buffer capacity
    bool fits;
    std::string received; // the buffer's first bytes after a successful read
};

std::string Text(std::size_t length, char c = 'a')
{
    return std::string(length, c);
}

std::string Terminated(const std::string& text)
{
    return text + '\0';
}

const DWORD dwordValue = 0x12345678;

const ValueCase valueCases[] = {
    {"fits with its terminator", REG_SZ, Terminated(Text(259)), 260, true, Terminated(Text(259))},
    {"a byte too long", REG_SZ, Terminated(Text(260)), 260, false, ""},
    {"Shift-JIS folder", REG_SZ, Terminated("C:\\\x95\x5C\\"), 260, true, Terminated("C:\\\x95\x5C\\")},
    {"REG_DWORD", REG_DWORD, std::string(reinterpret_cast<const char*>(&dwordValue), 4), 260, true,
     std::string(reinterpret_cast<const char*>(&dwordValue), 4)},
    {"REG_EXPAND_SZ not expanded", REG_EXPAND_SZ, Terminated("%SystemRoot%\\App\\"), 260, true,
     Terminated("%SystemRoot%\\App\\")},
    {"unterminated with room", REG_SZ, "ABCDE", 260, true, Terminated("ABCDE")},
    {"unterminated filling the buffer", REG_SZ, "ABCDE", 5, false, ""},
    {"unterminated binary with room", REG_BINARY, "\x01\x02\x03", 4, true, Terminated("\x01\x02\x03")},
    {"unterminated binary filling the buffer", REG_BINARY, "\x01\x02\x03", 3, false, ""},
    {"binary holding a NUL, filling the buffer", REG_BINARY, std::string("\x01\x00\x03", 3), 3, true,
     std::string("\x01\x00\x03", 3)},
};

TEST_F(RegistryTest, QueryValueReadsWhatFitsWithATerminator)
{
    for (const ValueCase& c : valueCases) {
        SCOPED_TRACE(c.label);
        Set(c.label, c.type, c.stored.data(), static_cast<DWORD>(c.stored.size()));
        CRegistry reader;
        ASSERT_TRUE(reader.OpenKey(HKEY_CURRENT_USER, m_path.c_str()));

        const char guard = '\xCC';
        std::vector<char> buffer(c.size + 16, guard);
        EXPECT_EQ(reader.QueryValue(c.label, buffer.data(), c.size), c.fits);
        for (std::size_t i = c.size; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], guard) << "written past the buffer at " << i;
        if (c.fits) {
            EXPECT_EQ(std::string(buffer.data(), c.received.size()), c.received);
        }
    }
}

TEST_F(RegistryTest, MissingValueIsNotRead)
{
    CRegistry reader;
    ASSERT_TRUE(reader.OpenKey(HKEY_CURRENT_USER, m_path.c_str()));
    char buffer[260];
    EXPECT_FALSE(reader.QueryValue("Missing", buffer, sizeof buffer));
}

} // namespace
