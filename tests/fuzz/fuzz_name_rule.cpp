// The name rule on arbitrary bytes: never a crash, the same answer wherever the entry lies, and
// blind to the case of ASCII letters.
#include "cleanup/ScreenshotCleanup.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool verdict = isScreenshotName(bytes);
    if (bytes.contains('/'))
        return 0;

    if (isScreenshotName("/home/someone/Desktop/" + bytes) != verdict)
        std::abort();
    QByteArray flipped = bytes;
    for (char &c : flipped) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    if (isScreenshotName(flipped) != verdict)
        std::abort();
    return 0;
}
