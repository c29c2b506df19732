// The property-list reader on arbitrary bytes: never a crash or a hang, a reason with every
// refusal, and whatever it accepts survives a trip through the writer unchanged.
#include "agent/PlistWriter.h"
#include "agentctl/PlistReader.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<QVariant> plist = readXmlPlist(bytes, &error);
    if (!plist) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    // The writer may refuse text that XML cannot carry; what it writes must read back the same.
    if (const std::optional<QByteArray> written = writeXmlPlist(*plist)) {
        const std::optional<QVariant> again = readXmlPlist(*written, &error);
        if (!again || *again != *plist)
            std::abort();
    }
    return 0;
}
