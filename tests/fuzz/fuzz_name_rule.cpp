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
    // QByteArray changes the case of ASCII letters only.
    if (isScreenshotName("/home/someone/Desktop/" + bytes) != verdict ||
        isScreenshotName(bytes.toUpper()) != verdict ||
        isScreenshotName(bytes.toLower()) != verdict)
        std::abort();
    return 0;
}
