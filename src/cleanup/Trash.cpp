#include "Trash.h"

#include "FileSystem.h"
#include "TrashInfo.h"

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/HostPaths.h"
#include "platform/Mounts.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The folder entries are taken from, open for the whole run.
struct Trash::SourceFolder
{
    QByteArray path;
    UniqueFd fd;
    quint64 device = 0;
    std::optional<QByteArray> trashKey; // which trash takes its entries, once known
    QByteArray canonical;               // its path without links, for a trash on another mount
};

struct Trash::Entry
{
    SourceFolder *folder;
    QByteArray name;
    QByteArray path;
    quint64 device;
    quint64 inode;
};

namespace {

// The first clashes of a name are resolved by counting up ("a.2.png", "a.3.png", ...); beyond
// that, names already taken by earlier runs would cost one probe each, so the counter jumps to a
// random value instead. Every loop that retries is bounded.
constexpr int SequentialTries = 5;
constexpr int MaxNameAttempts = 64;

QString shown(const QByteArray &path)
{
    return FileSystem::decodeLeniently(path);
}

// errorText for a system call's failure on the raw path @p path.
QString failure(const QString &action, const QByteArray &path, int err)
{
    return errorText(action, shown(path), err);
}

qint64 randomSuffix()
{
    return QRandomGenerator::global()->bounded(qint64(1000), qint64(2000000000));
}

QString moveFailure(const QByteArray &target, int err)
{
    QString text = failure(QStringLiteral("Cannot move the entry to"), target, err);
    if (err == EXDEV)
        text += QStringLiteral(" (the trash is on another file system; nothing was copied)");
    return text;
}

} // namespace

Trash::Trash(QByteArray homeTrash, const Clock &clock)
    : m_homeTrash(std::move(homeTrash)), m_clock(clock)
{
    while (m_homeTrash.size() > 1 && m_homeTrash.endsWith('/'))
        m_homeTrash.chop(1);
}

Trash::~Trash()
{
    syncUsed();
}

QByteArray Trash::defaultHomeTrash()
{
    return QFile::encodeName(HostPaths::dataHome() + QStringLiteral("/Trash"));
}

bool Trash::trashEntry(const QByteArray &path, QString *error, TrashedEntry *placed)
{
    QString why;
    const std::optional<Entry> entry = checkEntry(path, &why);
    Placed result = Placed::Failed;
    // A trash the user removed during the run leaves the folders we hold open pointing at
    // nothing: open it afresh, once.
    for (int round = 0; entry && round < 2; ++round) {
        TrashFolders *trash = trashFor(*entry->folder, &why);
        if (!trash)
            break;
        result = placeEntry(*entry, *trash, &why, placed);
        if (result != Placed::TrashGone)
            break;
        m_trashes.erase(*entry->folder->trashKey);
    }
    if (result != Placed::Moved && error)
        *error = why;
    return result == Placed::Moved;
}

std::optional<Trash::Entry> Trash::checkEntry(const QByteArray &path, QString *error)
{
    QByteArrayView entry(path);
    while (entry.size() > 1 && entry.endsWith('/'))
        entry.chop(1);
    const qsizetype slash = entry.lastIndexOf('/');
    const QByteArrayView name = entry.sliced(slash + 1);
    if (!entry.startsWith('/') || name.isEmpty() || name == "." || name == "..") {
        *error = QStringLiteral("Cannot trash ") + shown(path) +
                 (entry.startsWith('/') ? QStringLiteral(": not an entry of a folder")
                                        : QStringLiteral(": not an absolute path"));
        return std::nullopt;
    }
    SourceFolder *folder = sourceFolder(slash == 0 ? entry.first(1) : entry.first(slash), error);
    if (!folder)
        return std::nullopt;
    Entry checked{folder, name.toByteArray(),
                  entry.size() == path.size() ? path : entry.toByteArray(), 0, 0};
    struct stat st = {};
    if (fstatat(folder->fd.get(), checked.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        *error = failure(QStringLiteral("Cannot find"), checked.path, errno);
        return std::nullopt;
    }
    checked.device = quint64(st.st_dev);
    checked.inode = quint64(st.st_ino);
    return checked;
}

Trash::SourceFolder *Trash::sourceFolder(QByteArrayView parent, QString *error)
{
    if (m_lastSource && m_lastSource->path == parent)
        return m_lastSource;
    const QByteArray path = parent.toByteArray();
    std::unique_ptr<SourceFolder> &folder = m_sources[path];
    if (!folder) {
        UniqueFd fd(open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat st = {};
        if (!fd.isValid() || fstat(fd.get(), &st) != 0) {
            *error = failure(QStringLiteral("Cannot open the folder"), path, errno);
            m_sources.erase(path);
            return nullptr;
        }
        folder.reset(new SourceFolder{path, std::move(fd), quint64(st.st_dev), {}, {}});
    }
    m_lastSource = folder.get();
    return m_lastSource;
}

TrashFolders *Trash::trashFor(SourceFolder &source, QString *error)
{
    // Where the entry can go without leaving its file system: a rename is the only move there
    // is, so an entry is never copied and never deleted.
    if (!m_homeTrash.startsWith('/')) {
        *error = QStringLiteral("Cannot use the trash folder ") + shown(m_homeTrash) +
                 QStringLiteral(": not an absolute path");
        return nullptr;
    }
    if (!m_homeDevice)
        m_homeDevice = homeTrashDevice(m_homeTrash);
    if (!source.trashKey && m_homeDevice == source.device) {
        source.trashKey = QByteArray();
    } else if (!source.trashKey) {
        const std::optional<QByteArray> real = FileSystem::canonicalPath(source.path);
        if (!real) {
            *error = failure(QStringLiteral("Cannot resolve the folder"), source.path, errno);
            return nullptr;
        }
        source.canonical = *real;
        source.trashKey = Mounts::mountPointOf(*real, source.device);
    }
    const QByteArray &key = *source.trashKey;
    if (const auto known = m_trashes.find(key); known != m_trashes.end())
        return known->second.get();
    auto trash = std::make_unique<TrashFolders>();
    if (key.isEmpty() ? !openHomeTrash(m_homeTrash, MissingFolders::Make, trash.get(), error)
                      : !openVolumeTrash(key, MissingFolders::Make, trash.get(), error))
        return nullptr;
    return m_trashes.emplace(key, std::move(trash)).first->second.get();
}

qint64 Trash::lastSuffix(const QByteArray &trash, const QByteArray &name) const
{
    if (m_lastSuffix.isEmpty()) // no clash yet: nothing to look up
        return 0;
    const auto known = m_lastSuffix.constFind(trash);
    return known == m_lastSuffix.cend() ? 0 : known->value(name, 0);
}

const QByteArray &Trash::deletionDate()
{
    const double second = std::floor(m_clock.now());
    if (m_dateSecond != second) {
        m_dateText = TrashInfo::deletionDateText(second);
        m_dateSecond = second;
    }
    return m_dateText;
}

Trash::Placed Trash::placeEntry(const Entry &entry, TrashFolders &trash, QString *error,
                                TrashedEntry *placed)
{
    // A trash on another mount records paths relative to its top folder, so entries can be
    // restored wherever the volume is mounted next time. The path is encoded once, in two
    // pieces, so that the info file takes the second and the journal the whole.
    const bool home = trash.topdir.isEmpty();
    const QByteArray original =
        home ? entry.path : Paths::joined(entry.folder->canonical, entry.name);
    const qsizetype top = home ? 0 : trash.topdir == "/" ? 1 : trash.topdir.size() + 1;
    m_encodedPath.truncate(0);
    TrashInfo::appendPercentEncoded(m_encodedPath, QByteArrayView(original).first(top));
    const qsizetype recorded = m_encodedPath.size();
    TrashInfo::appendPercentEncoded(m_encodedPath, QByteArrayView(original).sliced(top));
    TrashInfo::writeTrashInfo(m_infoText, QByteArrayView(m_encodedPath).sliced(recorded),
                              deletionDate());
    qint64 suffix = lastSuffix(trash.path, entry.name);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        suffix = attempt < SequentialTries ? suffix + 1 : randomSuffix();
        const TrashedEntry target{
            original,     trash.path,  TrashInfo::trashEntryName(entry.name, suffix),
            entry.device, entry.inode, m_encodedPath};
        // Recorded before anything is made: a run killed at any later point leaves nothing the
        // next put back cannot find.
        if (m_journal && !m_journal->aboutToMove(target, error))
            return Placed::Failed;
        const Placed result = tryName(entry, trash, target.name, m_infoText, error);
        if (result == Placed::Moved) {
            if (suffix > 1)
                m_lastSuffix[trash.path].insert(entry.name, suffix);
            if (placed)
                *placed = target;
            return result;
        }
        if (m_journal)
            m_journal->didNotMove();
        if (result != Placed::NameTaken)
            return result;
    }
    *error = QStringLiteral("Cannot find a free name for ") + shown(entry.name) +
             QStringLiteral(" in ") + shown(trash.path) +
             QStringLiteral(" after %1 tries").arg(MaxNameAttempts);
    return Placed::Failed;
}

Trash::Placed Trash::tryName(const Entry &entry, TrashFolders &trash, const QByteArray &name,
                             const QByteArray &info, QString *error)
{
    // The info file comes first and is made exclusively: it reserves the name, and an entry
    // never sits in files/ without it.
    m_infoName.truncate(0);
    m_infoName.append(name).append(".trashinfo");
    const QByteArray &infoName = m_infoName;
    const int fd = openat(trash.info.get(), infoName.constData(),
                          O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
        return Placed::NameTaken;
    if (fd < 0) {
        // A read-only or refused trash fails the same way for every name: stop at once.
        const int err = errno;
        *error = failure(QStringLiteral("Cannot create the trash info file"),
                         TrashInfo::infoPath(trash.path, name), err);
        return err == ENOENT ? Placed::TrashGone : Placed::Failed;
    }
    if (m_lastUsedTrash != trash.path) {
        m_usedTrashes.insert(trash.path);
        m_lastUsedTrash = trash.path;
    }
    int err = writeAll(fd, info);
    if (close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0) {
        unlinkat(trash.info.get(), infoName.constData(), 0);
        *error = failure(QStringLiteral("Cannot write the trash info file"),
                         TrashInfo::infoPath(trash.path, name), err);
        return Placed::Failed;
    }
    err = FileSystem::renameNoReplace(entry.folder->fd.get(), entry.name, trash.files.get(), name);
    if (err == 0)
        return Placed::Moved;
    unlinkat(trash.info.get(), infoName.constData(), 0);
    if (err == EEXIST)
        return Placed::NameTaken; // a stray entry in files/ without its info file
    *error = moveFailure(TrashInfo::filesPath(trash.path, name), err);
    return Placed::Failed;
}

void Trash::syncUsed()
{
    // The whole file system rather than the two folders: the info files' contents must reach
    // the disk too, or a power cut could leave an entry in files/ beside an empty .trashinfo.
    // A failed flush is not logged: it belongs to no entry, every move already stands in the
    // file system, and the kernel reports write-back errors in its own log.
    for (const QByteArray &path : std::as_const(m_usedTrashes)) {
        const UniqueFd fd(open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.isValid())
            (void)syncfs(fd.get());
    }
    m_usedTrashes.clear();
    m_lastUsedTrash.clear();
}
