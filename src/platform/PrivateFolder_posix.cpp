#include "PrivateFolder.h"

#include "ErrorText.h"
#include "UniqueFd.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 0 when @p folder is a folder now (made or found), else the error number.
int ensureFolder(const QByteArray &folder)
{
    struct stat st = {};
    if (stat(folder.constData(), &st) != 0) {
        if (errno != ENOENT)
            return errno;
        if (mkdir(folder.constData(), 0700) == 0)
            return 0;
        // Another process may have made it meanwhile; anything else is the reason.
        if (errno != EEXIST)
            return errno;
        if (stat(folder.constData(), &st) != 0)
            return errno;
    }
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// Group and others lose access to a folder of ours; a link is the user's choice and stays.
int tighten(const QByteArray &folder)
{
    const UniqueFd fd(open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st = {};
    if (!fd.isValid() || fstat(fd.get(), &st) != 0)
        return errno == ELOOP ? 0 : errno;
    if (st.st_uid != geteuid() || (st.st_mode & 077) == 0)
        return 0;
    return fchmod(fd.get(), st.st_mode & 0700) == 0 ? 0 : errno;
}

} // namespace

bool makePrivateFolder(const QByteArray &path, QString *error, ExistingFolder existing)
{
    int err = path.startsWith('/') ? 0 : EINVAL;
    for (qsizetype end = path.indexOf('/', 1); err == 0; end = path.indexOf('/', end + 1)) {
        const QByteArray prefix = end < 0 ? path : path.left(end);
        if (!prefix.endsWith('/'))
            err = ensureFolder(prefix);
        if (end < 0)
            break;
    }
    if (err == 0 && existing == ExistingFolder::Tighten)
        err = tighten(path);
    if (err != 0 && error)
        *error =
            errorText(QStringLiteral("Cannot create the folder"), QFile::decodeName(path), err);
    return err == 0;
}
