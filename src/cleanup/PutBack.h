#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

/** What putBackLastRun did. */
struct PutBackResult
{
    qint64 total = 0;      ///< entries the last run moved
    qint64 putBack = 0;    ///< moved back to their original paths
    qint64 taken = 0;      ///< stayed: the original path is taken
    qint64 gone = 0;       ///< no longer in the Trash
    qint64 mismatched = 0; ///< stayed: the info file is missing or names another path
    qint64 failed = 0;     ///< stayed: the move back failed otherwise
    QStringList lines;     ///< one line per entry, in the journal's order
    QString summary;       ///< e.g. "Put back 10 of 12; 2 names are taken"

    bool allBack() const { return putBack == total; }
};

/**
 * Moves every entry the last run moved to the Trash back to its original path (never replacing
 * anything there), then removes its info file. Entries whose original path is taken, whose
 * Trash entry is gone or whose info file no longer names its original path stay where they are.
 * Entries put back are kept from later runs while their path and dates stay the same; the
 * journal then lists only the entries that stayed.
 */
PutBackResult putBackLastRun();
