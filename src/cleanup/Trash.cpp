#include "Trash.h"

#include "FileSystem.h"
#include "TrashInfo.h"
#include "platform/UniqueFd.h"

#include "platform/ErrorText.h"
#include "platform/HostPaths.h"
#include "platform/Mounts.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
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

// The files/ and info/ folders of one trash, open for the whole run.
struct Trash::TrashFolders
{
    QByteArray path;   // the trash folder holding files/ and info/
    QByteArray topdir; // empty for the home trash, whose Path keys are absolute
    UniqueFd files;
    UniqueFd info;
};

struct Trash::Entry
{
    SourceFolder *folder;
    QByteArray name;
    QByteArray path;
};

namespace {

// The first clashes of a name are resolved by counting up ("a.2.png", "a.3.png", ...); beyond
// that, names already taken by earlier runs would cost one probe each, so the counter jumps to a
// random value instead. Every loop that retries is bounded.
constexpr int SequentialTries = 5;
constexpr int MaxNameAttempts = 64;
constexpr int MaxInterruptedWrites = 100;
constexpr int MaxPathDepth = 4096;

QString shown(const QByteArray &path)
{
    return FileSystem::decodeLeniently(path);
}

// errorText for a system call's failure on the raw path @p path.
QString failure(const QString &action, const QByteArray &path, int err)
{
    return errorText(action, shown(path), err);
}

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray joined(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Creates @p path and every missing parent with mode 0700, as the base directory rules ask for
// folders made on the user's behalf.
bool makePath(const QByteArray &path, QString *error)
{
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray prefix = end < 0 ? path : path.left(end);
        struct stat st = {};
        if (!prefix.endsWith('/') && stat(prefix.constData(), &st) != 0 &&
            (errno != ENOENT || (mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST))) {
            *error = failure(QStringLiteral("Cannot create the folder"), prefix, errno);
            return false;
        }
        if (end < 0)
            return true;
    }
}

// Opens the folder @p name inside @p dirFd, creating it with mode 0700 when it is missing. A
// symbolic link is never followed: a trash folder that is a link is not a trash folder.
UniqueFd openOrMakeFolder(int dirFd, const QByteArray &dirPath, const QByteArray &name,
                          struct stat *st, QString *error)
{
    const int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(openat(dirFd, name.constData(), flags));
    if (!fd.isValid() && errno == ENOENT) {
        if (mkdirat(dirFd, name.constData(), 0700) != 0 && errno != EEXIST) {
            *error = failure(QStringLiteral("Cannot create the trash folder"),
                             joined(dirPath, name), errno);
            return {};
        }
        fd = UniqueFd(openat(dirFd, name.constData(), flags));
    }
    if (!fd.isValid() || fstat(fd.get(), st) != 0) {
        *error =
            failure(QStringLiteral("Cannot open the trash folder"), joined(dirPath, name), errno);
        return {};
    }
    return fd;
}

// A folder of ours that was just opened (or made): a real folder, owned by us.
bool isOurFolder(const UniqueFd &fd, const struct stat &st, const QByteArray &path, QString *error)
{
    if (fd.isValid() && st.st_uid != getuid())
        *error = QStringLiteral("Cannot use the trash folder ") + shown(path) +
                 QStringLiteral(": it belongs to another user");
    return fd.isValid() && st.st_uid == getuid();
}

bool openFilesAndInfo(int trashFd, Trash::TrashFolders *trash, QString *error)
{
    struct stat st = {};
    trash->files = openOrMakeFolder(trashFd, trash->path, "files", &st, error);
    if (trash->files.isValid() && !S_ISDIR(st.st_mode))
        *error =
            failure(QStringLiteral("Cannot use the trash folder"), trash->path + "/files", ENOTDIR);
    if (!trash->files.isValid() || !S_ISDIR(st.st_mode))
        return false;
    trash->info = openOrMakeFolder(trashFd, trash->path, "info", &st, error);
    if (trash->info.isValid() && !S_ISDIR(st.st_mode))
        *error =
            failure(QStringLiteral("Cannot use the trash folder"), trash->path + "/info", ENOTDIR);
    return trash->info.isValid() && S_ISDIR(st.st_mode);
}

bool openHomeTrash(const QByteArray &homeTrash, Trash::TrashFolders *trash, QString *error)
{
    if (!makePath(homeTrash, error))
        return false;
    // The home trash itself may be a link the user set up; its own folders are not followed.
    const UniqueFd fd(open(homeTrash.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isValid()) {
        *error = failure(QStringLiteral("Cannot open the trash folder"), homeTrash, errno);
        return false;
    }
    trash->path = homeTrash;
    trash->topdir.clear();
    return openFilesAndInfo(fd.get(), trash, error);
}

// The shared $topdir/.Trash/$uid, usable only below a real, sticky .Trash that the
// administrator set up; anything else about it means it must not be used.
bool openSharedTopdirTrash(int topFd, const QByteArray &topdir, const QByteArray &uid,
                           Trash::TrashFolders *trash)
{
    const UniqueFd shared(openat(topFd, ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st = {};
    if (!shared.isValid() || fstat(shared.get(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        !(st.st_mode & S_ISVTX))
        return false;
    const QByteArray sharedPath = joined(topdir, ".Trash");
    QString ignored;
    const UniqueFd own = openOrMakeFolder(shared.get(), sharedPath, uid, &st, &ignored);
    if (!isOurFolder(own, st, sharedPath, &ignored) || !S_ISDIR(st.st_mode))
        return false;
    trash->path = joined(sharedPath, uid);
    return openFilesAndInfo(own.get(), trash, &ignored);
}

// $topdir/.Trash/$uid where it may be used, else $topdir/.Trash-$uid; failing both, the entry
// stays: a trash on another file system would take a copy, and copies are never made.
bool openTopdirTrash(const QByteArray &topdir, Trash::TrashFolders *trash, QString *error)
{
    const UniqueFd top(open(topdir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!top.isValid()) {
        *error = failure(QStringLiteral("Cannot open the top folder of the mount"), topdir, errno);
        return false;
    }
    trash->topdir = topdir;
    const QByteArray uid = QByteArray::number(qulonglong(getuid()));
    if (openSharedTopdirTrash(top.get(), topdir, uid, trash))
        return true;
    trash->path = joined(topdir, ".Trash-" + uid);
    struct stat st = {};
    const UniqueFd own = openOrMakeFolder(top.get(), topdir, ".Trash-" + uid, &st, error);
    if (own.isValid() && !S_ISDIR(st.st_mode)) {
        *error = failure(QStringLiteral("Cannot use the trash folder"), trash->path, ENOTDIR);
        return false;
    }
    return isOurFolder(own, st, trash->path, error) && openFilesAndInfo(own.get(), trash, error);
}

// The device the home trash lives on, or will live on once it has been created.
std::optional<quint64> homeTrashDevice(QByteArray path)
{
    for (int depth = 0; depth < MaxPathDepth; ++depth) {
        struct stat st = {};
        if (stat(path.constData(), &st) == 0)
            return quint64(st.st_dev);
        if (path == "/")
            break;
        path = parentOf(path);
    }
    return std::nullopt;
}

std::optional<QByteArray> canonicalPath(const QByteArray &path)
{
    char *resolved = realpath(path.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

// Writes all of @p data to @p fd and closes it: 0 when every byte reached the file, else the
// error number.
int writeAllAndClose(int fd, const QByteArray &data)
{
    const char *next = data.constData();
    qsizetype left = data.size();
    int interruptions = 0;
    int err = 0;
    while (left > 0 && err == 0) {
        const ssize_t written = write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR && ++interruptions < MaxInterruptedWrites)
            continue;
        err = written < 0 ? errno : written == 0 ? EIO : 0;
        next += qMax<ssize_t>(written, 0);
        left -= qMax<ssize_t>(written, 0);
    }
    if (close(fd) != 0 && err == 0)
        err = errno;
    return err;
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
    QByteArray entry = path;
    while (entry.size() > 1 && entry.endsWith('/'))
        entry.chop(1);
    const QByteArray name = FileSystem::lastComponent(entry);
    if (!entry.startsWith('/') || name.isEmpty() || name == "." || name == "..") {
        *error = QStringLiteral("Cannot trash ") + shown(path) +
                 (entry.startsWith('/') ? QStringLiteral(": not an entry of a folder")
                                        : QStringLiteral(": not an absolute path"));
        return std::nullopt;
    }
    const QByteArray parent = parentOf(entry);
    std::unique_ptr<SourceFolder> &folder = m_sources[parent];
    if (!folder) {
        UniqueFd fd(open(parent.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat st = {};
        if (!fd.isValid() || fstat(fd.get(), &st) != 0) {
            *error = failure(QStringLiteral("Cannot open the folder"), parent, errno);
            m_sources.erase(parent);
            return std::nullopt;
        }
        folder.reset(new SourceFolder{parent, std::move(fd), quint64(st.st_dev), {}, {}});
    }
    struct stat st = {};
    if (fstatat(folder->fd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        *error = failure(QStringLiteral("Cannot find"), entry, errno);
        return std::nullopt;
    }
    return Entry{folder.get(), name, entry};
}

Trash::TrashFolders *Trash::trashFor(SourceFolder &source, QString *error)
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
        const std::optional<QByteArray> real = canonicalPath(source.path);
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
    if (key.isEmpty() ? !openHomeTrash(m_homeTrash, trash.get(), error)
                      : !openTopdirTrash(key, trash.get(), error))
        return nullptr;
    return m_trashes.emplace(key, std::move(trash)).first->second.get();
}

Trash::Placed Trash::placeEntry(const Entry &entry, TrashFolders &trash, QString *error,
                                TrashedEntry *placed)
{
    // A trash on another mount records paths relative to its top folder, so entries can be
    // restored wherever the volume is mounted next time.
    const QByteArray original =
        trash.topdir.isEmpty() ? entry.path : joined(entry.folder->canonical, entry.name);
    const QByteArray recorded = trash.topdir.isEmpty() ? original
                                : trash.topdir == "/"  ? original.mid(1)
                                                       : original.mid(trash.topdir.size() + 1);
    const QByteArray info =
        TrashInfo::trashInfoText(recorded, TrashInfo::deletionDateText(m_clock.now()));
    const QByteArray suffixKey = trash.path + '\0' + entry.name;
    qint64 suffix = m_lastSuffix.value(suffixKey, 0);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        suffix = attempt < SequentialTries ? suffix + 1 : randomSuffix();
        const QByteArray trashName = TrashInfo::trashEntryName(entry.name, suffix);
        const QByteArray infoName = trashName + ".trashinfo";
        // The info file comes first and is made exclusively: it reserves the name, and an entry
        // never sits in files/ without it.
        const int fd = openat(trash.info.get(), infoName.constData(),
                              O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            // A read-only or refused trash fails the same way for every name: stop at once.
            const int err = errno;
            *error = failure(QStringLiteral("Cannot create the trash info file"),
                             trash.path + "/info/" + infoName, err);
            return err == ENOENT ? Placed::TrashGone : Placed::Failed;
        }
        m_usedTrashes.insert(trash.path);
        int err = writeAllAndClose(fd, info);
        if (err != 0) {
            unlinkat(trash.info.get(), infoName.constData(), 0);
            *error = failure(QStringLiteral("Cannot write the trash info file"),
                             trash.path + "/info/" + infoName, err);
            return Placed::Failed;
        }
        err = FileSystem::renameNoReplace(entry.folder->fd.get(), entry.name, trash.files.get(),
                                          trashName);
        if (err == 0) {
            m_lastSuffix.insert(suffixKey, suffix);
            if (placed)
                *placed = {original, trash.path, trashName};
            return Placed::Moved;
        }
        unlinkat(trash.info.get(), infoName.constData(), 0);
        if (err == EEXIST)
            continue; // a stray entry in files/ without its info file
        *error = moveFailure(trash.path + "/files/" + trashName, err);
        return Placed::Failed;
    }
    *error = QStringLiteral("Cannot find a free name for ") + shown(entry.name) +
             QStringLiteral(" in ") + shown(trash.path) +
             QStringLiteral(" after %1 tries").arg(MaxNameAttempts);
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
}
