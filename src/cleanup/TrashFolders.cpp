#include "TrashFolders.h"

#include "FileSystem.h"

#include "platform/ErrorText.h"
#include "platform/Paths.h"
#include "platform/PrivateFolder.h"

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MaxPathDepth = 4096;

QString failure(const QString &action, const QByteArray &path, int err)
{
    return errorText(action, FileSystem::decodeLeniently(path), err);
}

// Opens the folder @p name inside @p dirFd, making it with mode 0700 when it is missing and
// @p missing allows. A symbolic link is never followed: a trash folder that is a link is not one.
UniqueFd openFolder(int dirFd, const QByteArray &dirPath, const QByteArray &name,
                    MissingFolders missing, struct stat *st, QString *error)
{
    const int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(openat(dirFd, name.constData(), flags));
    if (!fd.isValid() && errno == ENOENT && missing == MissingFolders::Make) {
        if (mkdirat(dirFd, name.constData(), 0700) != 0 && errno != EEXIST) {
            *error = failure(QStringLiteral("Cannot create the trash folder"),
                             Paths::joined(dirPath, name), errno);
            return {};
        }
        fd = UniqueFd(openat(dirFd, name.constData(), flags));
    }
    if (!fd.isValid() || fstat(fd.get(), st) != 0) {
        const int err = errno;
        struct stat link = {};
        // Said plainly: "Not a directory" would hide that something was put in its place.
        const bool isLink = fstatat(dirFd, name.constData(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISLNK(link.st_mode);
        *error = isLink ? QStringLiteral("Cannot use the trash folder ") +
                              FileSystem::decodeLeniently(Paths::joined(dirPath, name)) +
                              QStringLiteral(": it is a symbolic link")
                        : failure(QStringLiteral("Cannot open the trash folder"),
                                  Paths::joined(dirPath, name), err);
        return {};
    }
    return fd;
}

// A folder of ours that was just opened (or made): a real folder, owned by us.
UniqueFd openOwnFolder(int dirFd, const QByteArray &dirPath, const QByteArray &name,
                       MissingFolders missing, QString *error)
{
    struct stat st = {};
    UniqueFd fd = openFolder(dirFd, dirPath, name, missing, &st, error);
    if (fd.isValid() && st.st_uid != getuid()) {
        *error = QStringLiteral("Cannot use the trash folder ") +
                 FileSystem::decodeLeniently(Paths::joined(dirPath, name)) +
                 QStringLiteral(": it belongs to another user");
        return {};
    }
    return fd;
}

bool openFilesAndInfo(int trashFd, MissingFolders missing, TrashFolders *trash, QString *error)
{
    struct stat st = {};
    for (const char *name : {"files", "info"}) {
        // O_DIRECTORY: anything but a folder fails to open.
        UniqueFd fd = openFolder(trashFd, trash->path, name, missing, &st, error);
        if (!fd.isValid())
            return false;
        (name[0] == 'f' ? trash->files : trash->info) = std::move(fd);
    }
    return true;
}

// The shared $topdir/.Trash/$uid, usable only below a real, sticky .Trash that the
// administrator set up; anything else about it means it must not be used.
bool openSharedTrash(int topFd, const QByteArray &topdir, const QByteArray &uid,
                     MissingFolders missing, TrashFolders *trash, QString *error)
{
    const QByteArray sharedPath = Paths::joined(topdir, ".Trash");
    struct stat st = {};
    const UniqueFd shared = openFolder(topFd, topdir, ".Trash", MissingFolders::Fail, &st, error);
    if (!shared.isValid())
        return false;
    if (!(st.st_mode & S_ISVTX)) {
        *error = QStringLiteral("Cannot use the trash folder ") +
                 FileSystem::decodeLeniently(sharedPath) + QStringLiteral(": it is not sticky");
        return false;
    }
    trash->path = Paths::joined(sharedPath, uid);
    const UniqueFd own = openOwnFolder(shared.get(), sharedPath, uid, missing, error);
    return own.isValid() && openFilesAndInfo(own.get(), missing, trash, error);
}

bool openOwnVolumeTrash(int topFd, const QByteArray &topdir, const QByteArray &uid,
                        MissingFolders missing, TrashFolders *trash, QString *error)
{
    trash->path = Paths::joined(topdir, ".Trash-" + uid);
    const UniqueFd own = openOwnFolder(topFd, topdir, ".Trash-" + uid, missing, error);
    return own.isValid() && openFilesAndInfo(own.get(), missing, trash, error);
}

} // namespace

bool openHomeTrash(const QByteArray &homeTrash, MissingFolders missing, TrashFolders *trash,
                   QString *error)
{
    if (missing == MissingFolders::Make && !makePrivateFolder(homeTrash, error))
        return false;
    // The home trash itself may be a link the user set up; its own folders are not followed.
    const UniqueFd fd(open(homeTrash.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isValid()) {
        *error = failure(QStringLiteral("Cannot open the trash folder"), homeTrash, errno);
        return false;
    }
    trash->path = homeTrash;
    trash->topdir.clear();
    return openFilesAndInfo(fd.get(), missing, trash, error);
}

bool openVolumeTrash(const QByteArray &topdir, MissingFolders missing, TrashFolders *trash,
                     QString *error, const QByteArray &wanted)
{
    const UniqueFd top(open(topdir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!top.isValid()) {
        *error = failure(QStringLiteral("Cannot open the top folder of the mount"), topdir, errno);
        return false;
    }
    trash->topdir = topdir;
    const QByteArray uid = QByteArray::number(qulonglong(getuid()));
    const QByteArray shared = Paths::joined(topdir, ".Trash/" + uid);
    const QByteArray own = Paths::joined(topdir, ".Trash-" + uid);
    if (!wanted.isEmpty() && wanted != shared && wanted != own) {
        *error = QStringLiteral("Cannot use the trash folder ") +
                 FileSystem::decodeLeniently(wanted) + QStringLiteral(": not a trash of ") +
                 FileSystem::decodeLeniently(topdir);
        return false;
    }
    if (wanted != own) {
        // Unless it is asked for, the shared trash's failures only send us on to our own.
        QString sharedError;
        if (openSharedTrash(top.get(), topdir, uid, missing, trash, &sharedError))
            return true;
        if (!wanted.isEmpty()) {
            *error = sharedError;
            return false;
        }
    }
    // A trash on another file system would take a copy, and copies are never made.
    return openOwnVolumeTrash(top.get(), topdir, uid, missing, trash, error);
}

std::optional<quint64> homeTrashDevice(const QByteArray &homeTrash)
{
    QByteArray path = homeTrash;
    for (int depth = 0; depth < MaxPathDepth; ++depth) {
        struct stat st = {};
        if (stat(path.constData(), &st) == 0)
            return quint64(st.st_dev);
        if (path == "/")
            break;
        path = Paths::parentOf(path);
    }
    return std::nullopt;
}

bool isInsideATrash(const QByteArray &canonicalFolder, const QByteArray &canonicalHomeTrash)
{
    const auto isTrashPart = [](const QByteArray &part) {
        return part == "files" || part == "info";
    };
    const QList<QByteArray> parts = canonicalFolder.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const qsizetype next = parts[i] == ".Trash"             ? i + 2
                               : parts[i].startsWith(".Trash-") ? i + 1
                                                                : parts.size();
        if (next < parts.size() && isTrashPart(parts[next]))
            return true;
    }
    const QByteArray home = canonicalHomeTrash + '/';
    return !canonicalHomeTrash.isEmpty() && canonicalFolder.startsWith(home) &&
           isTrashPart(canonicalFolder.mid(home.size()).split('/').first());
}
