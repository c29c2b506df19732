#include "JournalWriter.h"

#include "FileSystem.h"
#include "RunJournal.h"
#include "TrashInfo.h"

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool JournalWriter::begin(QString *error)
{
    m_path = Paths::joined(RunJournalStore::stateFolder(), "last-run");
    if (!RunJournalStore::makeStateFolder(error) ||
        !writeFileAtomically(m_path, RunJournalStore::failureLine(0, {}), error))
        return false;
    m_fd = UniqueFd(
        open(m_path.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st = {};
    const int err = !m_fd.isValid() || fstat(m_fd.get(), &st) != 0 ? errno
                    : S_ISREG(st.st_mode)                          ? 0
                                                                   : EINVAL;
    if (err != 0) {
        *error =
            errorText(QStringLiteral("Cannot write"), FileSystem::decodeLeniently(m_path), err);
        m_fd = UniqueFd();
    }
    return err == 0;
}

bool JournalWriter::aboutToMove(const TrashedEntry &entry, QString *error)
{
    if (entry.encodedPath.isEmpty())
        return append(RunJournalStore::entryLine({entry.originalPath, entry.trashFolder, entry.name,
                                                  entry.device, entry.inode}),
                      error);
    if (entry.trashFolder != m_trashFolder) {
        m_trashFolder = entry.trashFolder;
        m_encodedTrashFolder = TrashInfo::percentEncodePath(m_trashFolder);
    }
    // Under its own name, the entry's encoded name ends the encoded path: "/" is never encoded.
    const QByteArrayView encodedPath = entry.encodedPath;
    const qsizetype slash = encodedPath.lastIndexOf('/');
    QByteArrayView encodedName = encodedPath.sliced(slash + 1);
    const QByteArrayView original = entry.originalPath;
    const qsizetype nameAt = original.size() - entry.name.size();
    if (nameAt < 1 || original[nameAt - 1] != '/' || !original.endsWith(entry.name)) {
        m_encodedName.truncate(0);
        TrashInfo::appendPercentEncoded(m_encodedName, entry.name);
        encodedName = m_encodedName;
    }
    RunJournalStore::writeEntryLine(m_line, encodedPath, m_encodedTrashFolder, encodedName,
                                    entry.device, entry.inode);
    return append(m_line, error);
}

void JournalWriter::didNotMove()
{
    // Should this line be lost, put back finds the entry still at its place and passes it over.
    QString ignored;
    append(RunJournalStore::withdrawnLine(), &ignored);
}

void JournalWriter::finish(qint64 failedCount, const QString &firstFailure)
{
    QString error;
    if (!append(RunJournalStore::failureLine(failedCount, firstFailure), &error) ||
        fsync(m_fd.get()) != 0)
        logLine(error.isEmpty() ? errorText(QStringLiteral("Cannot write"),
                                            FileSystem::decodeLeniently(m_path), errno)
                                : error);
}

bool JournalWriter::append(const QByteArray &line, QString *error)
{
    const int err = m_fd.isValid() ? writeAll(m_fd.get(), line) : EBADF;
    if (err != 0)
        *error =
            errorText(QStringLiteral("Cannot write"), FileSystem::decodeLeniently(m_path), err);
    return err == 0;
}
