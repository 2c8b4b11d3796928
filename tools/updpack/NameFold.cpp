#include "NameFold.h"

#include <cstdint>

namespace {

#include "Cp932CaseFold.inc"

constexpr unsigned TrailFirst = 0x40;
constexpr unsigned TrailCount = 0xFC - TrailFirst + 1;

// Index of a lead byte in the double-byte table, or -1.
int LeadIndex(unsigned char b)
{
    if (b >= 0x81 && b <= 0x9F)
        return b - 0x81;
    if (b >= 0xE0 && b <= 0xFC)
        return b - 0xE0 + 31;
    return -1;
}

// Above every code point, so a stray byte never equals a character.
constexpr char32_t StrayByteKey(unsigned char b)
{
    return 0x110000 + b;
}

} // namespace

std::u32string WindowsFoldKey(std::string_view cp932)
{
    std::u32string key;
    for (std::size_t i = 0; i < cp932.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(cp932[i]);
        const int lead = LeadIndex(b);
        if (lead >= 0 && i + 1 < cp932.size()) {
            const unsigned char trail = static_cast<unsigned char>(cp932[i + 1]);
            if (trail >= TrailFirst && trail - TrailFirst < TrailCount) {
                const std::uint16_t folded = Cp932DoubleByteFold[lead * TrailCount + (trail - TrailFirst)];
                if (folded != 0) {
                    key += static_cast<char32_t>(folded);
                    ++i;
                    continue;
                }
            }
        }
        const std::uint16_t folded = Cp932SingleByteFold[b];
        key += folded != 0 ? static_cast<char32_t>(folded) : StrayByteKey(b);
    }
    return key;
}

std::string LedgerFoldKey(std::string_view cp932)
{
    std::string key(cp932);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

NameClash CompareNames(std::string_view a, std::string_view b)
{
    if (WindowsFoldKey(a) == WindowsFoldKey(b))
        return NameClash::Windows;
    if (LedgerFoldKey(a) == LedgerFoldKey(b))
        return NameClash::Ledger;
    return NameClash::None;
}

std::optional<PathClashes::Clash> PathClashes::Add(std::string_view path, const std::string& shownAs)
{
    const auto windows = m_windows.emplace(WindowsFoldKey(path), shownAs);
    if (!windows.second)
        return Clash{windows.first->second, NameClash::Windows};
    const auto ledger = m_ledger.emplace(LedgerFoldKey(path), shownAs);
    if (!ledger.second) {
        m_windows.erase(windows.first);
        return Clash{ledger.first->second, NameClash::Ledger};
    }
    return std::nullopt;
}

std::string DescribeClash(const std::string& earlier, const std::string& later, NameClash kind)
{
    return earlier + " and " + later
        + (kind == NameClash::Windows ? ": Windows takes the two names for one (they differ only in letter case)"
                                      : ": the uninstall ledger takes the two paths for one (it folds every byte "
                                        "from A to Z, even inside a double-byte character)");
}
