#pragma once

// The data files hold code page 932 byte strings. The tool takes names from
// the platform's own form (UTF-8 on Linux, UTF-16 on Windows) and shows them
// as UTF-8.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// nullopt when code page 932 cannot represent the text exactly: a name that
// came back different after a round trip would be copied under another name.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
std::optional<std::string> NativeNameToCp932(const std::filesystem::path& name);

// Bytes that are not code page 932 characters, and control bytes, come out as
// \xNN, so a damaged file still shows one record per line.
std::string Cp932ToUtf8(std::string_view cp932);
