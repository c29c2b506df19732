#include "Mounts.h"

#include "Paths.h"

#include <QFile>
#include <QList>

#include <sys/stat.h>

namespace Mounts {

namespace {

// Bounds the walk up towards "/" when the mount table cannot be used.
constexpr int MaxPathDepth = 4096;

bool isInside(const QByteArray &folder, const QByteArray &path)
{
    if (folder == "/")
        return path.startsWith('/');
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == '/');
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as three octal digits.
QByteArray unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && value < 256) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field.at(i));
    }
    return out;
}

bool isOnDevice(const QByteArray &path, quint64 device)
{
    struct stat st = {};
    return stat(path.constData(), &st) == 0 && quint64(st.st_dev) == device;
}

QByteArray longestMountPointAbove(const QByteArray &canonicalDir)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    QByteArray best;
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QByteArray mountPoint = unescapeMountField(fields.at(4));
        if (isInside(mountPoint, canonicalDir) && mountPoint.size() >= best.size())
            best = mountPoint;
    }
    return best;
}

} // namespace

QByteArray mountPointOf(const QByteArray &canonicalDir, quint64 device)
{
    const QByteArray listed = longestMountPointAbove(canonicalDir);
    if (!listed.isEmpty() && isOnDevice(listed, device))
        return listed;
    QByteArray top = canonicalDir;
    for (int depth = 0; depth < MaxPathDepth && top != "/"; ++depth) {
        const QByteArray up = Paths::parentOf(top);
        if (!isOnDevice(up, device))
            break;
        top = up;
    }
    return top;
}

} // namespace Mounts
