#pragma once

// Every text the program shows, as code page 932 byte strings for the ANSI
// functions. The formats take one string in place of their "%s".

#include <cstddef>

extern const char UpdateInfoUnreadableText[];
extern const char NotInstalledFormat[]; // %s: product name
extern const char UpdateCompletedText[];
extern const char UpdateCompletedCaption[];
extern const char UpdateFailedText[];
extern const char LedgerWriteFailedText[];
extern const char ConfirmCaptionFormat[]; // %s: product name
extern const char ConfirmTextFormat[];    // %s: product name
extern const char CopyingStatusFormat[];  // %s: path relative to the folder roots

// Holds any product-name format above with the longest name the update
// information can carry (127 bytes), so a name is never cut.
constexpr std::size_t TextBufferSize = 256;

// Writes format with argument in place of its "%s". Never writes past size
// bytes and always terminates; false when the text had to be cut.
bool FormatText(char* buffer, std::size_t size, const char* format, const char* argument);

template <std::size_t Size>
bool FormatText(char (&buffer)[Size], const char* format, const char* argument)
{
    return FormatText(buffer, Size, format, argument);
}
