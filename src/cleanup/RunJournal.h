#pragma once

#include "FileSystem.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <limits>

/** One entry a run moved to the Trash. */
struct JournalEntry
{
    QByteArray originalPath; ///< absolute path it had
    QByteArray trashFolder;  ///< the trash folder holding files/ and info/
    QByteArray name;         ///< its name in files/
    quint64 device = 0;      ///< its device and inode: only the entry that still has them is
    quint64 inode = 0;       ///< the one the run moved
};

/** What the last run (scheduled or Run Now) moved, and how many moves failed. */
struct RunJournal
{
    QList<JournalEntry> entries;
    qint64 failedCount = 0;
    QString firstFailure; ///< the first failure's log line; empty when none failed
};

/** Entries put back, by path: kept from later runs while the path holds the same dates. */
using KeptEntries = QHash<QByteArray, EntryDates>;

/**
 * The run journal and the kept entries, in $XDG_STATE_HOME/quillbrook (0700, files 0600).
 * Nothing read from there is trusted: a file that is a link, not a regular file or too large
 * reads as empty (and is logged); writers replace whole files atomically and never write through
 * a link. Only a run or a put back holding the user's lock (RunLock) writes here.
 */
namespace RunJournalStore {

/** The state folder, read from the environment now. */
QByteArray stateFolder();

/** Makes the state folder (0700, tightened when looser). False with @p error when it cannot. */
bool makeStateFolder(QString *error);

/** A state file larger than this is not read. */
inline constexpr qint64 MaxStateFileBytes = 64 * 1024 * 1024;

/**
 * Removes what a write killed half way left in the state folder (its temporary files). Only a
 * run or put back holding the user's lock writes there, so the caller must hold it.
 */
void removeLeftovers();

/** The journal's line for @p entry, and for the run's failures (newline included). */
QByteArray entryLine(const JournalEntry &entry);
/** The same line into @p line, from the three paths already percent-encoded. */
void writeEntryLine(QByteArray &line, QByteArrayView encodedPath, QByteArrayView encodedTrashFolder,
                    QByteArrayView encodedName, quint64 device, quint64 inode);
QByteArray failureLine(qint64 failedCount, const QString &firstFailure);
/** The line that takes back the entry line just before it (the move did not happen). */
QByteArray withdrawnLine();

/** Replaces the journal of the last run. False with @p error set when it could not be written. */
bool writeJournal(const RunJournal &journal, QString *error);

/** The journal of the last run. */
RunJournal readJournal();

/** Replaces the kept entries. False with @p error set when they could not be written. */
bool writeKept(const KeptEntries &kept, QString *error);

/** The kept entries as stored; writes nothing. */
KeptEntries readKept();

/** Those of @p kept whose path still holds an entry with the same dates. */
KeptEntries stillKept(KeptEntries kept);

} // namespace RunJournalStore

/** Whether @p kept holds @p path with exactly @p dates. */
bool isKept(const KeptEntries &kept, const QByteArray &path, const EntryDates &dates);

/** The last run's journal (entries, failed count, first failure line). */
RunJournal lastRunJournal();

/**
 * How many of @p journal's entries are still in their trash, under their name and identity;
 * counting stops at @p enough (whether any is: 1).
 */
qint64 entriesStillInTrash(const RunJournal &journal,
                           qint64 enough = std::numeric_limits<qint64>::max());
