#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <optional>

/** A file read whole, or why it was not. */
struct BoundedRead
{
    std::optional<QByteArray> bytes; ///< the contents; empty optional when not read
    int error = 0;                   ///< the error number; ENOENT: there is no such file
    QString reason;                  ///< why not: "a symbolic link", "larger than N bytes", …
};

/**
 * Reads the regular file @p name in the folder @p dirFd (AT_FDCWD: @p name is a path) without
 * trusting what stands there: a symbolic link in its place is not followed, a FIFO or device
 * never blocks or feeds without end, and a file larger than @p maxBytes is refused.
 */
BoundedRead readRegularFile(int dirFd, const QByteArray &name, qint64 maxBytes);

/**
 * The state file @p path read with readRegularFile. Nothing when there is none or it was
 * refused; a refusal is logged ("Cannot read <path>: <reason>") and the caller goes on as if
 * there were none.
 */
std::optional<QByteArray> readStateFile(const QByteArray &path, qint64 maxBytes);
