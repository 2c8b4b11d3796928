#include "Texts.h"

#include "Records.h"

#include <cstdio>

// Each text is written byte for byte so that the source's own encoding cannot
// change it; the comment above shows what it says.

// Updateinf.dat is missing or refused.
// "アップデート情報ファイルが開けませんでした"
const char UpdateInfoUnreadableText[] =
    "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\x8F\xEE\x95\xF1\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8A\x4A"
    "\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";

// The installation cannot be found; %s is the product name.
// "%sが正常にインストールされていません\nインストール後、実行してください"
const char NotInstalledFormat[] =
    "%s\x82\xAA\x90\xB3\x8F\xED\x82\xC9\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x82\xB3\x82\xEA\x82\xC4\x82\xA2"
    "\x82\xDC\x82\xB9\x82\xF1\n\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x8C\xE3\x81\x41\x8E\xC0\x8D\x73\x82\xB5"
    "\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";

// "アップデートが完了しました"
const char UpdateCompletedText[] =
    "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\x82\xAA\x8A\xAE\x97\xB9\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

// "完了"
const char UpdateCompletedCaption[] = "\x8A\xAE\x97\xB9";

// "アップデートに失敗しました"
const char UpdateFailedText[] =
    "\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

// The copy is done but Uninstallinf.dat could not be rewritten.
// "アンインストール情報を書き込めませんでした"
const char LedgerWriteFailedText[] =
    "\x83\x41\x83\x93\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5B\x83\x8B\x8F\xEE\x95\xF1\x82\xF0\x8F\x91\x82\xAB\x8D\x9E"
    "\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";

// %s is the product name.
// "%s アップデート"
const char ConfirmCaptionFormat[] = "%s \x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67";

// %s is the product name.
// "%sのアップデートを行います"
const char ConfirmTextFormat[] =
    "%s\x82\xCC\x83\x41\x83\x62\x83\x76\x83\x66\x81\x5B\x83\x67\x82\xF0\x8D\x73\x82\xA2\x82\xDC\x82\xB7";

// %s is the path of the file, relative to the folder roots.
// "%sをコピー中..."
const char CopyingStatusFormat[] = "%s\x82\xF0\x83\x52\x83\x73\x81\x5B\x92\x86...";

namespace {

// Bytes of a format once "%s" is replaced by an argument of argumentLength bytes, with its terminator.
template <std::size_t FormatSize>
constexpr std::size_t FormattedSize(const char (&)[FormatSize], std::size_t argumentLength)
{
    return FormatSize - 2 + argumentLength;
}

constexpr std::size_t LongestProductName = TextFieldSize - 1;
static_assert(FormattedSize(NotInstalledFormat, LongestProductName) <= TextBufferSize);
static_assert(FormattedSize(ConfirmCaptionFormat, LongestProductName) <= TextBufferSize);
static_assert(FormattedSize(ConfirmTextFormat, LongestProductName) <= TextBufferSize);

} // namespace

bool FormatText(char* buffer, std::size_t size, const char* format, const char* argument)
{
    if (size == 0)
        return false;
    const int length = std::snprintf(buffer, size, format, argument);
    if (length < 0) {
        buffer[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(length) < size;
}
