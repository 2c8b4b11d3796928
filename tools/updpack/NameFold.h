#pragma once

// The two ways in which different code page 932 names are taken for one:
// Windows compares names by their upper-case UTF-16 forms, and the uninstall
// ledger compares paths byte by byte with only A to Z folded. A package must
// not hold two names that either of them takes for one.

#include <map>
#include <optional>
#include <string>
#include <string_view>

// Windows' view: one key per character, its upper-case UTF-16 code unit from
// a table generated over the code page's whole repertoire. Bytes that are no
// character keep keys of their own, distinct from every character's.
std::u32string WindowsFoldKey(std::string_view cp932);

// The ledger's view: every byte from A to Z becomes a to z, wherever it stands.
std::string LedgerFoldKey(std::string_view cp932);

enum class NameClash { None, Windows, Ledger };

// Windows first: when both take the names for one, that is the clash to report.
NameClash CompareNames(std::string_view a, std::string_view b);

// The paths of one package, each without a folder's trailing separator; a
// path that either view takes for an earlier one is a clash. Comparing whole
// paths is comparing names within one folder: neither view moves a separator.
class PathClashes {
public:
    struct Clash {
        std::string earlier; // what the earlier path was shown as
        NameClash kind;
    };
    std::optional<Clash> Add(std::string_view path, const std::string& shownAs);

private:
    std::map<std::u32string, std::string> m_windows;
    std::map<std::string, std::string> m_ledger;
};

// One line for a tool's message: "A and B: why".
std::string DescribeClash(const std::string& earlier, const std::string& later, NameClash kind);
