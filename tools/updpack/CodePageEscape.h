#pragma once

// How a byte that is no character is shown, the same on every platform.

#include <string>

// Control bytes are shown escaped even where they decode, so that a damaged
// file still shows one record per line.
bool IsControlByte(unsigned char b);
// Appends b as \xNN.
void AppendEscaped(std::string& out, unsigned char b);
