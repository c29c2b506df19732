#pragma once

#include <QByteArray>
#include <QtGlobal>

/**
 * Where file systems are mounted on this host.
 */
namespace Mounts {

/**
 * The mount point of the file system that holds the folder @p canonicalDir (absolute, no links
 * left in it), whose device number is @p device. Bind mounts share a device with their source,
 * so the mount table decides; where it cannot be read or disagrees with stat, the answer is the
 * highest ancestor of @p canonicalDir still on @p device.
 */
QByteArray mountPointOf(const QByteArray &canonicalDir, quint64 device);

} // namespace Mounts
