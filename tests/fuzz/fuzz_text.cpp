// Names, paths and documents on arbitrary bytes, never a crash or a hang. The property-list reader
// gives a reason with every refusal, and what it accepts survives a trip through the writer. The
// name rule answers alike wherever the entry lies, blind to the case of ASCII letters. A path
// decodes from its encoded form, which a .trashinfo line can carry, and from a .trashinfo document;
// entry names in the trash stay within the limit and differ for different clash counters.
#include "agent/PlistWriter.h"
#include "agentctl/PlistReader.h"
#include "cleanup/ScreenshotCleanup.h"
#include "cleanup/TrashInfo.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Names the property that does not hold before the crash.
#define check(condition)                                                                           \
    ((condition) ? void() : (std::fprintf(stderr, "line %d fails\n", __LINE__), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace TrashInfo;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    QString error;
    const std::optional<QVariant> plist = readXmlPlist(bytes, &error);
    check(plist || !error.isEmpty());
    // The writer may refuse text that XML cannot carry; what it writes must read back the same.
    if (const std::optional<QByteArray> written = plist ? writeXmlPlist(*plist) : std::nullopt)
        check(readXmlPlist(*written) == plist);

    // QByteArray changes the case of ASCII letters only.
    const bool verdict = isScreenshotName(bytes);
    check(bytes.contains('/') || (isScreenshotName("/home/someone/Desktop/" + bytes) == verdict &&
                                  isScreenshotName(bytes.toUpper()) == verdict &&
                                  isScreenshotName(bytes.toLower()) == verdict));

    static const QRegularExpression lineSafe(QStringLiteral("^([A-Za-z0-9._~/-]|%[0-9A-F]{2})*$"));
    const QByteArray encoded = percentEncodePath(bytes);
    check(lineSafe.match(QString::fromLatin1(encoded)).hasMatch());
    check(percentDecodePath(encoded) == bytes);

    // Whatever a foreign .trashinfo holds, reading it must not crash, and a decoded path encodes
    // to something that decodes to it again.
    if (const auto decoded = percentDecodePath(bytes))
        check(percentDecodePath(percentEncodePath(*decoded)) == *decoded);
    (void)trashInfoPath(bytes);
    check(trashInfoPath(trashInfoText(bytes, "2024-05-01T10:15:00")) == bytes);

    // Entry names: the first bytes choose the limit and two clash counters, the rest is a name.
    if (size < 5)
        return 0;
    const qsizetype maxLength = 32 + data[0] % 224;
    // Counter 1 adds no mark, so a cut name may equal a marked one by chance ("x.2" cut from
    // "x.2495"); the O_EXCL reservation in the trash makes that harmless. Marked names must differ.
    const qint64 first = 2 + (data[1] | data[2] << 8);
    const qint64 second = first + 1 + data[3];
    const QByteArray name = bytes.mid(4).replace('/', '_').replace('\0', '_');
    if (name.isEmpty())
        return 0;
    for (const qint64 counter : {first, second}) {
        const QByteArray entry = trashEntryName(name, counter, maxLength);
        check(!entry.isEmpty() && entry.size() <= maxLength && !entry.contains('/') &&
              !entry.contains('\0'));
    }
    check(trashEntryName(name, first, maxLength) != trashEntryName(name, second, maxLength));
    check(name.size() > maxLength || trashEntryName(name, 1, maxLength) == name);
    return 0;
}
