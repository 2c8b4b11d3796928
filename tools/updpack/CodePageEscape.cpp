#include "CodePageEscape.h"

#include <cstdio>

bool IsControlByte(unsigned char b)
{
    return b < 0x20 || b == 0x7F;
}

void AppendEscaped(std::string& out, unsigned char b)
{
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
    out += escaped;
}
