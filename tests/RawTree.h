#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

// Removes a folder tree by raw bytes, relative to open folders: Qt cannot remove names that are
// not valid UTF-8, and a path past PATH_MAX cannot be named whole.
inline void removeTreeAt(int parentFd, const char *name)
{
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        if (DIR *dir = fdopendir(dup(fd))) {
            QList<QByteArray> names;
            while (const dirent *entry = readdir(dir)) {
                if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                    names.append(entry->d_name);
            }
            closedir(dir);
            for (const QByteArray &child : names) {
                if (unlinkat(fd, child.constData(), 0) != 0)
                    removeTreeAt(fd, child.constData());
            }
        }
        close(fd);
    }
    unlinkat(parentFd, name, AT_REMOVEDIR);
}

inline void removeTree(const QByteArray &path)
{
    removeTreeAt(AT_FDCWD, path.constData());
}
