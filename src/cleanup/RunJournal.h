#pragma once

#include "FileSystem.h"

#include <QByteArray>
#include <QList>
#include <QString>

/** One entry a run moved to the Trash. */
struct JournalEntry
{
    QByteArray originalPath; ///< absolute path it had
    QByteArray trashFolder;  ///< the trash folder holding files/ and info/
    QByteArray name;         ///< its name in files/
};

/** What the last run (scheduled or Run Now) moved, and how many moves failed. */
struct RunJournal
{
    QList<JournalEntry> entries;
    qint64 failedCount = 0;
    QString firstFailure; ///< the first failure's log line; empty when none failed
};

/** An entry put back from the Trash, kept from later runs while its path and dates stay. */
struct KeptEntry
{
    QByteArray path;
    EntryDates dates;
};

/**
 * The run journal and the kept entries, in $XDG_STATE_HOME/quillbrook (made 0700). Both files
 * are replaced whole and atomically; a missing or unreadable file reads as empty.
 */
namespace RunJournalStore {

/** The state folder, read from the environment now. */
QByteArray stateFolder();

/** Replaces the journal of the last run. False with @p error set when it could not be written. */
bool writeJournal(const RunJournal &journal, QString *error);

/** The journal of the last run. */
RunJournal readJournal();

/** Replaces the kept entries. False with @p error set when they could not be written. */
bool writeKept(const QList<KeptEntry> &kept, QString *error);

/**
 * The kept entries whose path still holds an entry with the same dates; the others (renamed,
 * moved, changed) are forgotten, and the file is rewritten when any was.
 */
QList<KeptEntry> readKept();

} // namespace RunJournalStore

/** The last run's journal (entries, failed count, first failure line). */
RunJournal lastRunJournal();

/** How many of @p journal's entries are still in their trash under their recorded name. */
qint64 entriesStillInTrash(const RunJournal &journal);
