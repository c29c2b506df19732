#include "AtomicFile.h"

#include "ErrorText.h"
#include "Paths.h"
#include "UniqueFd.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A file that keeps failing with EINTR is given up on rather than retried for ever.
constexpr int MaxInterruptions = 100;

} // namespace

int writeAll(int fd, const QByteArray &data)
{
    const char *next = data.constData();
    qsizetype left = data.size();
    int interruptions = 0;
    while (left > 0) {
        const ssize_t written = write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR && ++interruptions < MaxInterruptions)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        next += written;
        left -= written;
    }
    return 0;
}

bool writeFileAtomically(const QByteArray &path, const QByteArray &contents, QString *error)
{
    QByteArray temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC); // mode 0600
    int err = fd < 0 ? errno : writeAll(fd, contents);
    if (err == 0 && fsync(fd) != 0)
        err = errno;
    if (fd >= 0 && close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && rename(temporary.constData(), path.constData()) != 0)
        err = errno;
    if (err == 0) {
        // The rename itself reaches the disk with the folder.
        const UniqueFd folder(
            open(Paths::parentOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.isValid())
            (void)fsync(folder.get());
        return true;
    }
    if (fd >= 0)
        unlink(temporary.constData());
    if (error)
        *error = errorText(QStringLiteral("Cannot write"), QFile::decodeName(path), err);
    return false;
}
