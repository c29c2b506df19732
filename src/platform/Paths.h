#pragma once

#include <QByteArray>

/** Path arithmetic on raw byte paths (names need not be valid UTF-8); nothing is looked up. */
namespace Paths {

/** The folder holding @p path: "/a/b" gives "/a", "/a" and "/" give "/". */
QByteArray parentOf(const QByteArray &path);

/** @p name inside @p folder, with exactly one separator between them. */
QByteArray joined(const QByteArray &folder, const QByteArray &name);

} // namespace Paths
