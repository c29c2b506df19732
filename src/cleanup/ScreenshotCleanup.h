#pragma once

#include "Clock.h"
#include "FileSystem.h"

#include "settings/AgeUnit.h"

#include <QByteArray>
#include <QList>
#include <QString>

class AppSettings;
class Trash;
struct RunJournal;

/** Which date decided an entry's age. */
enum class DateSource
{
    Created,  ///< the birth time
    Modified, ///< the modification time, where no birth time is recorded
    None,     ///< neither could be read: the entry counts as made now
};

/** "created", "modified" or "none", as the preview shows the deciding date. */
QString dateSourceText(DateSource source);

/** An entry a run started now would move. */
struct PreviewEntry
{
    QByteArray path;
    double date = 0; ///< the deciding date, seconds since 1970
    DateSource source = DateSource::None;
};

/**
 * One cleanup run and its selection rules. Entries are absolute byte paths; nothing here keeps
 * state between calls.
 */

/** @p now minus @p ageValue units, in double arithmetic (no bound, no integer overflow). */
double ageCutoff(double now, qint64 ageValue, AgeUnit unit);

/**
 * The entries of @p sourceFolder (used as stored, not expanded) that pass the name rule and
 * then the age rule, in listing order. A folder that cannot be listed yields nothing.
 */
QList<QByteArray> selectCandidates(const QString &sourceFolder, double cutoff,
                                   const Clock &clock = Clock::system());

/** Extension png/jpg/jpeg/heic and name beginning "screen shot", "screenshot" or "cleanshot". */
bool isScreenshotName(const QByteArray &path);

/**
 * The age rule on dates already read: the creation date when present, else the modification
 * date, else @p now; old enough when strictly before @p cutoff.
 */
bool passesAgeRule(const EntryDates &dates, double cutoff, double now);

/** The name rule, then (only then) the age rule against @p cutoff. */
bool isTrashCandidate(const QByteArray &path, double cutoff, const Clock &clock = Clock::system());

/**
 * Moves each entry to @p trash; logs each failure; returns the number moved. With @p journal,
 * also notes where each entry went, and the failures.
 */
qint64 trashEntries(const QList<QByteArray> &candidates, Trash &trash,
                    RunJournal *journal = nullptr);

/**
 * Writes the run record: lastRunDate = @p when (seconds since 1970), lastRunCount = @p count,
 * lastRunFailedCount = @p failed.
 */
void recordRun(AppSettings &settings, qint64 count, double when, qint64 failed = 0);

/**
 * The entries a run started now would move, oldest first, each with the date that decided:
 * the stored age limit and source folder, the name rule, the age rule, and no entry that was
 * put back and kept since. runCleanup moves exactly these.
 */
QList<PreviewEntry> previewEntries(AppSettings &settings, const Clock &clock = Clock::system());

/**
 * One run: trash what previewEntries gives, write the run's journal (lastRunJournal), queue
 * recordRun (with the time the moves ended) on the event loop of the calling thread, return the
 * number moved.
 */
qint64 runCleanup(AppSettings &settings, const Clock &clock = Clock::system());

/** How many entries a run started now would move; moves and records nothing. */
qint64 countCandidates(AppSettings &settings, const Clock &clock = Clock::system());

/**
 * Despite its name, answers whether access is missing: true when the source folder can NOT be
 * listed (missing, not a folder, relative, refused), false when it can.
 */
bool probeFolderAccess(AppSettings &settings);
