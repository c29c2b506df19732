// The trash's text functions on arbitrary bytes: encoding a path and decoding it gives the same
// bytes back, the encoded form holds nothing a .trashinfo line cannot carry, a .trashinfo
// document yields the path it was made from, and entry names in the trash stay within the limit
// and differ for different clash counters.
#include "cleanup/TrashInfo.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool isPlain(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

void fail(int line)
{
    std::fprintf(stderr, "property at line %d does not hold\n", line);
    std::abort();
}

} // namespace

#define check(condition) ((condition) ? void() : fail(__LINE__))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QByteArray encoded = TrashInfo::percentEncodePath(bytes);
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded.at(i) == '%') {
            check(i + 2 < encoded.size() && isHex(encoded.at(i + 1)) && isHex(encoded.at(i + 2)));
            i += 2;
        } else {
            check(isPlain(encoded.at(i)));
        }
    }
    check(TrashInfo::percentDecodePath(encoded) == bytes);

    // Whatever a foreign .trashinfo holds, reading it must not crash, and a decoded path encodes
    // to something that decodes to it again.
    if (const auto decoded = TrashInfo::percentDecodePath(bytes))
        check(TrashInfo::percentDecodePath(TrashInfo::percentEncodePath(*decoded)) == *decoded);
    (void)TrashInfo::trashInfoPath(bytes);

    const QByteArray info = TrashInfo::trashInfoText(bytes, "2024-05-01T10:15:00");
    check(TrashInfo::trashInfoPath(info) == bytes);

    // Entry names: the first bytes choose the limit and two clash counters, the rest is a name.
    if (size < 5)
        return 0;
    const qsizetype maxLength = 32 + data[0] % 224;
    // Counter 1 adds no mark, so a cut name may equal a marked one by chance ("x.2" cut from
    // "x.2495"); the O_EXCL reservation in the trash makes that harmless. Marked names must differ.
    const qint64 first = 2 + (data[1] | data[2] << 8);
    const qint64 second = first + 1 + data[3];
    QByteArray name = bytes.mid(4);
    name.replace('/', '_');
    name.replace('\0', '_');
    if (name.isEmpty())
        return 0;
    const QByteArray a = TrashInfo::trashEntryName(name, first, maxLength);
    const QByteArray b = TrashInfo::trashEntryName(name, second, maxLength);
    check(!a.isEmpty() && a.size() <= maxLength && !a.contains('/') && !a.contains('\0'));
    check(!b.isEmpty() && b.size() <= maxLength && !b.contains('/') && !b.contains('\0'));
    check(a != b);
    if (name.size() <= maxLength)
        check(TrashInfo::trashEntryName(name, 1, maxLength) == name);
    return 0;
}
