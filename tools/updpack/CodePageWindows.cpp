#include "CodePage.h"
#include "CodePageEscape.h"

#include <windows.h>

namespace {

constexpr UINT ShiftJis = 932;

std::optional<std::string> WideToCp932(std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    // No best fit: a character without its own code would otherwise turn
    // silently into a look-alike, and the file would be copied under that name.
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault)
        return std::nullopt;
    std::string cp932(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), cp932.data(),
                        length, nullptr, &usedDefault);
    if (usedDefault)
        return std::nullopt;
    return cp932;
}

std::wstring Decode(UINT codePage, std::string_view bytes, bool* valid)
{
    *valid = true;
    if (bytes.empty())
        return std::wstring();
    const int length =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) {
        *valid = false;
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        length);
    return wide;
}

std::string WideToUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

} // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    bool valid = false;
    const std::wstring wide = Decode(CP_UTF8, utf8, &valid);
    if (!valid)
        return std::nullopt;
    return WideToCp932(wide);
}

std::optional<std::string> NativeNameToCp932(const std::filesystem::path& name)
{
    return WideToCp932(name.native());
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    // One character at a time, so that a bad byte costs only itself.
    std::string utf8;
    std::size_t i = 0;
    while (i < cp932.size()) {
        const unsigned char b = static_cast<unsigned char>(cp932[i]);
        const std::size_t width = IsDBCSLeadByteEx(ShiftJis, b) && i + 1 < cp932.size() ? 2 : 1;
        bool valid = false;
        const std::wstring wide = Decode(ShiftJis, cp932.substr(i, width), &valid);
        if (IsControlByte(b) || !valid) {
            AppendEscaped(utf8, b);
            ++i;
            continue;
        }
        utf8 += WideToUtf8(wide);
        i += width;
    }
    return utf8;
}
