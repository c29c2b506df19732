#include "PutBack.h"

#include "FileSystem.h"
#include "RunJournal.h"
#include "TrashInfo.h"
#include "platform/UniqueFd.h"

#include "platform/ErrorText.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Outcome
{
    PutBack,
    Taken,
    Gone,
    Mismatched,
    Failed,
};

QString shown(const QByteArray &path)
{
    return FileSystem::decodeLeniently(path);
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Whether the info file's Path names @p original: the absolute path for the home trash, the
// path below the volume's top folder for a trash there ($topdir/.Trash-$uid or .Trash/$uid).
bool namesOriginal(const QByteArray &infoPath, const JournalEntry &entry)
{
    if (infoPath.startsWith('/'))
        return infoPath == entry.originalPath;
    if (infoPath.isEmpty() || !entry.originalPath.endsWith('/' + infoPath))
        return false;
    const QByteArray topdir = entry.originalPath.chopped(infoPath.size() + 1);
    return entry.trashFolder.startsWith((topdir.isEmpty() ? QByteArray() : topdir) + "/.Trash");
}

// Whether the entry can be put back: still in the Trash, with an info file naming its path.
Outcome checkEntry(const JournalEntry &entry)
{
    const QByteArray infoFile = entry.trashFolder + "/info/" + entry.name + ".trashinfo";
    struct stat st = {};
    const bool inTrash = lstat((entry.trashFolder + "/files/" + entry.name).constData(), &st) == 0;
    const UniqueFd fd(open(infoFile.constData(), O_RDONLY | O_CLOEXEC));
    QFile info;
    if (!fd.isValid() || !info.open(fd.get(), QIODevice::ReadOnly))
        return inTrash ? Outcome::Mismatched : Outcome::Gone;
    const std::optional<QByteArray> path = TrashInfo::trashInfoPath(info.readAll());
    if (!path || !namesOriginal(*path, entry))
        return Outcome::Mismatched;
    if (!inTrash) {
        // An info file whose entry is gone describes nothing: drop it (a put back killed
        // between its two steps leaves one).
        unlink(infoFile.constData());
        return Outcome::Gone;
    }
    return Outcome::PutBack;
}

// The move back, then the info file. Never replaces what now stands at the original path.
Outcome moveBack(const JournalEntry &entry, int *err)
{
    const UniqueFd from(
        open((entry.trashFolder + "/files").constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const UniqueFd to(
        open(parentOf(entry.originalPath).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    *err = !from.isValid() || !to.isValid()
               ? errno
               : FileSystem::renameNoReplace(from.get(), entry.name, to.get(),
                                             FileSystem::lastComponent(entry.originalPath));
    if (*err != 0)
        return *err == EEXIST ? Outcome::Taken : Outcome::Failed;
    unlink((entry.trashFolder + "/info/" + entry.name + ".trashinfo").constData());
    return Outcome::PutBack;
}

QString entryLine(Outcome outcome, const QByteArray &path, int err)
{
    const QString action = QStringLiteral("Cannot put back");
    switch (outcome) {
    case Outcome::PutBack:
        return QStringLiteral("Put back ") + shown(path);
    case Outcome::Taken:
        return action + ' ' + shown(path) + QStringLiteral(": the name is taken");
    case Outcome::Gone:
        return action + ' ' + shown(path) + QStringLiteral(": it is no longer in the Trash");
    case Outcome::Mismatched:
        return action + ' ' + shown(path) + QStringLiteral(": its info file no longer matches");
    case Outcome::Failed:
        break;
    }
    return errorText(action, shown(path), err);
}

QString part(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("; %1 ").arg(count) + QLatin1String(count == 1 ? one : many);
}

QString summaryOf(const PutBackResult &result)
{
    if (result.total == 0)
        return QStringLiteral("Nothing to put back");
    QString text = QStringLiteral("Put back %1 of %2").arg(result.putBack).arg(result.total);
    if (result.taken)
        text += part(result.taken, "name is taken", "names are taken");
    if (result.gone)
        text += part(result.gone, "is no longer in the Trash", "are no longer in the Trash");
    if (result.mismatched)
        text += part(result.mismatched, "no longer matches its info file",
                     "no longer match their info files");
    if (result.failed)
        text += part(result.failed, "could not be moved", "could not be moved");
    return text;
}

} // namespace

PutBackResult putBackLastRun()
{
    RunJournal journal = RunJournalStore::readJournal();
    QList<KeptEntry> kept = RunJournalStore::readKept();
    PutBackResult result;
    result.total = journal.entries.size();
    QList<Outcome> outcomes;
    for (const JournalEntry &entry : std::as_const(journal.entries)) {
        outcomes.append(checkEntry(entry));
        if (outcomes.last() == Outcome::PutBack)
            kept.append({entry.originalPath,
                         FileSystem::entryDates(entry.trashFolder + "/files/" + entry.name)});
    }
    // Kept before the moves: a run right after a killed put back must not take them again.
    // Those that then stay in the Trash are forgotten by the next read (their path is empty).
    QString ignored;
    if (outcomes.contains(Outcome::PutBack))
        RunJournalStore::writeKept(kept, &ignored);
    QList<JournalEntry> stayed;
    for (qsizetype i = 0; i < journal.entries.size(); ++i) {
        const JournalEntry &entry = journal.entries.at(i);
        int err = 0;
        if (outcomes[i] == Outcome::PutBack)
            outcomes[i] = moveBack(entry, &err);
        result.lines.append(entryLine(outcomes[i], entry.originalPath, err));
        qint64 *counts[] = {&result.putBack, &result.taken, &result.gone, &result.mismatched,
                            &result.failed};
        ++*counts[int(outcomes[i])];
        if (outcomes[i] != Outcome::PutBack && outcomes[i] != Outcome::Gone)
            stayed.append(entry);
    }
    result.summary = summaryOf(result);
    if (result.total > 0) {
        // The entries are where the lines say; a journal that could not be rewritten only
        // repeats them next time.
        journal.entries = stayed;
        RunJournalStore::writeJournal(journal, &ignored);
    }
    return result;
}
