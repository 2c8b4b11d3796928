#pragma once

// Path helpers for NUL-terminated byte strings in the active ANSI code page.
// A backslash separates components only where it is a single-byte character,
// so the trail byte 0x5C of a double-byte character is never taken for one.

#include "MbcsClassifier.h"

#include <cstddef>

constexpr std::size_t PathCapacity = 260; // bytes, terminator included
using PathBuffer = char[PathCapacity];

// The rules of the system's ANSI code page, taken once at process start.
const MbcsClassifier& ActiveCodePageClassifier();
// The rules of any code page, including the double-byte code pages outside
// the built-in table, whose lead bytes the system reports.
MbcsClassifier ClassifierForCodePage(unsigned codePage);

// Class of s[index] in the active code page (MbcsByteClass).
int MbcsByteType(const char* s, std::size_t index);

// destination = source without its last separator and what follows it, or
// the empty string. A source of PathCapacity bytes or more leaves destination unchanged.
char* GetDirectory(PathBuffer& destination, const char* source);
// Cuts path in place like GetDirectory.
char* StripFileName(PathBuffer& path);
// Appends a separator unless path already ends with one or is shorter than two
// bytes; leaves path unchanged when there is no room for it.
char* AddTrailingBackslash(PathBuffer& path);
// Creates every folder along path, parents first, and the last component too.
// Outcomes are ignored: always true. Creates nothing for an overlong path.
bool CreateDirectoryTree(const char* path);
