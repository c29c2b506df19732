#include "StateFile.h"

#include "ErrorText.h"
#include "Log.h"
#include "UniqueFd.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

BoundedRead refused(int error, const QString &reason)
{
    return {std::nullopt, error, reason};
}

QString tooLarge(qint64 maxBytes)
{
    return QStringLiteral("larger than %1 bytes").arg(maxBytes);
}

} // namespace

BoundedRead readRegularFile(int dirFd, const QByteArray &name, qint64 maxBytes)
{
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer that never comes.
    const UniqueFd fd(
        openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st = {};
    if (!fd.isValid() || fstat(fd.get(), &st) != 0)
        return refused(errno,
                       errno == ELOOP ? QStringLiteral("a symbolic link") : errorReason(errno));
    if (!S_ISREG(st.st_mode))
        return refused(EINVAL, QStringLiteral("not a regular file"));
    if (st.st_size > maxBytes)
        return refused(EFBIG, tooLarge(maxBytes));
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refused(errno, errorReason(errno));
        if (n == 0)
            return {bytes, 0, {}};
        bytes.append(chunk, n);
        if (bytes.size() > maxBytes) // it grew while being read
            return refused(EFBIG, tooLarge(maxBytes));
    }
}

std::optional<QByteArray> readStateFile(const QByteArray &path, qint64 maxBytes)
{
    BoundedRead read = readRegularFile(AT_FDCWD, path, maxBytes);
    if (!read.bytes && read.error != ENOENT && read.error != ENOTDIR)
        logLine(QStringLiteral("Cannot read ") + QFile::decodeName(path) + QStringLiteral(": ") +
                read.reason);
    return std::move(read.bytes);
}
