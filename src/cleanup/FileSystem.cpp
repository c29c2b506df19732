#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

namespace {

// The folder's path as the prefix of its entries' paths: "/" stays "/", any other trailing
// separator is dropped so that no entry path carries "//".
QByteArray entryPrefix(const QByteArray &folder)
{
    qsizetype end = folder.size();
    while (end > 1 && folder.at(end - 1) == '/')
        --end;
    QByteArray prefix = folder.left(end);
    if (!prefix.endsWith('/'))
        prefix.append('/');
    return prefix;
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Reads every entry of @p folder, handing each name to @p take. 0, or the error number when the
// folder cannot be opened or reading it fails part way: a half-read folder is not a listing.
template <typename Take> int readFolder(const QByteArray &folder, Take take)
{
    if (folder.isEmpty())
        return ENOENT;
    DIR *dir = opendir(folder.constData());
    if (!dir)
        return errno;
    int err = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry) {
            err = errno;
            break;
        }
        if (!isDotOrDotDot(entry->d_name))
            take(entry->d_name);
    }
    closedir(dir);
    return err;
}

double seconds(const statx_timestamp &ts)
{
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

std::optional<QByteArray> storedFolderPath(const QString &folder)
{
    if (!QDir::isAbsolutePath(folder))
        return std::nullopt;
    return QFile::encodeName(folder);
}

std::optional<QList<QByteArray>> listVisibleEntries(const QByteArray &folder, int *error)
{
    const QByteArray prefix = entryPrefix(folder);
    QList<QByteArray> entries;
    const int err = readFolder(folder, [&](const char *name) {
        if (name[0] != '.')
            entries.append(prefix + name);
    });
    if (error)
        *error = err;
    if (err != 0)
        return std::nullopt;
    return entries;
}

int listingError(const QByteArray &folder)
{
    return readFolder(folder, [](const char *) {});
}

EntryDates entryDates(const QByteArray &path, int dirFd)
{
    struct statx st = {};
    if (path.isEmpty() ||
        statx(dirFd, path.constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &st) != 0)
        return {};
    EntryDates dates;
    // Many file systems (and older kernels) keep no birth time; the mask says whether this one did.
    if (st.stx_mask & STATX_BTIME)
        dates.creation = seconds(st.stx_btime);
    if (st.stx_mask & STATX_MTIME)
        dates.modification = seconds(st.stx_mtime);
    return dates;
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

QByteArray lastComponent(const QByteArray &path)
{
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == '/')
        --end;
    if (end == 0)
        return {};
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

int renameNoReplace(int fromDir, const QByteArray &from, int toDir, const QByteArray &to)
{
    if (renameat2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return err;
    // Some file systems (older network and FUSE ones) refuse the flag. Callers hold the name
    // (the Trash by its info file), so only a stray entry can stand in the way: look first.
    struct stat st = {};
    if (fstatat(toDir, to.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return renameat(fromDir, from.constData(), toDir, to.constData()) == 0 ? 0 : errno;
}

QString nearestExistingFolder(const QString &folder)
{
    if (!QDir::isAbsolutePath(folder))
        return {};
    QString path = QDir::cleanPath(folder);
    for (;;) {
        const QFileInfo info(path);
        if (info.isDir())
            return path;
        const QString parent = info.path();
        if (parent == path)
            return {};
        path = parent;
    }
}

QString decodeLeniently(const QByteArray &bytes)
{
    // QString::fromUtf8 would silently drop a leading byte-order mark: a name shown in a message
    // is the name as it is.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

} // namespace FileSystem
