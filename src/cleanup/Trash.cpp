#include "Trash.h"

#include "FileSystem.h"
#include "TrashInfo.h"
#include "UniqueFd.h"

#include "platform/HostPaths.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first clashes of a name are resolved by counting up ("a.2.png", "a.3.png", ...); beyond
// that, names already taken by earlier runs would cost one probe each, so the counter jumps to a
// random value instead. Every loop that retries is bounded.
constexpr int SequentialTries = 5;
constexpr int MaxNameAttempts = 64;
constexpr int MaxInterruptedWrites = 100;
constexpr int MaxPathDepth = 4096;

struct TrashFolders
{
    QByteArray path;   // the trash folder holding files/ and info/
    QByteArray topdir; // empty for the home trash, whose Path keys are absolute
    UniqueFd files;
    UniqueFd info;
};

QString shown(const QByteArray &path)
{
    return FileSystem::decodeLeniently(path);
}

QString failure(const QString &action, const QByteArray &path, int err)
{
    return action + QLatin1Char(' ') + shown(path) + QStringLiteral(": ") +
           QString::fromLocal8Bit(std::strerror(err));
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

bool isInside(const QByteArray &folder, const QByteArray &path)
{
    if (folder == "/")
        return path.startsWith('/');
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == '/');
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
    if (!S_ISDIR(st->st_mode)) {
        *error =
            failure(QStringLiteral("Cannot use the trash folder"), joined(dirPath, name), ENOTDIR);
        return {};
    }
    return fd;
}

bool openFilesAndInfo(int trashFd, TrashFolders *trash, QString *error)
{
    struct stat st = {};
    trash->files = openOrMakeFolder(trashFd, trash->path, "files", &st, error);
    if (!trash->files.isValid())
        return false;
    trash->info = openOrMakeFolder(trashFd, trash->path, "info", &st, error);
    return trash->info.isValid();
}

bool openHomeTrash(const QByteArray &homeTrash, TrashFolders *trash, QString *error)
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
                           TrashFolders *trash)
{
    const UniqueFd shared(openat(topFd, ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st = {};
    if (!shared.isValid() || fstat(shared.get(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        !(st.st_mode & S_ISVTX))
        return false;
    const QByteArray sharedPath = joined(topdir, ".Trash");
    QString ignored;
    const UniqueFd own = openOrMakeFolder(shared.get(), sharedPath, uid, &st, &ignored);
    if (!own.isValid() || st.st_uid != getuid())
        return false;
    trash->path = joined(sharedPath, uid);
    return openFilesAndInfo(own.get(), trash, &ignored);
}

bool openTopdirTrash(const QByteArray &topdir, TrashFolders *trash, QString *error)
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

    const QByteArray name = ".Trash-" + uid;
    trash->path = joined(topdir, name);
    struct stat st = {};
    QString why;
    const UniqueFd own = openOrMakeFolder(top.get(), topdir, name, &st, &why);
    if (own.isValid() && st.st_uid != getuid())
        why = shown(trash->path) + QStringLiteral(" belongs to another user");
    if (!own.isValid() || st.st_uid != getuid() || !openFilesAndInfo(own.get(), trash, &why)) {
        *error = QStringLiteral("No usable trash on the file system of ") + shown(topdir) +
                 QStringLiteral(" (") + why + QStringLiteral(")");
        return false;
    }
    return true;
}

// The device the home trash lives on, or will live on once it has been created.
std::optional<dev_t> homeTrashDevice(QByteArray path)
{
    for (int depth = 0; depth < MaxPathDepth; ++depth) {
        struct stat st = {};
        if (stat(path.constData(), &st) == 0)
            return st.st_dev;
        if (path == "/")
            break;
        path = parentOf(path);
    }
    return std::nullopt;
}

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

// The mount point holding @p canonicalDir. The mount table knows about bind mounts, which share
// a device with their source; when it cannot be read (or disagrees with stat), walk up for as
// long as the device stays the same.
QByteArray mountPointOf(const QByteArray &canonicalDir, dev_t device)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (table.open(QIODevice::ReadOnly)) {
        QByteArray best;
        for (const QByteArray &line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() < 5)
                continue;
            const QByteArray mountPoint = unescapeMountField(fields.at(4));
            if (isInside(mountPoint, canonicalDir) && mountPoint.size() >= best.size())
                best = mountPoint;
        }
        struct stat st = {};
        if (!best.isEmpty() && stat(best.constData(), &st) == 0 && st.st_dev == device)
            return best;
    }
    QByteArray top = canonicalDir;
    for (int depth = 0; depth < MaxPathDepth && top != "/"; ++depth) {
        const QByteArray up = parentOf(top);
        struct stat st = {};
        if (stat(up.constData(), &st) != 0 || st.st_dev != device)
            break;
        top = up;
    }
    return top;
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

// 0 when all of @p data reached the file, else the error number.
int writeAll(int fd, const QByteArray &data)
{
    const char *next = data.constData();
    qsizetype left = data.size();
    int interruptions = 0;
    while (left > 0) {
        const ssize_t written = write(fd, next, size_t(left));
        if (written < 0) {
            if (errno == EINTR && ++interruptions < MaxInterruptedWrites)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        next += written;
        left -= written;
    }
    return 0;
}

// 0 on success, else the error number; EEXIST means the name is taken.
int renameNoReplace(int fromDir, const QByteArray &from, int toDir, const QByteArray &to)
{
    if (renameat2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return err;
    // Some file systems (older network and FUSE ones) refuse the flag. The name is reserved for
    // us by its info file, so only a stray entry can stand in the way: look before renaming.
    struct stat st = {};
    if (fstatat(toDir, to.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return renameat(fromDir, from.constData(), toDir, to.constData()) == 0 ? 0 : errno;
}

qint64 randomSuffix()
{
    return QRandomGenerator::global()->bounded(qint64(1000), qint64(2000000000));
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

bool Trash::trashEntry(const QByteArray &path, QString *error)
{
    QString why;
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };

    QByteArray entry = path;
    while (entry.size() > 1 && entry.endsWith('/'))
        entry.chop(1);
    const QByteArray name = FileSystem::lastComponent(entry);
    if (!entry.startsWith('/'))
        return fail(QStringLiteral("Cannot trash ") + shown(path) +
                    QStringLiteral(": not an absolute path"));
    if (name.isEmpty() || name == "." || name == "..")
        return fail(QStringLiteral("Cannot trash ") + shown(path) +
                    QStringLiteral(": not an entry of a folder"));
    const QByteArray parent = parentOf(entry);

    const UniqueFd parentFd(open(parent.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd.isValid())
        return fail(failure(QStringLiteral("Cannot open the folder"), parent, errno));
    struct stat entrySt = {};
    if (fstatat(parentFd.get(), name.constData(), &entrySt, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(failure(QStringLiteral("Cannot find"), entry, errno));
    struct stat parentSt = {};
    if (fstat(parentFd.get(), &parentSt) != 0)
        return fail(failure(QStringLiteral("Cannot examine the folder"), parent, errno));

    // Where the entry can go without leaving its file system: a rename is the only move there
    // is, so an entry is never copied and never deleted.
    if (!m_homeTrash.startsWith('/'))
        return fail(QStringLiteral("The trash folder ") + shown(m_homeTrash) +
                    QStringLiteral(" is not an absolute path"));
    TrashFolders trash;
    QByteArray originalPath = entry;
    const std::optional<dev_t> homeDevice = homeTrashDevice(m_homeTrash);
    if (homeDevice && *homeDevice == parentSt.st_dev) {
        if (!openHomeTrash(m_homeTrash, &trash, &why))
            return fail(why);
    } else {
        const std::optional<QByteArray> realParent = canonicalPath(parent);
        if (!realParent)
            return fail(failure(QStringLiteral("Cannot resolve the folder"), parent, errno));
        if (!openTopdirTrash(mountPointOf(*realParent, parentSt.st_dev), &trash, &why))
            return fail(why);
        // A trash on a removable volume records paths relative to the volume's top folder, so
        // entries can be restored wherever the volume is mounted next time.
        const QByteArray real = joined(*realParent, name);
        originalPath = trash.topdir == "/" ? real.mid(1) : real.mid(trash.topdir.size() + 1);
    }

    const QByteArray info =
        TrashInfo::trashInfoText(originalPath, TrashInfo::deletionDateText(m_clock.now()));
    const QByteArray suffixKey = trash.path + '\0' + name;
    qint64 suffix = m_lastSuffix.value(suffixKey, 0);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        suffix = attempt < SequentialTries ? suffix + 1 : randomSuffix();
        const QByteArray trashName = TrashInfo::trashEntryName(name, suffix);
        const QByteArray infoName = trashName + ".trashinfo";
        const QByteArray infoPath = trash.path + "/info/" + infoName;

        const int fd = openat(trash.info.get(), infoName.constData(),
                              O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            // A read-only or refused trash fails the same way for every name: stop at once.
            return fail(
                failure(QStringLiteral("Cannot create the trash info file"), infoPath, errno));
        }
        m_usedTrashes.insert(trash.path);
        int err = writeAll(fd, info);
        if (close(fd) != 0 && err == 0)
            err = errno;
        if (err != 0) {
            unlinkat(trash.info.get(), infoName.constData(), 0);
            return fail(failure(QStringLiteral("Cannot write the trash info file"), infoPath, err));
        }

        err = renameNoReplace(parentFd.get(), name, trash.files.get(), trashName);
        if (err == 0) {
            m_lastSuffix.insert(suffixKey, suffix);
            return true;
        }
        unlinkat(trash.info.get(), infoName.constData(), 0);
        if (err == EEXIST)
            continue; // a stray entry in files/ without its info file
        const QByteArray target = trash.path + "/files/" + trashName;
        QString text = QStringLiteral("Cannot move it to ") + shown(target) + QStringLiteral(": ") +
                       QString::fromLocal8Bit(std::strerror(err));
        if (err == EXDEV)
            text += QStringLiteral(" (the trash is on another file system; nothing was copied)");
        return fail(text);
    }
    return fail(QStringLiteral("Cannot find a free name for ") + shown(name) +
                QStringLiteral(" in ") + shown(trash.path) +
                QStringLiteral(" after %1 tries").arg(MaxNameAttempts));
}

void Trash::syncUsed()
{
    // The whole file system rather than the two folders: the info files' contents must reach
    // the disk too, or a power cut could leave an entry in files/ beside an empty .trashinfo.
    for (const QByteArray &path : std::as_const(m_usedTrashes)) {
        const UniqueFd fd(open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.isValid())
            syncfs(fd.get());
    }
    m_usedTrashes.clear();
}
