#pragma once

#include <QByteArray>
#include <QString>

/**
 * Writes all of @p data to the open file @p fd, going on after interruptions and short writes.
 * 0 when every byte was written, else the error number.
 */
int writeAll(int fd, const QByteArray &data);

/**
 * Replaces the file @p path with @p contents in one step: a new file (mode 0600) beside it, named
 * <path>.XXXXXX (six random characters),
 * written, flushed to disk and renamed over it, then the folder flushed. A reader sees the old
 * file or the new one, never a part of either; a link at @p path is replaced, never written
 * through. The folder must exist. On failure no temporary file is left, and @p error (if given)
 * says "Cannot write <path>: <reason>".
 */
bool writeFileAtomically(const QByteArray &path, const QByteArray &contents, QString *error);
