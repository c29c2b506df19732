#include "RunLock.h"

#include "FileSystem.h"
#include "RunJournal.h"

#include "platform/ErrorText.h"
#include "platform/Paths.h"
#include "platform/StopRequest.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

constexpr std::chrono::milliseconds RetryEvery{20};

// The lock file, made 0600 when missing; only a regular file of ours is locked.
int openLockFile(const QByteArray &path)
{
    const int fd =
        open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat st = {};
    if (fd < 0 || fstat(fd, &st) != 0)
        return -errno;
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        close(fd);
        return -EINVAL;
    }
    if ((st.st_mode & 077) != 0)
        (void)fchmod(fd, 0600);
    return fd;
}

} // namespace

RunLock::RunLock(std::chrono::milliseconds wait, const StopRequest *stop)
{
    const QByteArray path = Paths::joined(RunJournalStore::stateFolder(), "lock");
    if (!RunJournalStore::makeStateFolder(&m_error))
        return;
    const int fd = openLockFile(path);
    if (fd < 0) {
        m_error =
            -fd == EINVAL
                ? QStringLiteral("Cannot lock ") + FileSystem::decodeLeniently(path) +
                      QStringLiteral(": not a regular file of this user's")
                : errorText(QStringLiteral("Cannot lock"), FileSystem::decodeLeniently(path), -fd);
        return;
    }
    m_fd = UniqueFd(fd);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_state = State::Held;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error =
                errorText(QStringLiteral("Cannot lock"), FileSystem::decodeLeniently(path), errno);
            return;
        }
        if (waited.elapsed() >= wait.count() || StopRequest::isRequested(stop)) {
            m_state = State::Busy;
            return;
        }
        QThread::msleep(RetryEvery.count());
    }
}

QString RunLock::busyText()
{
    return QCoreApplication::translate("Cleanup", "Another cleanup is running");
}
