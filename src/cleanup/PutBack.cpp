#include "PutBack.h"

#include "FileSystem.h"
#include "RunJournal.h"
#include "Trash.h"
#include "TrashFolders.h"
#include "TrashInfo.h"

#include "platform/ErrorText.h"
#include "platform/Log.h"
#include "platform/Mounts.h"
#include "platform/Paths.h"
#include "platform/StateFile.h"
#include "platform/StopRequest.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room for a Path of PATH_MAX bytes, each one percent-encoded.
constexpr qint64 MaxInfoFileBytes = 64 * 1024;

enum class Outcome
{
    PutBack,
    Taken,
    Gone,
    Mismatched,
    Replaced,
    Failed,
    AlreadyBack, // never left its place, or a killed put back returned it: not counted
};

QString shown(const QByteArray &path)
{
    return FileSystem::decodeLeniently(path);
}

// The context of this file's texts, as lupdate finds them and the catalogues hold them.
class PutBackText
{
    Q_DECLARE_TR_FUNCTIONS(PutBack)
};

// Where an entry of the journal belongs and where it went: its original folder and its trash,
// each opened with the checks trashing uses.
struct Place
{
    int folder = -1;
    TrashFolders *trash = nullptr;
    QString error; // why one of the two could not be opened
};

// Opens each folder an entry of the journal involves, once for the whole put back. The journal's
// trash folder is not taken on trust: it must be the trash trashing would pick for the entry's
// original folder, and it is opened as trashing opens it.
class Places
{
public:
    Place find(const JournalEntry &entry)
    {
        const QByteArray parentPath = Paths::parentOf(entry.originalPath);
        Folder &parent = m_folders[parentPath];
        if (!parent.fd.isValid() && parent.error.isEmpty())
            open(parentPath, &parent);
        if (!parent.fd.isValid())
            return {-1, nullptr, parent.error};
        auto &[trash, error] = m_trashes[entry.trashFolder + '\0' + parentPath];
        if (!trash && error.isEmpty()) {
            trash = std::make_unique<TrashFolders>();
            if (!openTrash(parentPath, parent.device, entry.trashFolder, trash.get(), &error))
                trash.reset();
        }
        return {parent.fd.get(), trash.get(), error};
    }

private:
    struct Folder
    {
        UniqueFd fd;
        quint64 device = 0;
        QString error;
    };

    static void open(const QByteArray &path, Folder *folder)
    {
        folder->fd = UniqueFd(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat st = {};
        if (folder->fd.isValid() && fstat(folder->fd.get(), &st) == 0)
            folder->device = quint64(st.st_dev);
        else
            folder->error = errorText(QStringLiteral("Cannot open the folder"), shown(path), errno);
        if (!folder->error.isEmpty())
            folder->fd = UniqueFd();
    }

    bool openTrash(const QByteArray &parentPath, quint64 device, const QByteArray &wanted,
                   TrashFolders *trash, QString *error)
    {
        if (device == m_homeDevice && wanted == m_homeTrash)
            return openHomeTrash(m_homeTrash, MissingFolders::Fail, trash, error);
        const std::optional<QByteArray> real = FileSystem::canonicalPath(parentPath);
        if (!real) {
            *error =
                errorText(QStringLiteral("Cannot resolve the folder"), shown(parentPath), errno);
            return false;
        }
        return openVolumeTrash(Mounts::mountPointOf(*real, device), MissingFolders::Fail, trash,
                               error, wanted);
    }

    QByteArray m_homeTrash = Trash::defaultHomeTrash();
    std::optional<quint64> m_homeDevice = homeTrashDevice(m_homeTrash);
    std::map<QByteArray, Folder> m_folders;
    std::map<QByteArray, std::pair<std::unique_ptr<TrashFolders>, QString>> m_trashes;
};

// Whether the info file's Path names the entry's original path: absolute, or (in a volume's
// trash) relative to the volume's top folder.
bool namesOriginal(const QByteArray &infoPath, const JournalEntry &entry, const QByteArray &topdir)
{
    if (infoPath.startsWith('/') || topdir.isEmpty())
        return infoPath == entry.originalPath;
    return !infoPath.isEmpty() && Paths::joined(topdir, infoPath) == entry.originalPath;
}

bool isEntryAt(int folder, const QByteArray &name, const JournalEntry &entry)
{
    struct stat st = {};
    return fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           quint64(st.st_dev) == entry.device && quint64(st.st_ino) == entry.inode;
}

// An info file of ours whose entry is not in files/ describes nothing: a run killed before its
// move, or a put back killed after it, leaves one.
void removeStranded(const JournalEntry &entry, const TrashFolders &trash)
{
    struct stat st = {};
    if (fstatat(trash.files.get(), entry.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 ||
        errno != ENOENT)
        return;
    const QByteArray infoName = TrashInfo::infoFileName(entry.name);
    const BoundedRead info = readRegularFile(trash.info.get(), infoName, MaxInfoFileBytes);
    const std::optional<QByteArray> path =
        info.bytes ? TrashInfo::trashInfoPath(*info.bytes) : std::nullopt;
    if (info.bytes &&
        (info.bytes->isEmpty() || (path && namesOriginal(*path, entry, trash.topdir))))
        unlinkat(trash.info.get(), infoName.constData(), 0);
}

struct Checked
{
    Outcome outcome = Outcome::Failed;
    Place place;
    EntryDates dates; // of the entry in the Trash, for the kept list
    QString error;    // for Failed: why
};

// Whether the entry can be put back: the very entry the run moved, still in the Trash, with an
// info file naming its original path.
Checked check(const JournalEntry &entry, Places &places)
{
    Checked checked{Outcome::Failed, places.find(entry), {}, {}};
    const Place &place = checked.place;
    const bool back = place.folder >= 0 &&
                      isEntryAt(place.folder, FileSystem::lastComponent(entry.originalPath), entry);
    if (!place.trash && !back) {
        checked.error = place.error;
        return checked;
    }
    if (back || !isEntryAt(place.trash->files.get(), entry.name, entry)) {
        if (place.trash)
            removeStranded(entry, *place.trash);
        struct stat st = {};
        checked.outcome = back ? Outcome::AlreadyBack
                          : fstatat(place.trash->files.get(), entry.name.constData(), &st,
                                    AT_SYMLINK_NOFOLLOW) == 0
                              ? Outcome::Replaced
                              : Outcome::Gone;
        return checked;
    }
    const BoundedRead info = readRegularFile(place.trash->info.get(),
                                             TrashInfo::infoFileName(entry.name), MaxInfoFileBytes);
    const std::optional<QByteArray> path =
        info.bytes ? TrashInfo::trashInfoPath(*info.bytes) : std::nullopt;
    if (!path || !namesOriginal(*path, entry, place.trash->topdir)) {
        checked.outcome = Outcome::Mismatched;
        return checked;
    }
    checked.dates = FileSystem::entryDates(entry.name, place.trash->files.get());
    checked.outcome = Outcome::PutBack;
    return checked;
}

// The move back, then the info file. Never replaces what now stands at the original path.
Outcome moveBack(const JournalEntry &entry, const Place &place, QString *error)
{
    const int err = FileSystem::renameNoReplace(place.trash->files.get(), entry.name, place.folder,
                                                FileSystem::lastComponent(entry.originalPath));
    if (err == EEXIST)
        return Outcome::Taken;
    if (err != 0) {
        *error = errorReason(err);
        return Outcome::Failed;
    }
    unlinkat(place.trash->info.get(), TrashInfo::infoFileName(entry.name).constData(), 0);
    return Outcome::PutBack;
}

QString entryLine(Outcome outcome, const QByteArray &path, const QString &error)
{
    switch (outcome) {
    case Outcome::PutBack:
        return PutBackText::tr("Put back %1").arg(shown(path));
    case Outcome::Taken:
        return PutBackText::tr("Cannot put back %1: the name is taken").arg(shown(path));
    case Outcome::Gone:
        return PutBackText::tr("Cannot put back %1: it is no longer in the Trash").arg(shown(path));
    case Outcome::Mismatched:
        return PutBackText::tr("Cannot put back %1: its info file no longer matches")
            .arg(shown(path));
    case Outcome::Replaced:
        return PutBackText::tr(
                   "Cannot put back %1: the entry in the Trash is not the one the run moved")
            .arg(shown(path));
    case Outcome::Failed:
    case Outcome::AlreadyBack:
        break;
    }
    return PutBackText::tr("Cannot put back %1: %2").arg(shown(path), error);
}

// English needs the split between one and many; each text still has its own plural forms.
QString part(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("; ") +
           QCoreApplication::translate("PutBack", count == 1 ? one : many, nullptr, int(count));
}

QString summaryOf(const PutBackResult &result)
{
    if (result.total == 0)
        return PutBackText::tr("Nothing to put back");
    QString text = PutBackText::tr("Put back %1 of %2").arg(result.putBack).arg(result.total);
    if (result.taken)
        text += part(result.taken, QT_TRANSLATE_N_NOOP("PutBack", "%n name is taken"),
                     QT_TRANSLATE_N_NOOP("PutBack", "%n names are taken"));
    if (result.gone)
        text += part(result.gone, QT_TRANSLATE_N_NOOP("PutBack", "%n is no longer in the Trash"),
                     QT_TRANSLATE_N_NOOP("PutBack", "%n are no longer in the Trash"));
    if (result.mismatched)
        text += part(result.mismatched,
                     QT_TRANSLATE_N_NOOP("PutBack", "%n no longer matches its info file"),
                     QT_TRANSLATE_N_NOOP("PutBack", "%n no longer match their info files"));
    if (result.replaced)
        text +=
            part(result.replaced, QT_TRANSLATE_N_NOOP("PutBack", "%n is not the one the run moved"),
                 QT_TRANSLATE_N_NOOP("PutBack", "%n are not the ones the run moved"));
    if (result.failed)
        text += part(result.failed, QT_TRANSLATE_N_NOOP("PutBack", "%n could not be moved"),
                     QT_TRANSLATE_N_NOOP("PutBack", "%n could not be moved"));
    return text;
}

// Moves back each entry found fit, in the journal's order; returns the entries that stay.
QList<JournalEntry> moveEach(const QList<JournalEntry> &entries, QList<Checked> &checked,
                             const PutBackOptions &options, PutBackResult *result)
{
    QList<JournalEntry> stayed;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        Checked &entry = checked[i];
        if (entry.outcome == Outcome::AlreadyBack)
            continue;
        ++result->total;
        if (StopRequest::isRequested(options.stop)) {
            stayed.append(entries[i]); // the next put back tries it
            continue;
        }
        if (entry.outcome == Outcome::PutBack)
            entry.outcome = moveBack(entries[i], entry.place, &entry.error);
        result->lines.append(entryLine(entry.outcome, entries[i].originalPath, entry.error));
        result->movedBack.append(entry.outcome == Outcome::PutBack);
        qint64 *const counts[] = {&result->putBack,    &result->taken,    &result->gone,
                                  &result->mismatched, &result->replaced, &result->failed};
        ++*counts[int(entry.outcome)];
        if (entry.outcome != Outcome::PutBack && entry.outcome != Outcome::Gone)
            stayed.append(entries[i]);
    }
    return stayed;
}

} // namespace

PutBackResult putBackLastRun(const PutBackOptions &options)
{
    PutBackResult result;
    const RunLock lock(options.lockWait, options.stop);
    if (lock.state() != RunLock::State::Held) {
        result.busy = lock.state() == RunLock::State::Busy;
        result.error = lock.error();
        result.summary = result.busy ? RunLock::busyText() : lock.error();
        return result;
    }
    RunJournalStore::removeLeftovers();
    RunJournal journal = RunJournalStore::readJournal();
    KeptEntries kept = RunJournalStore::stillKept(RunJournalStore::readKept());
    Places places;
    QList<Checked> checked;
    for (const JournalEntry &entry : std::as_const(journal.entries)) {
        checked.append(check(entry, places));
        if (checked.last().outcome == Outcome::PutBack)
            kept.insert(entry.originalPath, checked.last().dates);
    }
    // Kept before the moves: a run right after a killed put back must not take them again.
    // Those that then stay in the Trash are forgotten by the next run (their path is empty).
    QString error;
    const bool any = std::any_of(checked.cbegin(), checked.cend(), [](const Checked &entry) {
        return entry.outcome == Outcome::PutBack;
    });
    if (any && !RunJournalStore::writeKept(kept, &error))
        logLine(error);
    const QList<JournalEntry> stayed = moveEach(journal.entries, checked, options, &result);
    result.summary = summaryOf(result);
    // The entries are where the lines say; a journal that could not be rewritten only repeats
    // them next time.
    if (!journal.entries.isEmpty()) {
        journal.entries = stayed;
        if (!RunJournalStore::writeJournal(journal, &error))
            logLine(error);
    }
    return result;
}

void removeStrandedInfoFiles(const RunJournal &journal)
{
    Places places;
    for (const JournalEntry &entry : journal.entries) {
        const Place place = places.find(entry);
        if (place.trash)
            removeStranded(entry, *place.trash);
    }
}
