#pragma once

#include "Clock.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

/**
 * The user's freedesktop.org Trash (Trash specification 1.0). An entry on the home file system
 * goes to the home trash; an entry on another mount goes to $topdir/.Trash/$uid or
 * $topdir/.Trash-$uid. Never a copy, never a delete: when no trash on the entry's own file
 * system can take it, the move fails and the entry stays where it was.
 */
class Trash
{
public:
    /**
     * @p homeTrash is the home trash folder (normally $XDG_DATA_HOME/Trash; made 0700 with its
     * parents when first needed). @p clock gives the DeletionDate.
     */
    explicit Trash(QByteArray homeTrash = defaultHomeTrash(), const Clock &clock = Clock::system());
    ~Trash();

    Trash(const Trash &) = delete;
    Trash &operator=(const Trash &) = delete;

    /**
     * Moves the entry at the absolute path @p path (a file, a folder or a symbolic link itself)
     * into the trash, with its .trashinfo. Returns false and sets @p error to the system's
     * description of what failed when the entry stays where it was.
     */
    bool trashEntry(const QByteArray &path, QString *error);

    /** Flushes what was written to the trashes used so far to disk, once each. Also done on
     * destruction. */
    void syncUsed();

    /** $XDG_DATA_HOME/Trash, read from the environment now. */
    static QByteArray defaultHomeTrash();

private:
    QByteArray m_homeTrash;
    const Clock &m_clock;
    QSet<QByteArray> m_usedTrashes;
    // Last clash counter that worked, per trash and name, so that a run trashing many entries of
    // the same name does not probe the taken names again each time.
    QHash<QByteArray, qint64> m_lastSuffix;
};
