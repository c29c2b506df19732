#pragma once

#include "RunLock.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <chrono>

class StopRequest;
struct RunJournal;

/** How a put back is carried out. */
struct PutBackOptions
{
    /** How long to wait while another run or put back holds the user's lock. */
    std::chrono::milliseconds lockWait = RunLock::DefaultWait;
    /** Checked between entries: the put back ends after the entry it is moving. Without one,
     *  only a stop signal ends it early. */
    const StopRequest *stop = nullptr;
};

/** What putBackLastRun did. */
struct PutBackResult
{
    bool busy = false;     ///< another run or put back kept the lock: nothing was done
    qint64 total = 0;      ///< entries the last run moved that had not come back yet
    qint64 putBack = 0;    ///< moved back to their original paths
    qint64 taken = 0;      ///< stayed: the original path is taken
    qint64 gone = 0;       ///< no longer in the Trash
    qint64 mismatched = 0; ///< stayed: the info file is missing or names another path
    qint64 replaced = 0;   ///< stayed: what is in the Trash under its name is another entry
    qint64 failed = 0;     ///< stayed: the trash folder or the move back failed otherwise
    QStringList lines;     ///< one line per entry, in the journal's order
    QList<bool> movedBack; ///< for each line: whether its entry was put back
    QString summary;       ///< e.g. "Put back 10 of 12; 2 names are taken"
    QString error;         ///< why nothing could be done (the lock file); also the summary

    bool allBack() const { return !busy && error.isEmpty() && putBack == total; }
};

/**
 * Under the user's lock, moves every entry the last run moved to the Trash back to its original
 * path (never replacing anything there), then removes its info file. Each trash folder is opened
 * with the checks trashing uses (no links, this user's, the sticky rule), and an entry moves only
 * while it is the very one the run moved (device and inode). Entries whose original path is
 * taken, whose Trash entry is gone or replaced, or whose info file no longer names its original
 * path stay where they are. Entries put back are kept from later runs while their path and dates
 * stay the same; the journal then lists only the entries that stayed.
 */
PutBackResult putBackLastRun(const PutBackOptions &options = {});

/**
 * Removes each info file that @p journal names and that describes nothing: its entry never
 * reached the Trash (a run killed before the move) or left it again (a put back killed after
 * it). Only an info file that is empty or names the journal's original path is removed. The
 * caller holds the user's lock.
 */
void removeStrandedInfoFiles(const RunJournal &journal);
