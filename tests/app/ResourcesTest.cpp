#include "DialogTemplate.h"
#include "ExpectedDialogs.h"
#include "ScopedOwners.h"
#include "Version.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

std::vector<WORD> ResourceLanguages(LPCWSTR type, WORD id)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesW(GetModuleHandleW(nullptr), type, MAKEINTRESOURCEW(id), AddLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

TEST(Resources, DialogTemplatesMatchTheirLayout)
{
    for (const ExpectedDialog& expected : ExpectedDialogs) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(ResourceLanguages(MAKEINTRESOURCEW(5), expected.resourceId), std::vector<WORD>{JapaneseLanguage});
        const std::vector<BYTE> bytes = LoadResourceBytes(MAKEINTRESOURCEW(5), expected.resourceId, JapaneseLanguage);
        ASSERT_FALSE(bytes.empty());
        DialogTemplate dialog;
        std::string error;
        ASSERT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), dialog, error)) << error;

        EXPECT_EQ(dialog.style, ExpectedDialogStyle) << std::hex << dialog.style;
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(dialog.helpId, 0u);
        EXPECT_EQ(dialog.x, 0);
        EXPECT_EQ(dialog.y, 0);
        EXPECT_EQ(dialog.cx, ExpectedDialogWidth);
        EXPECT_EQ(dialog.cy, ExpectedDialogHeight);
        EXPECT_EQ(dialog.menu, L"");
        EXPECT_EQ(dialog.className, L"");
        EXPECT_EQ(dialog.caption, expected.caption);
        EXPECT_EQ(dialog.pointSize, ExpectedFontPoints);
        EXPECT_EQ(dialog.weight, 0);
        EXPECT_EQ(dialog.italic, 0);
        EXPECT_EQ(dialog.charset, 0);
        EXPECT_EQ(dialog.typeface, ExpectedTypeface);

        ASSERT_EQ(dialog.items.size(), expected.controlCount);
        for (std::size_t index = 0; index < expected.controlCount; ++index) {
            const ExpectedControl& control = expected.controls[index];
            const DialogItemTemplate& item = dialog.items[index];
            SCOPED_TRACE(control.id);
            EXPECT_EQ(item.id, static_cast<DWORD>(control.id));
            // Class names are case-insensitive; windres stores a named class in capitals.
            EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, item.className.c_str(), -1, control.className,
                                     -1),
                      CSTR_EQUAL);
            EXPECT_EQ(item.text, control.text);
            EXPECT_EQ(item.style, control.style) << std::hex << item.style;
            EXPECT_EQ(item.exStyle, 0u);
            EXPECT_EQ(item.helpId, 0u);
            EXPECT_EQ(item.x, control.x);
            EXPECT_EQ(item.y, control.y);
            EXPECT_EQ(item.cx, control.cx);
            EXPECT_EQ(item.cy, control.cy);
            EXPECT_EQ(item.extraCount, 0);
        }
    }
}

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroupHoldsOne32x32SixteenColourImage)
{
    EXPECT_EQ(ResourceLanguages(MAKEINTRESOURCEW(14), IDI_MAIN), std::vector<WORD>{JapaneseLanguage});
    const std::vector<BYTE> group = LoadResourceBytes(MAKEINTRESOURCEW(14), IDI_MAIN, JapaneseLanguage);
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
    IconGroupHeader header;
    IconGroupEntry entry;
    std::memcpy(&header, group.data(), sizeof header);
    std::memcpy(&entry, group.data() + sizeof header, sizeof entry);
    EXPECT_EQ(header.reserved, 0);
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(header.count, 1);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colorCount, 16);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, 4);

    const std::vector<BYTE> image = LoadResourceBytes(MAKEINTRESOURCEW(3), entry.id, JapaneseLanguage);
    ASSERT_EQ(image.size(), entry.bytesInRes);
    // Header, 16-colour palette, 4-bpp colour bitmap, 1-bpp mask.
    ASSERT_EQ(image.size(), sizeof(BITMAPINFOHEADER) + 16 * 4 + 32 * 16 + 32 * 4);
    BITMAPINFOHEADER info;
    std::memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biSize, sizeof info);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, 4);
    EXPECT_EQ(info.biCompression, static_cast<DWORD>(BI_RGB));
}

TEST(Resources, IconLoadsWithTransparentCornersAndOpaqueMiddle)
{
    const ScopedIcon icon(
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 32, 32, 0)));
    ASSERT_NE(icon.Get(), nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
    const ScopedBitmap mask(info.hbmMask);
    const ScopedBitmap colour(info.hbmColor);
    ASSERT_NE(mask.Get(), nullptr);

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } format{};
    format.header.biSize = sizeof format.header;
    format.header.biWidth = 32;
    format.header.biHeight = -32; // top row first
    format.header.biPlanes = 1;
    format.header.biBitCount = 1;
    DWORD rows[32] = {};
    HDC screen = GetDC(nullptr);
    const int read = GetDIBits(screen, mask.Get(), 0, 32, rows, reinterpret_cast<BITMAPINFO*>(&format), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(read, 32);
    // Mask bit set: transparent. Bits run from the most significant bit of the first byte.
    const auto transparent = [&rows](int x, int y) {
        const BYTE* row = reinterpret_cast<const BYTE*>(&rows[y]);
        return (row[x / 8] >> (7 - x % 8)) & 1;
    };
    EXPECT_TRUE(transparent(0, 0));
    EXPECT_TRUE(transparent(31, 0));
    EXPECT_TRUE(transparent(0, 31));
    EXPECT_TRUE(transparent(31, 31));
    EXPECT_FALSE(transparent(10, 8));  // the screen
    EXPECT_FALSE(transparent(10, 22)); // the case
    EXPECT_FALSE(transparent(28, 24)); // the disc
    EXPECT_TRUE(transparent(25, 24));  // the hole in the disc
}

TEST(Resources, ManifestRequestsHighestAvailableWithoutCommonControls6)
{
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    EXPECT_EQ(ResourceLanguages(MAKEINTRESOURCEW(24), 1), std::vector<WORD>{english});
    const std::vector<BYTE> bytes = LoadResourceBytes(MAKEINTRESOURCEW(24), 1, english);
    ASSERT_FALSE(bytes.empty());
    const std::string manifest(bytes.begin(), bytes.end());
    for (const char* part : {
             "manifestVersion=\"1.0\"",
             "version=\"1.0.0.0\"",
             "processorArchitecture=\"X86\"",
             "name=\"Update\"",
             "type=\"win32\"",
             "level=\"highestAvailable\"",
             "uiAccess=\"false\"",
         }) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(manifest.find("dependency"), std::string::npos);
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
}

std::wstring Wide(const char* utf8)
{
    wchar_t wide[256] = {};
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    return wide;
}

// The build's path of Update.exe through Wine's drive for the whole file system.
std::wstring BuiltUpdateExe()
{
    std::wstring path = L"Z:" + Wide(UPDATE_EXE);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

// Read from Update.exe itself, as Explorer's file properties read it.
TEST(Resources, UpdateExeCarriesItsVersionAndThePublishersFields)
{
    const std::wstring path = BuiltUpdateExe();
    const wchar_t* const program = path.c_str();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program, &ignored);
    ASSERT_NE(size, 0u) << GetLastError();
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(program, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(UPDATER_VERSION_MINOR, UPDATER_VERSION_MAJOR);
    const DWORD low = MAKELONG(UPDATER_VERSION_TWEAK, UPDATER_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, sizeof *translation);
    EXPECT_EQ(translation->language, JapaneseLanguage);
    EXPECT_EQ(translation->codePage, 1200);

    const struct {
        const wchar_t* name;
        std::wstring value;
    } fields[] = {
        {L"CompanyName", Wide(UPDATER_COMPANY_NAME)},       {L"FileDescription", Wide(UPDATER_FILE_DESCRIPTION)},
        {L"FileVersion", Wide(UPDATER_VERSION_TEXT)},       {L"InternalName", L"Update"},
        {L"LegalCopyright", Wide(UPDATER_LEGAL_COPYRIGHT)}, {L"OriginalFilename", L"Update.exe"},
        {L"ProductName", Wide(UPDATER_PRODUCT_NAME)},       {L"ProductVersion", Wide(UPDATER_VERSION_TEXT)},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(field.name);
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + field.name;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), field.value);
    }
}

} // namespace
