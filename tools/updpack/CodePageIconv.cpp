#include "CodePage.h"
#include "CodePageEscape.h"

#include "ToolError.h"

#include <cerrno>
#include <iconv.h>

namespace {

// One conversion descriptor of iconv.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from))
    {
        if (m_cd == Invalid())
            throw ToolError(std::string("this system's iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in from *pos on, appending to out. Stops at the end (true) or at
    // the first sequence without a conversion (false, *pos at its first byte).
    bool Convert(std::string_view in, std::size_t* pos, std::string& out)
    {
        char* inPtr = const_cast<char*>(in.data()) + *pos;
        std::size_t inLeft = in.size() - *pos;
        bool complete = true;
        while (inLeft > 0) {
            char chunk[256];
            char* outPtr = chunk;
            std::size_t outLeft = sizeof chunk;
            const std::size_t result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(chunk, sizeof chunk - outLeft);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                complete = false;
                break;
            }
        }
        *pos = in.size() - inLeft;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return complete;
    }

private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

} // namespace

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    Converter toCp932("CP932", "UTF-8");
    std::string cp932;
    std::size_t pos = 0;
    if (!toCp932.Convert(utf8, &pos, cp932))
        return std::nullopt;
    Converter back("UTF-8", "CP932");
    std::string again;
    pos = 0;
    if (!back.Convert(cp932, &pos, again) || again != utf8)
        return std::nullopt;
    return cp932;
}

std::optional<std::string> NativeNameToCp932(const std::filesystem::path& name)
{
    return Utf8ToCp932(name.native());
}

std::string Cp932ToUtf8(std::string_view cp932)
{
    Converter toUtf8("UTF-8", "CP932");
    std::string utf8;
    std::size_t start = 0;
    // Control bytes are split off first: iconv would pass them through.
    while (start < cp932.size()) {
        std::size_t end = start;
        while (end < cp932.size() && !IsControlByte(static_cast<unsigned char>(cp932[end])))
            ++end;
        std::string_view run = cp932.substr(start, end - start);
        std::size_t pos = 0;
        while (!toUtf8.Convert(run, &pos, utf8))
            AppendEscaped(utf8, static_cast<unsigned char>(run[pos++]));
        if (end < cp932.size())
            AppendEscaped(utf8, static_cast<unsigned char>(cp932[end++]));
        start = end;
    }
    return utf8;
}
