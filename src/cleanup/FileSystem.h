#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <fcntl.h>
#include <optional>

/** The two dates the age rule looks at; each may be absent. */
struct EntryDates
{
    std::optional<double> creation;     ///< birth time, where the file system records it
    std::optional<double> modification; ///< content modification time
};

/**
 * The file-system operations the cleanup engine relies on, on raw byte paths (names need not be
 * valid UTF-8). Paths are absolute, without a trailing separator.
 */
namespace FileSystem {

/**
 * The stored folder path @p folder as bytes for the calls below, or nothing when it is empty or
 * relative: such a path would be read against whatever folder the process happens to run in, so
 * it counts as a folder that cannot be listed.
 */
std::optional<QByteArray> storedFolderPath(const QString &folder);

/**
 * The direct entries of @p folder as absolute paths, in the order the directory yields them,
 * entries whose names begin with "." left out. No entry is stat'ed. Empty optional when the
 * folder cannot be listed (missing, not a folder, access refused), with the error number in
 * @p error (0 on success).
 */
std::optional<QList<QByteArray>> listVisibleEntries(const QByteArray &folder, int *error = nullptr);

/** 0 when @p folder can be listed, hidden entries included, else the error number. */
int listingError(const QByteArray &folder);

/**
 * Birth and modification time of the entry itself (a symbolic link is not followed), in one
 * request; @p path is relative to the open folder @p dirFd when given. A failed request leaves
 * both absent.
 */
EntryDates entryDates(const QByteArray &path, int dirFd = AT_FDCWD);

/** @p path with every link resolved and no "." or ".." left; nothing when it cannot be. */
std::optional<QByteArray> canonicalPath(const QByteArray &path);

/** The last component of @p path (the entry's name). */
QByteArray lastComponent(const QByteArray &path);

/**
 * Renames @p from in the folder @p fromDir to @p to in @p toDir without ever replacing an
 * existing @p to (renameat2 RENAME_NOREPLACE; where a file system refuses the flag, a look
 * before a plain rename). 0 on success, else the error number; EEXIST: the name is taken.
 */
int renameNoReplace(int fromDir, const QByteArray &from, int toDir, const QByteArray &to);

/**
 * The folder itself when it exists, else its closest existing ancestor; empty for a path that
 * is not absolute.
 */
QString nearestExistingFolder(const QString &folder);

/** @p bytes decoded from UTF-8; an invalid byte becomes U+FFFD and never drops the rest. */
QString decodeLeniently(const QByteArray &bytes);

} // namespace FileSystem
